// The compressor's only contact with the outside: it pulls an entry's bytes from a
// PackSource and hands packed bytes to a PackSink, in pieces of kilobytes at a time.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

enum class PackStatus {
    kOk,
    kNotSmaller,  // the entry does not shrink: it is to be stored
    kOutOfMemory,
    kReadError,
    kWriteError,
    kSizeChanged,  // the source delivered fewer or more bytes than announced
    kBadArgument,
};

const char* pack_status_text(PackStatus status);

class PackSource {
public:
    // Up to `count` bytes into `dst`: the count delivered, 0 at the end, -1 on a read error.
    virtual int64_t read(uint8_t* dst, size_t count) = 0;

protected:
    ~PackSource() = default;
};

class PackSink {
public:
    // All `count` bytes, or false.
    virtual bool write(const uint8_t* src, size_t count) = 0;

protected:
    ~PackSink() = default;
};

}  // namespace qarn
