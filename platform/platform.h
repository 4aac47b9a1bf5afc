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

// True when the stream is a terminal: progress lines are drawn only there.
bool is_terminal(std::FILE* stream);

// A path as this system's command line gives it, turned into the installer's form in
// place: '\' between folders ('/' on POSIX; Windows paths are already in that form).
void to_installer_separators(char* path);

}  // namespace qarn::platform
