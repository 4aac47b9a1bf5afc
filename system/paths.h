// Path operations on the installer's path buffers: zero-terminated bytes in the ANSI code
// page, at most 259 characters in a 260-byte buffer, '\' as the separator written.
//
// Every operation that adds to a buffer takes its capacity and refuses (returns false,
// buffer unchanged) rather than cutting or overflowing: a cut path names another file.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

inline constexpr size_t kPathSize = 260;  // MAX_PATH: 259 characters and the terminator

// Result of check_exists.
enum Existence : int { kExists = 0, kMissing = 2 };

// Result of create_folder_path.
enum FolderCreation : int {
    kFolderCreated = 0,
    kFolderCannotCreate = 2,  // any failure but a missing parent; nothing to recurse to
    kFolderStillFails = 3,    // the parents were made, the folder itself still fails
};

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
Existence check_exists(const char* path);

// Replaces the path by its full form when that can be formed and fits, and says so; else
// leaves it as it was and gives false.
bool make_full_path(char* path, size_t capacity);

// Appends `text` whole or not at all. False, buffer unchanged, when it does not fit.
bool append_checked(char* buffer, const char* text, size_t capacity);

// out = a + b, checked: false (and out empty) when the result would not fit.
bool join_checked(char* out, size_t capacity, const char* a, const char* b);

// Creates the folder and every missing parent: kFolderCreated; kFolderCannotCreate for any
// failure but a missing parent (an existing folder included), for a parent of 3 characters
// or fewer, and for a path that does not fit a path buffer; kFolderStillFails when the
// parents were made but the folder still fails.
FolderCreation create_folder_path(const char* path);

}  // namespace qarn
