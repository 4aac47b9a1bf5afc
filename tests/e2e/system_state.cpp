#include "tests/e2e/system_state.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/e2e/setup_driver.h"
#include "tests/support/windows_test_support.h"

namespace qarn::e2e {
namespace {

namespace fs = std::filesystem;

void remove_tree(const std::string& path) {
    std::error_code ec;
    if (!fs::exists(path, ec)) return;
    for (auto it = fs::recursive_directory_iterator(path, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        SetFileAttributesA(it->path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    }
    fs::remove_all(path, ec);
}

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrivo";

}  // namespace

std::string special_folder(int csidl) {
    char path[MAX_PATH] = "";
    if (SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path) != S_OK) return "";
    return path;
}

std::string program_files_dir() {
    return test::registry_text(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion",
                               "ProgramFilesDir");
}

void forget_installations() {
    RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Obrelux");
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, kUninstallKey);
    remove_tree(special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN");
    remove_tree(special_folder(CSIDL_PROGRAMS) + "\\QARN");
    DeleteFileA((special_folder(CSIDL_DESKTOP) + "\\Zentrivo.lnk").c_str());
    remove_tree(special_folder(CSIDL_APPDATA) + "\\Obrelux");
    remove_tree(program_files_dir() + "\\QARN");
    // Links among the scenarios' files are removed as links, not followed.
    test::remove_tree(kScratch);
    remove_tree(kScratch);
    CreateDirectoryA(kScratch.c_str(), nullptr);
}

std::vector<std::string> product_files() { return folder_entries(product_dir()); }

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool is_folder(const std::string& path) {
    const DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void make_folder(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
}

void write_text(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t dos_time_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    FILETIME local;
    WORD date = 0;
    WORD time = 0;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToDosDateTime(&local, &date, &time);
    return (static_cast<uint32_t>(date) << 16) | time;
}

std::string recorded_dir() {
    return test::registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir");
}

std::string uninstall_value(const char* name) {
    return test::registry_text(HKEY_LOCAL_MACHINE, kUninstallKey, name);
}

std::string uninstall_command_for(const std::string& folder) {
    return "\"" + folder + "\\UnInst.exe\"";
}

std::string settings_language(const std::string& ini_path) {
    if (!exists(ini_path)) return "<no file>";
    char value[64];
    GetPrivateProfileStringA("QARN", "Language", "<none>", value, sizeof value, ini_path.c_str());
    return value;
}

std::vector<std::string> folder_entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (auto it = fs::directory_iterator(folder, ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace qarn::e2e
