// Whether a target folder leaves room for everything an installation puts into it.
#pragma once
#include <cstddef>

namespace qarn {

// The shortest folder an installation accepts: a drive's root. A name that does not fit
// below it fits no folder at all.
inline constexpr char kShortestTargetFolder[] = "C:\\";

// True when `folder`, a backslash and the longest name an installation joins to it all fit
// a path buffer (259 characters): the longest entry name of the setup file's archive
// (`longest_entry_name`; 0 when the archive could not be read) and the names the
// installation composes itself (the program, the uninstaller, the settings file and the
// documents its shortcuts point to). Checked before anything is created or recorded, so
// that no installation stops half-way at a path that does not fit.
bool target_folder_fits(const char* folder, size_t longest_entry_name);

// True for a folder that names its drive and a path from the drive's root ("C:\x", "C:/x")
// or a network share ("\\server\share"): one that means the same wherever setup started.
bool is_fully_qualified(const char* folder);

}  // namespace qarn
