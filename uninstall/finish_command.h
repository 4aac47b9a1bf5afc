// The command line with which the uninstaller hands the removal to its copy in the
// temporary folder (a running program cannot remove its own file, so the copy finishes the
// job once the original has ended):
//
//   "<copy>" /finish <handle> <en|de> <uninstaller path>
//
// <handle> is the original process's handle (hexadecimal), inherited by the copy, which
// waits on it; the language is the one the user was asked in; the uninstaller's path,
// unquoted, runs to the end of the line (it may hold blanks and may end in anything).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {

struct FinishRequest {
    uint64_t wait_handle = 0;
    Language language = Language::kEnglish;
    std::string uninstaller_path;
};

std::string finish_command_line(std::string_view copy_path, const FinishRequest& request);

// Reads the arguments after the program's name. False, `request` unspecified, for anything
// that is not such a request (the uninstaller then starts as the user's uninstaller).
bool parse_finish_arguments(std::string_view arguments, FinishRequest& request);

}  // namespace qarn::uninstall
