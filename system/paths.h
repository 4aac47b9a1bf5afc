// Path operations on the installer's path buffers: zero-terminated bytes in the ANSI code
// page, at most 259 characters in a 260-byte buffer, '\' as the separator written.
//
// Every operation that adds to a buffer takes its capacity and refuses (returns false,
// buffer unchanged) rather than cutting or overflowing, except append_bounded, whose cut is
// its documented purpose.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

inline constexpr size_t kPathSize = 260;  // MAX_PATH: 259 characters and the terminator

// Existence codes.
inline constexpr int kExists = 0;
inline constexpr int kMissing = 2;

// create_folder_path codes.
inline constexpr int kFolderCreated = 0;
inline constexpr int kFolderCannotCreate = 2;
inline constexpr int kFolderStillFails = 3;

// append_bounded codes.
inline constexpr int kAppendWhole = 0;
inline constexpr int kAppendCut = 111;
inline constexpr int kAppendNoRoom = 123;

// Adds '\' unless the path is empty or already ends with one (a trailing '/' still gets a
// '\'). False, and nothing changed, when there is no room for it.
bool append_backslash(char* path, size_t capacity);

// Index after the last '\' or '/'; 0 when there is none.
uint16_t file_name_offset(const char* path);

// Cuts at the last '\' (slashes are not looked at); a '\' at position 2 is kept, so that
// a drive root such as "C:\" stays one. No '\' at all empties the path.
void cut_to_parent(char* path);

// Cuts at the last '\' or '/'; keeps it when it is at position 2 after a colon (C:\ or C:/).
// No separator empties the path.
void cut_last_component(char* path);

// kExists when a file or folder is at the path, kMissing otherwise.
int check_exists(const char* path);

// Replaces the path by its full form when that can be formed and fits; else leaves it.
void make_full_path(char* path, size_t capacity);

// Appends `text`: kAppendWhole; kAppendCut when only part fits (cut at capacity - 1);
// kAppendNoRoom when nothing fits (buffer unchanged). Capacity 0: nothing done, kAppendWhole.
int append_bounded(char* buffer, const char* text, size_t capacity);

// Appends `text` whole or not at all. False, buffer unchanged, when it does not fit.
bool append_checked(char* buffer, const char* text, size_t capacity);

// out = a + b, checked: false (and out empty) when the result would not fit.
bool join_checked(char* out, size_t capacity, const char* a, const char* b);

// Creates the folder and every missing parent: kFolderCreated; kFolderCannotCreate for any
// failure but a missing parent (an existing folder included), for a parent of 3 characters
// or fewer, and for a path that does not fit a path buffer; kFolderStillFails when the
// parents were made but the folder still fails.
int create_folder_path(const char* path);

#ifdef _WIN32
// The file-system path of a shell special folder (CSIDL number); empty when there is none.
void get_special_folder(int csidl, char* out, size_t capacity);
#endif

}  // namespace qarn
