// The file wrappers through which all archive reading and entry writing goes: the C
// runtime's buffered streams, with sharing modes on Windows.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qarn {

// Owns one open stream; closes it on every way out.
class File {
public:
    File() = default;
    explicit File(std::FILE* f) : f_(f) {}
    File(const File&) = delete;
    File& operator=(const File&) = delete;
    File(File&& other) noexcept : f_(other.f_) { other.f_ = nullptr; }
    File& operator=(File&& other) noexcept;
    ~File() { close(); }

    explicit operator bool() const { return f_ != nullptr; }
    std::FILE* get() const { return f_; }
    void close();

private:
    std::FILE* f_ = nullptr;
};

// Sharing kind 0: others may not read meanwhile; 1: may not write; 2, 3: no restriction.
File open_shared(const char* path, const char* mode, int sharing);
void close_file(File& file);
// Bytes read, 0 at end of file or on error.
size_t read_bytes(File& file, void* buffer, size_t count);
// Bytes written; 0 without writing when `file` is null or not open.
size_t write_bytes(File* file, const void* buffer, size_t count);
// origin 0 from the start, 1 from the current position. True on success.
bool seek_file(File& file, int64_t offset, int origin);
int64_t tell_file(File& file);

// Fault injection for tests: after `bytes` more bytes, every write stores nothing more
// (as on a full disk). A negative value switches injection off.
void inject_write_limit(int64_t bytes);

}  // namespace qarn
