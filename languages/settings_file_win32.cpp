// The settings file, read and written through the initialization-file calls.
#include "languages/settings_file_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "languages/language_table.h"
#include "system/paths.h"
#include "system/special_folder_win32.h"
#include "system/product_names.h"

namespace qarn {
namespace {

constexpr char kSection[] = "QARN";
constexpr char kLanguageKey[] = "Language";
// Codes of up to 15 characters are read; longer values are cut and so never match a row.
constexpr size_t kValueSize = 16;

// The code a language stands for in the settings file: its suffix without the underscore.
const char* settings_code(const char* code) { return code[0] == '_' ? code + 1 : code; }

void write_language(const char* path, const char* code) {
    WritePrivateProfileStringA(kSection, kLanguageKey, code, path);
}

}  // namespace

bool place_settings_file(char* path, size_t capacity) {
    if (check_exists(path) == kExists) return true;
    return relocate_settings_file(path, capacity);
}

bool relocate_settings_file(char* path, size_t capacity) {
    char home[kPathSize];
    get_special_folder(CSIDL_APPDATA, home, sizeof home);
    if (home[0] == '\0') {
        const UINT n = GetWindowsDirectoryA(home, sizeof home);
        if (n == 0 || n >= sizeof home) home[0] = '\0';
    }
    if (home[0] == '\0') return false;  // nowhere to put the file: the step is skipped
    return relocate_settings_file_into(home, path, capacity);
}

bool relocate_settings_file_into(const char* home_folder, char* path, size_t capacity) {
    char folder[kPathSize];
    if (!join_checked(folder, sizeof folder, home_folder, "") ||
        !append_backslash(folder, sizeof folder) ||
        !append_checked(folder, kMakerName, sizeof folder)) {
        return false;
    }
    char relocated[kPathSize];
    if (!join_checked(relocated, sizeof relocated, folder, "") ||
        !append_backslash(relocated, sizeof relocated) ||
        !append_checked(relocated, path + file_name_offset(path), sizeof relocated) ||
        std::strlen(relocated) + 1 > capacity) {
        return false;
    }
    if (check_exists(folder) == kMissing) create_folder_path(folder);
    std::memcpy(path, relocated, std::strlen(relocated) + 1);
    return true;
}

void write_settings_language(const char* path, const LanguageChoice& languages) {
    char value[kValueSize];
    GetPrivateProfileStringA(kSection, kLanguageKey, "", value, sizeof value, path);
    // "GR" is what early versions of the product wrote for German.
    if (value[0] == 'G' && value[1] == 'R') {
        std::memcpy(value, "DE", 3);
        write_language(path, value);
    }

    int chosen = 0;
    const char* last_code = nullptr;
    for (int i = 0; i < kLanguageRows; ++i) {
        const auto language = static_cast<ProductLanguage>(i);
        if (!languages.has(language)) continue;
        ++chosen;
        last_code = settings_code(language_code(language));
        // Compared exactly, case included: "de" is not "DE".
        if (std::strcmp(value, last_code) == 0) return;  // already in line
    }
    // One language chosen: the product runs in it. With more, a value naming none of them
    // (also an empty one) is left for the user's own choice inside the product.
    if (chosen == 1) write_language(path, last_code);
}

}  // namespace qarn
