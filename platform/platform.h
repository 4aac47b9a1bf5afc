// The few operating-system calls the portable code needs. Paths are the installer's own:
// zero-terminated bytes with '\' as separator. The POSIX implementation maps '\' to '/' at
// the call; the Win32 one passes them as they are. This is the only place that knows which
// system it runs on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qarn::platform {

// Sharing kinds: 0 others may not read the file meanwhile, 1 they may not write it,
// 2 and 3 no restriction (POSIX has no mandatory sharing; every kind opens normally).
std::FILE* open_file_shared(const char* path, const char* mode, int sharing);

// 64-bit seek and tell on a stream.
int seek_stream(std::FILE* file, int64_t offset, int origin);
int64_t tell_stream(std::FILE* file);

// True when a file or folder exists at the path.
bool path_exists(const char* path);

// True when a folder exists at the path.
bool is_directory(const char* path);

enum class MakeDirResult { kCreated, kParentMissing, kFailed };
// Creates one folder level.
MakeDirResult make_directory(const char* path);

// Removes a file (not a folder, not a read-only file). True on success.
bool remove_file(const char* path);

// Gives a file its last-write time from an MS-DOS date and time (date in the high 16 bits),
// taken as local time. True on success.
bool set_file_dos_time(const char* path, uint32_t dos_date_time);

// Gives a file its attributes (0x01 read-only, 0x02 hidden, 0x04 system, 0x20 archive).
// On POSIX only read-only has an effect: it removes write permission. True on success.
bool set_file_attributes(const char* path, uint32_t attributes);

// The attributes of a file in the same form; 0xFFFFFFFF when it does not exist.
uint32_t get_file_attributes(const char* path);

// True when some file matches `pattern`, whose last component may hold '?' (any one
// character); names are compared without regard to letter case, as Windows does.
bool find_first_match(const char* pattern);

// The full form of `path` into `out` (capacity `out_size` bytes with terminator). False when
// it cannot be formed or does not fit; `out` is then unspecified.
bool full_path(const char* path, char* out, size_t out_size);

// --- Below the target folder -----------------------------------------------------------
// An installation runs with an administrator's rights in a folder that others may be able
// to write to. Whatever it creates, replaces, moves or removes there is reached through
// these calls, which never pass through a link below the folder they are given: a
// symbolic link, a junction or any other reparse point standing where one of the path's
// folders or its last name should be makes the call fail, and nothing outside is touched.
// The folder itself (`base`, as the user chose it) may be or lie under a link: that is the
// user's choice. `relative` is a path below it in the installer's form ("sub\file.txt").
// Each call walks the path from `base` by handle, one folder at a time, so that a folder
// swapped for a link while the call runs is found, not followed.

enum class Kind : uint8_t { kMissing, kFile, kFolder, kLink, kOther };

// How a Windows attribute set reads: a reparse point (a junction, a symbolic link, any
// other kind) is a link whatever else it says, and only a folder that is none may be
// walked into.
inline Kind kind_of_attributes(uint32_t attributes) {
    if (attributes & 0x400) return Kind::kLink;    // FILE_ATTRIBUTE_REPARSE_POINT
    if (attributes & 0x10) return Kind::kFolder;   // FILE_ATTRIBUTE_DIRECTORY
    return Kind::kFile;
}

// The longest name of one path component the calls take, in UTF-16 characters.
inline constexpr int kWideNameChars = 260;

struct Found {
    Kind kind;
    uint64_t size;        // of a file
    uint32_t attributes;  // 0x01 read-only, in the Windows form
};

// What stands at the path; kOther also when a folder on the way is missing or a link.
Found look_below(const char* base, const char* relative);

// Creates the path's last folder; its parents must be there. False when anything stands
// there already or it cannot be made.
bool make_folder_below(const char* base, const char* relative);

// Renames the plain file `from` to `to` (both below base, on one drive: no data moves).
// Never replaces anything at `to`; never moves a link or a folder.
bool move_file_below(const char* base, const char* from, const char* to);

// Removes the name at the path: a file (read-only too), an empty folder, or a link itself,
// never what a link points to.
bool remove_below(const char* base, const char* relative);

// A file made by create_file_below, open for writing until finished or dropped.
class NewFile {
public:
    NewFile() = default;
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;
    NewFile(NewFile&& other) noexcept : handle_(other.handle_) { other.handle_ = kNone; }
    NewFile& operator=(NewFile&& other) noexcept {
        if (this != &other) {
            close();
            handle_ = other.handle_;
            other.handle_ = kNone;
        }
        return *this;
    }
    ~NewFile() { close(); }

    explicit operator bool() const { return handle_ != kNone; }
    // Bytes that reached the file (not buffered: a full disk shows at once).
    size_t write(const void* data, size_t count);
    // Forces what was written onto the disk. False when that failed.
    bool flush();
    // Gives the open file its last-write time (an MS-DOS date and time, local time) and its
    // attributes (read-only, hidden, system, archive), through the handle that wrote it,
    // and closes it. A time or attribute that cannot be set is passed over; false only when
    // the close failed.
    bool finish(uint32_t dos_date_time, uint32_t attributes);
    // Closes; false when the close failed.
    bool close();

private:
    friend NewFile create_file_below(const char*, const char*);
    static constexpr intptr_t kNone = -1;
    intptr_t handle_ = kNone;
};

// Creates a new, empty file at the path; fails when anything (a link included) stands
// there already. The folders above it must be there.
NewFile create_file_below(const char* base, const char* relative);

// Reads at most `capacity` bytes of the plain file at the path; the count read, or -1.
int64_t read_file_below(const char* base, const char* relative, void* buffer, size_t capacity);

// The free bytes of the drive that holds `path`, or of the nearest existing folder above
// it; false when they cannot be read.
bool free_space(const char* path, uint64_t& bytes);

// True when the stream is a terminal: progress lines are drawn only there.
bool is_terminal(std::FILE* stream);

// A path as this system's command line gives it, turned into the installer's form in
// place: '\' between folders ('/' on POSIX; Windows paths are already in that form).
void to_installer_separators(char* path);

}  // namespace qarn::platform
