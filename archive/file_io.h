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
    // Closes the stream; false when the close failed (buffered bytes that never reached
    // the file, an error on the way). A file that is not open closes fine.
    bool close();

private:
    std::FILE* f_ = nullptr;
};

// Sharing kind 0: others may not read meanwhile; 1: may not write; 2, 3: no restriction.
File open_shared(const char* path, const char* mode, int sharing);
// Bytes read, 0 at end of file or on error.
size_t read_bytes(File& file, void* buffer, size_t count);
// Bytes written; 0 without writing when `file` is null or not open.
size_t write_bytes(File* file, const void* buffer, size_t count);
// Makes every write go straight to the file, so that the count a write returns is the
// count that reached it (a full disk shows at once, not when the stream is closed).
bool make_unbuffered(File& file);
// origin 0 from the start, 1 from the current position. True on success.
bool seek_file(File& file, int64_t offset, int origin);
int64_t tell_file(File& file);

}  // namespace qarn
