#include "system/target_folder_check.h"

#include <algorithm>
#include <cstring>

#include "system/paths.h"
#include "system/product_names.h"

namespace qarn {
namespace {

bool is_separator(char c) { return c == '\\' || c == '/'; }

// The longest name the installation joins to the folder itself: the program, the
// uninstaller, the settings file and the documents its shortcuts point to.
constexpr size_t kLongestComposedName =
    std::max({sizeof kProgramFile, sizeof kUninstallerFile, sizeof kSettingsFile,
              sizeof kLicenseDocument, sizeof kOrderDocument, sizeof kGermanOrderDocument}) -
    1;

}  // namespace

bool target_folder_fits(const char* folder, size_t longest_entry_name) {
    const size_t length = std::strlen(folder);
    if (length == 0) return false;
    const size_t with_backslash = length + (folder[length - 1] == '\\' ? 0 : 1);
    const size_t longest = std::max(longest_entry_name, kLongestComposedName);
    return with_backslash + longest < kPathSize;
}

bool is_fully_qualified(const char* folder) {
    const char c = folder[0];
    const bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
    if (letter && folder[1] == ':' && is_separator(folder[2])) return true;
    return is_separator(folder[0]) && is_separator(folder[1]);
}

}  // namespace qarn
