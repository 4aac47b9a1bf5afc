// Path operations on the installer's 260-byte path buffers. Nothing here allocates, throws
// or shows a message: results are small codes, and every write into a buffer is bounded by
// the capacity the caller gives.
#include "system/paths.h"

#include <cstring>

#include "platform/platform.h"

namespace qarn {
namespace {

// Length of the text in `buffer`, looking no further than `capacity` bytes; a buffer with
// no terminator inside its capacity counts as full (capacity).
size_t bounded_length(const char* buffer, size_t capacity) {
    size_t n = 0;
    while (n < capacity && buffer[n] != '\0') ++n;
    return n;
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

// Removes trailing backslashes, except the one of a drive root (C:\) or a lone "\".
// CreateDirectory treats "C:\A\B\" as "C:\A\B", but cut_to_parent would take "C:\A\B" for
// its parent; without this the recursion would make the folder as the "parent" and then
// report the retry on the original name (which now exists) as a failure.
void trim_trailing_backslashes(char* path) {
    size_t n = std::strlen(path);
    while (n > 1 && path[n - 1] == '\\' && !(n == 3 && path[1] == ':')) {
        path[--n] = '\0';
    }
}

}  // namespace

bool append_backslash(char* path, size_t capacity) {
    const size_t n = bounded_length(path, capacity);
    if (n == 0 || (n < capacity && path[n - 1] == '\\')) return true;
    if (n + 2 > capacity) return false;
    path[n] = '\\';
    path[n + 1] = '\0';
    return true;
}

uint16_t file_name_offset(const char* path) {
    size_t offset = 0;
    for (size_t i = 0; path[i] != '\0'; ++i) {
        if (is_separator(path[i])) offset = i + 1;
    }
    // A 16-bit index cannot reach further; the whole text then counts as the name, which
    // keeps the index inside the string (no path buffer comes near this length).
    return offset <= 0xFFFF ? static_cast<uint16_t>(offset) : 0;
}

void cut_to_parent(char* path) {
    char* last = std::strrchr(path, '\\');
    if (last == nullptr) {
        path[0] = '\0';
    } else if (last - path == 2) {
        path[3] = '\0';  // C:\ keeps its backslash
    } else {
        *last = '\0';
    }
}

void cut_last_component(char* path) {
    char* last = nullptr;
    for (char* p = path; *p != '\0'; ++p) {
        if (is_separator(*p)) last = p;
    }
    if (last == nullptr) {
        path[0] = '\0';
    } else if (last - path == 2 && path[1] == ':') {
        path[3] = '\0';
    } else {
        *last = '\0';
    }
}

Existence check_exists(const char* path) { return platform::path_exists(path) ? kExists : kMissing; }

bool make_full_path(char* path, size_t capacity) {
    char full[kPathSize];
    const size_t limit = capacity < kPathSize ? capacity : kPathSize;
    if (limit == 0 || !platform::full_path(path, full, limit)) return false;
    std::memcpy(path, full, std::strlen(full) + 1);
    return true;
}

bool append_checked(char* buffer, const char* text, size_t capacity) {
    const size_t length = bounded_length(buffer, capacity);
    const size_t text_length = std::strlen(text);
    if (length >= capacity || text_length > capacity - 1 - length) return false;
    std::memcpy(buffer + length, text, text_length + 1);
    return true;
}

bool join_checked(char* out, size_t capacity, const char* a, const char* b) {
    if (capacity == 0) return false;
    const size_t la = std::strlen(a);
    const size_t lb = std::strlen(b);
    if (la >= capacity || lb > capacity - 1 - la) {
        out[0] = '\0';
        return false;
    }
    // b first: this allows out == a (appending in place) as well as out == b (prepending).
    std::memmove(out + la, b, lb);
    std::memmove(out, a, la);
    out[la + lb] = '\0';
    return true;
}

FolderCreation create_folder_path(const char* path) {
    // The recursion works on copies in path buffers; a path that does not fit one is
    // refused whole rather than cut, so no folder other than the one asked for is made.
    char folder[kPathSize];
    if (!join_checked(folder, sizeof folder, path, "")) return kFolderCannotCreate;
    trim_trailing_backslashes(folder);

    switch (platform::make_directory(folder)) {
        case platform::MakeDirResult::kCreated:
            return kFolderCreated;
        case platform::MakeDirResult::kFailed:
            return kFolderCannotCreate;
        case platform::MakeDirResult::kParentMissing:
            break;
    }

    char parent[kPathSize];
    std::memcpy(parent, folder, std::strlen(folder) + 1);
    cut_to_parent(parent);
    // A drive root (C:\) or nothing at all: there is no parent to make, the drive is missing.
    if (std::strlen(parent) <= 3) return kFolderCannotCreate;

    const FolderCreation parent_result = create_folder_path(parent);
    if (parent_result != kFolderCreated) return parent_result;
    return platform::make_directory(folder) == platform::MakeDirResult::kCreated
               ? kFolderCreated
               : kFolderStillFails;
}

}  // namespace qarn
