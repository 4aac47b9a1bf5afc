// An entry's bytes held in memory, as the archive writer reads an entry: from the start, and
// again after rewind() (an entry that does not shrink is stored, read a second time).
// `piece` bounds what one read delivers, as a file or a pipe may, for tests of short reads.
#pragma once
#include <cstdint>
#include <cstring>

#include "pack/archive_writer.h"

namespace qarn {

class MemoryInput final : public EntryInput {
public:
    MemoryInput(const uint8_t* data, size_t size, size_t piece = SIZE_MAX)
        : data_(data), size_(size), piece_(piece) {}
    int64_t read(uint8_t* dst, size_t count) override {
        size_t n = size_ - pos_;
        if (count < n) n = count;
        if (piece_ < n) n = piece_;
        if (n != 0) std::memcpy(dst, data_ + pos_, n);
        pos_ += n;
        return static_cast<int64_t>(n);
    }
    bool rewind() override {
        pos_ = 0;
        return true;
    }

private:
    const uint8_t* data_;  // outlives the input
    size_t size_;
    size_t piece_;
    size_t pos_ = 0;
};

}  // namespace qarn
