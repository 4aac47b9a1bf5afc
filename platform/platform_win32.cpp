// Win32 side of the platform layer: the installer's paths go to the ANSI calls unchanged.
// The calls below the target folder use the system's native file calls (ntdll), which open
// a name relative to an open folder: a path is walked one folder handle at a time, each
// opened as itself (FILE_OPEN_REPARSE_POINT) and refused when it is a reparse point, so
// no junction or link below the folder is ever followed, however it came to be there.
#include <windows.h>
#include <winternl.h>
#include <io.h>
#include <share.h>

#include <cstring>

#include "platform/platform.h"

namespace qarn::platform {
namespace {

// An open handle, closed on every way out.
class Handle {
public:
    Handle() = default;
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    ~Handle() { reset(nullptr); }
    HANDLE get() const { return h_; }
    HANDLE* receive() {
        reset(nullptr);
        return &h_;
    }
    // Gives the handle up without closing it.
    HANDLE release() {
        const HANDLE h = h_;
        h_ = nullptr;
        return h;
    }
    void reset(HANDLE h) {
        if (h_ != nullptr && h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
        h_ = h;
    }

private:
    HANDLE h_ = nullptr;
};

// One name of a path, as the native calls take it.
struct WideName {
    WCHAR text[kWideNameChars];
    USHORT bytes;
};

constexpr ULONG kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// Opens `name` in the folder `root` as itself, never through a reparse point.
NTSTATUS open_in(HANDLE root, const WideName& name, ACCESS_MASK access, ULONG share,
                 ULONG disposition, ULONG options, Handle& out) {
    UNICODE_STRING text{name.bytes, name.bytes, const_cast<PWSTR>(name.text)};
    OBJECT_ATTRIBUTES attributes{};
    InitializeObjectAttributes(&attributes, &text, OBJ_CASE_INSENSITIVE, root, nullptr);
    IO_STATUS_BLOCK io{};
    return NtCreateFile(out.receive(), access | SYNCHRONIZE, &attributes, &io, nullptr,
                        FILE_ATTRIBUTE_NORMAL, share, disposition,
                        options | FILE_OPEN_REPARSE_POINT | FILE_SYNCHRONOUS_IO_NONALERT,
                        nullptr, 0);
}

bool basic_info(HANDLE h, FILE_BASIC_INFORMATION& info) {
    IO_STATUS_BLOCK io{};
    return NT_SUCCESS(NtQueryInformationFile(h, &io, &info, sizeof info, FileBasicInformation));
}

// What the handle is, by its attributes; kOther when they cannot be read.
Kind kind_of_handle(HANDLE h, uint32_t* attributes = nullptr) {
    FILE_BASIC_INFORMATION info{};
    if (!basic_info(h, info)) return Kind::kOther;
    if (attributes != nullptr) *attributes = info.FileAttributes;
    return kind_of_attributes(info.FileAttributes);
}

// The folder that holds the path's last name, reached from `base` one folder handle at a
// time; the last name goes to `last`. False when a folder on the way is missing, is no
// folder or is a reparse point, or a name is empty, "." or "..".
bool open_parent_below(const char* base, const char* relative, Handle& folder, WideName& last,
                       bool& missing) {
    missing = false;
    folder.reset(CreateFileA(base, FILE_LIST_DIRECTORY, kShareAll, nullptr, OPEN_EXISTING,
                             FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (folder.get() == INVALID_HANDLE_VALUE) return false;
    const char* start = relative;
    for (const char* p = relative;; ++p) {
        if (*p != '\0' && *p != '\\' && *p != '/') continue;
        const int length = static_cast<int>(p - start);
        if (length == 0 || (start[0] == '.' && (length == 1 || (length == 2 && start[1] == '.')))) {
            return false;
        }
        const int chars = MultiByteToWideChar(CP_ACP, 0, start, length, last.text, kWideNameChars);
        if (chars <= 0) return false;
        last.bytes = static_cast<USHORT>(chars * sizeof(WCHAR));
        if (*p == '\0') return true;
        Handle next;
        const NTSTATUS status =
            open_in(folder.get(), last, FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES,
                    kShareAll, FILE_OPEN, FILE_DIRECTORY_FILE, next);
        if (!NT_SUCCESS(status)) {
            missing = status == static_cast<NTSTATUS>(0xC0000034L)      // name not found
                      || status == static_cast<NTSTATUS>(0xC000003AL);  // path not found
            return false;
        }
        if (kind_of_handle(next.get()) != Kind::kFolder) return false;
        folder.reset(next.release());
        start = p + 1;
    }
}

// Opens the path's last name as itself (a reparse point is opened, not followed).
bool open_below(const char* base, const char* relative, ACCESS_MASK access, ULONG options,
                Handle& out, bool& missing) {
    Handle folder;
    WideName last;
    if (!open_parent_below(base, relative, folder, last, missing)) return false;
    const NTSTATUS status = open_in(folder.get(), last, access, kShareAll, FILE_OPEN, options, out);
    missing = status == static_cast<NTSTATUS>(0xC0000034L);
    return NT_SUCCESS(status);
}

bool set_basic_info(HANDLE h, FILE_BASIC_INFORMATION& info) {
    IO_STATUS_BLOCK io{};
    return NT_SUCCESS(NtSetInformationFile(h, &io, &info, sizeof info, FileBasicInformation));
}

}  // namespace

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

Found look_below(const char* base, const char* relative) {
    Handle h;
    bool missing = false;
    if (!open_below(base, relative, FILE_READ_ATTRIBUTES, 0, h, missing)) {
        return {missing ? Kind::kMissing : Kind::kOther, 0, 0};
    }
    uint32_t attributes = 0;
    const Kind kind = kind_of_handle(h.get(), &attributes);
    if (kind != Kind::kFile) return {kind, 0, kind == Kind::kFolder ? attributes : 0};
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(h.get(), &size)) return {Kind::kOther, 0, 0};
    return {Kind::kFile, static_cast<uint64_t>(size.QuadPart), attributes};
}

bool make_folder_below(const char* base, const char* relative) {
    Handle folder, made;
    WideName last;
    bool missing = false;
    return open_parent_below(base, relative, folder, last, missing) &&
           NT_SUCCESS(open_in(folder.get(), last, FILE_LIST_DIRECTORY, kShareAll, FILE_CREATE,
                              FILE_DIRECTORY_FILE, made));
}

bool move_file_below(const char* base, const char* from, const char* to) {
    Handle file, to_folder;
    WideName to_name;
    bool missing = false;
    if (!open_below(base, from, DELETE | FILE_READ_ATTRIBUTES, FILE_NON_DIRECTORY_FILE, file,
                    missing) ||
        kind_of_handle(file.get()) != Kind::kFile ||
        !open_parent_below(base, to, to_folder, to_name, missing)) {
        return false;
    }
    // The new name is given relative to its folder's handle; nothing there is replaced.
    union {
        FILE_RENAME_INFORMATION info;
        uint8_t bytes[sizeof(FILE_RENAME_INFORMATION) + sizeof to_name.text];
    } rename{};
    rename.info.ReplaceIfExists = FALSE;
    rename.info.RootDirectory = to_folder.get();
    rename.info.FileNameLength = to_name.bytes;
    std::memcpy(rename.info.FileName, to_name.text, to_name.bytes);
    IO_STATUS_BLOCK io{};
    return NT_SUCCESS(NtSetInformationFile(file.get(), &io, &rename, sizeof rename,
                                           FileRenameInformation));
}

bool remove_below(const char* base, const char* relative) {
    Handle h;
    bool missing = false;
    if (!open_below(base, relative, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, 0, h,
                    missing)) {
        return false;
    }
    // A read-only file refuses deletion until the attribute is gone.
    FILE_BASIC_INFORMATION info{};
    if (basic_info(h.get(), info) && (info.FileAttributes & FILE_ATTRIBUTE_READONLY)) {
        FILE_BASIC_INFORMATION cleared{};
        cleared.FileAttributes = info.FileAttributes & ~FILE_ATTRIBUTE_READONLY;
        if (cleared.FileAttributes == 0) cleared.FileAttributes = FILE_ATTRIBUTE_NORMAL;
        set_basic_info(h.get(), cleared);
    }
    FILE_DISPOSITION_INFORMATION dispose{TRUE};
    IO_STATUS_BLOCK io{};
    return NT_SUCCESS(NtSetInformationFile(h.get(), &io, &dispose, sizeof dispose,
                                           FileDispositionInformation));
}

size_t NewFile::write(const void* data, size_t count) {
    const auto* p = static_cast<const uint8_t*>(data);
    size_t done = 0;
    while (handle_ != kNone && done < count) {
        const size_t piece = count - done < 0x40000000u ? count - done : 0x40000000u;
        DWORD n = 0;
        if (!WriteFile(reinterpret_cast<HANDLE>(handle_), p + done, static_cast<DWORD>(piece), &n,
                       nullptr) ||
            n == 0) {
            break;
        }
        done += n;
    }
    return done;
}

bool NewFile::flush() {
    return handle_ != kNone && FlushFileBuffers(reinterpret_cast<HANDLE>(handle_)) != 0;
}

bool NewFile::finish(uint32_t dos_date_time, uint32_t attributes) {
    if (handle_ == kNone) return false;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    // Set through the handle that wrote the file: a time set so is not changed again by
    // the close. Failures are not the entry's: its data is whole.
    FILETIME local, utc;
    FILE_BASIC_INFORMATION info{};
    if (DosDateTimeToFileTime(static_cast<WORD>(dos_date_time >> 16),
                              static_cast<WORD>(dos_date_time & 0xFFFF), &local) &&
        LocalFileTimeToFileTime(&local, &utc)) {
        info.LastWriteTime.LowPart = utc.dwLowDateTime;
        info.LastWriteTime.HighPart = static_cast<LONG>(utc.dwHighDateTime);
        set_basic_info(h, info);
    }
    // Only what a file may carry: read-only, hidden, system, archive.
    FILE_BASIC_INFORMATION kept{};
    kept.FileAttributes = attributes & 0x27u;
    if (kept.FileAttributes == 0) kept.FileAttributes = FILE_ATTRIBUTE_NORMAL;
    set_basic_info(h, kept);
    return close();
}

bool NewFile::close() {
    if (handle_ == kNone) return true;
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    handle_ = kNone;
    return CloseHandle(h) != 0;
}

NewFile create_file_below(const char* base, const char* relative) {
    NewFile file;
    Handle folder, made;
    WideName last;
    bool missing = false;
    if (!open_parent_below(base, relative, folder, last, missing) ||
        !NT_SUCCESS(open_in(folder.get(), last, GENERIC_WRITE, FILE_SHARE_READ, FILE_CREATE,
                            FILE_NON_DIRECTORY_FILE, made))) {
        return file;
    }
    file.handle_ = reinterpret_cast<intptr_t>(made.release());
    return file;
}

int64_t read_file_below(const char* base, const char* relative, void* buffer, size_t capacity) {
    Handle h;
    bool missing = false;
    if (!open_below(base, relative, FILE_READ_DATA | FILE_READ_ATTRIBUTES, FILE_NON_DIRECTORY_FILE,
                    h, missing) ||
        kind_of_handle(h.get()) != Kind::kFile) {
        return -1;
    }
    size_t done = 0;
    while (done < capacity) {
        DWORD n = 0;
        const size_t piece = capacity - done < 0x40000000u ? capacity - done : 0x40000000u;
        if (!ReadFile(h.get(), static_cast<uint8_t*>(buffer) + done, static_cast<DWORD>(piece), &n,
                      nullptr)) {
            return -1;
        }
        if (n == 0) break;
        done += n;
    }
    return static_cast<int64_t>(done);
}

bool free_space(const char* path, uint64_t& bytes) {
    char folder[MAX_PATH];
    const size_t length = std::strlen(path);
    if (length == 0 || length >= sizeof folder) return false;
    std::memcpy(folder, path, length + 1);
    for (;;) {
        ULARGE_INTEGER available{};
        if (GetDiskFreeSpaceExA(folder, &available, nullptr, nullptr)) {
            bytes = available.QuadPart;
            return true;
        }
        // The nearest folder above that exists: cut the last name (and a trailing '\').
        size_t end = std::strlen(folder);
        if (end > 0 && folder[end - 1] == '\\') folder[--end] = '\0';
        char* cut = std::strrchr(folder, '\\');
        if (cut == nullptr) return false;
        cut[1] = '\0';
    }
}

bool is_terminal(std::FILE* stream) { return _isatty(_fileno(stream)) != 0; }

void to_installer_separators(char*) {}

}  // namespace qarn::platform
