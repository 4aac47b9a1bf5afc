// The command line with which the uninstaller hands the removal to its copy (a running
// program cannot remove its own file, so the copy finishes the job once the original has
// ended), and the name of the folder the copy runs in:
//
//   "<copy>" /finish <process> <file> <folder> <en|de> <uninstaller path>
//
// <process> is the original process's handle, inherited by the copy, which waits on it;
// <file> and <folder> are the handles to the copy's own file and folder, inherited too,
// through which the copy leaves its folder and removes it at the end (all three
// hexadecimal). The language is the one the user was asked in; the uninstaller's path,
// unquoted, runs to the end of the line (it may hold blanks and may end in anything).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {

struct FinishRequest {
    uint64_t wait_handle = 0;
    uint64_t copy_file = 0;
    uint64_t copy_folder = 0;
    Language language = Language::kEnglish;
    std::string uninstaller_path;
};

// The name of the copy's folder in the temporary folder: this prefix and 16 random bytes
// (32 hexadecimal digits), so that nobody can make a folder or a link of that name
// beforehand.
inline constexpr std::string_view kCopyFolderPrefix = "QARN-UnInst-";
std::string copy_folder_name(const uint8_t (&random)[16]);

std::string finish_command_line(std::string_view copy_path, const FinishRequest& request);

// Reads the arguments after the program's name. False, `request` unspecified, for anything
// that is not such a request (the uninstaller then starts as the user's uninstaller).
bool parse_finish_arguments(std::string_view arguments, FinishRequest& request);

}  // namespace qarn::uninstall
