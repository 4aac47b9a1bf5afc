// Win32 side of the platform layer: the installer's paths go to the ANSI calls unchanged.
#include <windows.h>
#include <io.h>
#include <share.h>

#include <cstring>

#include "platform/platform.h"

namespace qarn::platform {

std::FILE* open_file_shared(const char* path, const char* mode, int sharing) {
    const int share = sharing == 0 ? _SH_DENYRD : sharing == 1 ? _SH_DENYWR : _SH_DENYNO;
    return _fsopen(path, mode, share);
}

// Positions through fgetpos and fsetpos, whose fpos_t is a 64-bit file offset in the
// system's C runtime: the same reach as _fseeki64, without the C library's own version of
// it that a program for old runtimes would carry.
static_assert(sizeof(fpos_t) == 8, "fpos_t holds a 64-bit file offset");

int64_t tell_stream(std::FILE* file) {
    fpos_t pos;
    return std::fgetpos(file, &pos) == 0 ? static_cast<int64_t>(pos) : -1;
}

int seek_stream(std::FILE* file, int64_t offset, int origin) {
    if (origin == SEEK_CUR) {
        const int64_t here = tell_stream(file);
        if (here < 0) return -1;
        offset += here;
    } else if (origin != SEEK_SET) {
        return -1;
    }
    if (offset < 0) return -1;
    const fpos_t pos = offset;
    return std::fsetpos(file, &pos);
}

bool path_exists(const char* path) { return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

bool is_directory(const char* path) {
    const DWORD a = GetFileAttributesA(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

MakeDirResult make_directory(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return MakeDirResult::kCreated;
    return GetLastError() == ERROR_PATH_NOT_FOUND ? MakeDirResult::kParentMissing
                                                  : MakeDirResult::kFailed;
}

bool remove_file(const char* path) { return DeleteFileA(path) != 0; }

bool set_file_dos_time(const char* path, uint32_t dos_date_time) {
    // Attribute access is all a time change needs; asking for write access would fail on a
    // read-only file, which the POSIX side (utimes) handles like any other.
    HANDLE h = CreateFileA(path, FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = false;
    FILETIME created, accessed, written, local;
    if (GetFileTime(h, &created, &accessed, &written) &&
        DosDateTimeToFileTime(static_cast<WORD>(dos_date_time >> 16),
                              static_cast<WORD>(dos_date_time & 0xFFFF), &local) &&
        LocalFileTimeToFileTime(&local, &written)) {
        ok = SetFileTime(h, &created, &accessed, &written) != 0;
    }
    CloseHandle(h);
    return ok;
}

bool set_file_attributes(const char* path, uint32_t attributes) {
    return SetFileAttributesA(path, attributes) != 0;
}

uint32_t get_file_attributes(const char* path) { return GetFileAttributesA(path); }

bool find_first_match(const char* pattern) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern, &data);
    if (h == INVALID_HANDLE_VALUE) return false;
    FindClose(h);
    return true;
}

bool full_path(const char* path, char* out, size_t out_size) {
    char buffer[MAX_PATH];
    const DWORD n = GetFullPathNameA(path, MAX_PATH, buffer, nullptr);
    if (n == 0 || n >= MAX_PATH || n + 1 > out_size) return false;
    std::memcpy(out, buffer, n + 1);
    return true;
}

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void to_installer_separators(char*) {}

}  // namespace qarn::platform
