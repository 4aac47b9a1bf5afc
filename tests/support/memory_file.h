// A setup file held in memory, opened as the stream the archive reader reads. It behaves as
// a file on disk does: a seek past its end succeeds and reads there give nothing, so that a
// walk over it meets exactly what it would meet on disk. Header-only, for the tests and the
// fuzz targets alike.
#pragma once
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "archive/file_io.h"

#if defined(__GLIBC__)
#include <sys/types.h>
#endif

namespace qarn::test {

#if defined(__GLIBC__)
namespace memory_file_detail {

struct Cursor {
    std::vector<uint8_t> bytes;
    off64_t pos = 0;
};

inline ssize_t read(void* cookie, char* buffer, size_t size) {
    auto* c = static_cast<Cursor*>(cookie);
    const auto length = static_cast<off64_t>(c->bytes.size());
    if (c->pos >= length) return 0;
    const size_t n = static_cast<size_t>(length - c->pos) < size
                         ? static_cast<size_t>(length - c->pos)
                         : size;
    std::memcpy(buffer, c->bytes.data() + c->pos, n);
    c->pos += static_cast<off64_t>(n);
    return static_cast<ssize_t>(n);
}

inline int seek(void* cookie, off64_t* offset, int whence) {
    auto* c = static_cast<Cursor*>(cookie);
    off64_t base = 0;
    if (whence == SEEK_CUR) base = c->pos;
    if (whence == SEEK_END) base = static_cast<off64_t>(c->bytes.size());
    if (*offset > INT64_MAX - base) return -1;
    const off64_t target = base + *offset;
    if (target < 0) return -1;
    c->pos = target;
    *offset = target;
    return 0;
}

inline int close(void* cookie) {
    delete static_cast<Cursor*>(cookie);
    return 0;
}

}  // namespace memory_file_detail

// Opens `bytes` (copied) for reading.
inline File memory_file(const uint8_t* data, size_t size) {
    auto* cursor = new memory_file_detail::Cursor{std::vector<uint8_t>(data, data + size), 0};
    const cookie_io_functions_t functions{memory_file_detail::read, nullptr,
                                          memory_file_detail::seek, memory_file_detail::close};
    std::FILE* f = fopencookie(cursor, "rb", functions);
    if (f == nullptr) delete cursor;
    return File(f);
}
#else
// Elsewhere a temporary file holds the bytes; it goes away when closed.
inline File memory_file(const uint8_t* data, size_t size) {
    std::FILE* f = std::tmpfile();
    if (f == nullptr) return File();
    if (std::fwrite(data, 1, size, f) != size || std::fseek(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return File();
    }
    return File(f);
}
#endif

inline File memory_file(const std::vector<uint8_t>& bytes) {
    return memory_file(bytes.data(), bytes.size());
}

}  // namespace qarn::test
