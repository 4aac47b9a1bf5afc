// What an installation leaves behind, read from the Wine prefix the tests run in: files and
// their times, registry records, link files, the settings file. And the clean slate each
// scenario starts from.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace qarn::e2e {

// A scratch root for scenario folders on drive C:.
inline const std::string kScratch = "C:\\e2e";

// Removes every trace of an earlier installation: the registry records, the Start-menu
// group, the desktop icon, the settings folder, the default folder and the scratch root.
void forget_installations();

std::string special_folder(int csidl);
std::string program_files_dir();

// The demo product's file names, sorted.
std::vector<std::string> product_files();

bool exists(const std::string& path);
bool is_folder(const std::string& path);
void make_folder(const std::string& path);
void write_text(const std::string& path, const std::string& text);
std::vector<uint8_t> file_bytes(const std::string& path);
// The last-write time as the MS-DOS local date and time an archive stores (date high).
uint32_t dos_time_of(const std::string& path);

// The values an installation writes.
std::string recorded_dir();
std::string uninstall_value(const char* name);
// The command the installer records for an installation into `folder`: its uninstaller's
// path, in double quotes.
std::string uninstall_command_for(const std::string& folder);
std::string settings_language(const std::string& ini_path);

// Names of the files in a folder (not recursive), sorted; empty when it is missing.
std::vector<std::string> folder_entries(const std::string& folder);

}  // namespace qarn::e2e
