// The compressor's and decoder's stream interfaces over memory, for the tests, the fuzz
// targets and the benchmark alike. Readers can be told to deliver at most `piece` bytes per
// call, as a file or a pipe may, so that every caller's handling of short reads is exercised.
// Header-only: the fuzz targets and the benchmark include it without the test library.
#pragma once
#include <cstdint>
#include <cstring>
#include <vector>

#include "pack/archive_writer.h"
#include "pack/memory_input.h"
#include "pack/pack_stream.h"
#include "unpack/lz_decoder.h"

namespace qarn::test {

// Bytes that outlive the stream reading them.
struct ByteSpan {
    ByteSpan(const uint8_t* bytes, size_t count) : data(bytes), size(count) {}
    ByteSpan(const std::vector<uint8_t>& bytes) : data(bytes.data()), size(bytes.size()) {}
    const uint8_t* data;
    size_t size;
};

namespace memory_streams_detail {

// The one cursor every reader below moves: at most `count`, at most `piece`, never past end.
class Cursor {
public:
    Cursor(ByteSpan span, size_t piece) : span_(span), piece_(piece) {}
    size_t take(uint8_t* dst, size_t count) {
        size_t n = span_.size - pos_;
        if (count < n) n = count;
        if (piece_ < n) n = piece_;
        if (n != 0) std::memcpy(dst, span_.data + pos_, n);
        pos_ += n;
        return n;
    }
    void reset(ByteSpan span) {
        span_ = span;
        pos_ = 0;
    }
    void rewind() { pos_ = 0; }
    size_t delivered() const { return pos_; }
    size_t size() const { return span_.size; }

private:
    ByteSpan span_;
    size_t piece_;
    size_t pos_ = 0;
};

}  // namespace memory_streams_detail

// What the compressor reads an entry from.
class MemorySource final : public PackSource {
public:
    explicit MemorySource(ByteSpan span, size_t piece = SIZE_MAX) : cursor_(span, piece) {}
    int64_t read(uint8_t* dst, size_t count) override {
        return static_cast<int64_t>(cursor_.take(dst, count));
    }

private:
    memory_streams_detail::Cursor cursor_;
};

// What the archive writer reads an entry from; it may start over (a stored retry).
class MemoryInput final : public EntryInput {
public:
    explicit MemoryInput(ByteSpan span, size_t piece = SIZE_MAX) : in_(span.data, span.size, piece) {}
    int64_t read(uint8_t* dst, size_t count) override { return in_.read(dst, count); }
    bool rewind() override { return in_.rewind(); }

private:
    qarn::MemoryInput in_;
};

// What the decoder reads packed data from, over bytes held elsewhere.
class SpanReader final : public PackedReader {
public:
    explicit SpanReader(ByteSpan span, size_t piece = SIZE_MAX) : cursor_(span, piece) {}
    int32_t read_packed(uint8_t* dst, int32_t count) override {
        if (count <= 0) return 0;
        return static_cast<int32_t>(cursor_.take(dst, static_cast<size_t>(count)));
    }
    void reset(ByteSpan span) { cursor_.reset(span); }
    size_t delivered() const { return cursor_.delivered(); }
    size_t size() const { return cursor_.size(); }

private:
    memory_streams_detail::Cursor cursor_;
};

// The same over bytes it holds itself, for packed data built on the spot.
class MemoryReader final : public PackedReader {
public:
    explicit MemoryReader(std::vector<uint8_t> data, size_t piece = SIZE_MAX)
        : data_(std::move(data)), span_(data_, piece) {}
    MemoryReader(const MemoryReader&) = delete;
    MemoryReader& operator=(const MemoryReader&) = delete;
    int32_t read_packed(uint8_t* dst, int32_t count) override {
        return span_.read_packed(dst, count);
    }
    size_t delivered() const { return span_.delivered(); }
    size_t size() const { return span_.size(); }

private:
    std::vector<uint8_t> data_;
    SpanReader span_;
};

// Collects what the compressor writes.
class MemorySink final : public PackSink {
public:
    bool write(const uint8_t* src, size_t count) override {
        bytes.insert(bytes.end(), src, src + count);
        return true;
    }
    std::vector<uint8_t> bytes;
};

// Collects what the decoder writes, counting the calls.
class MemoryWriter final : public UnpackedWriter {
public:
    int32_t write_unpacked(const uint8_t* src, int32_t count) override {
        ++calls;
        out.insert(out.end(), src, src + count);
        return count;
    }
    std::vector<uint8_t> out;
    int calls = 0;
};

// An archive in memory; seeking back is allowed, as the writer needs it.
class MemoryOutput final : public ArchiveOutput {
public:
    bool write(const uint8_t* src, size_t count) override {
        if (pos_ + count > bytes.size()) bytes.resize(pos_ + count);
        if (count != 0) std::memcpy(bytes.data() + pos_, src, count);
        pos_ += count;
        return true;
    }
    bool seek(uint64_t offset) override {
        if (offset > bytes.size()) return false;
        pos_ = static_cast<size_t>(offset);
        return true;
    }
    std::vector<uint8_t> bytes;

private:
    size_t pos_ = 0;
};

}  // namespace qarn::test
