#include "tests/support/windows_test_support.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>

namespace qarn::test {

RegistryRedirect::RegistryRedirect(HKEY root) : root_(root) {
    static std::atomic<unsigned> counter{0};
    scratch_path_ = "Software\\QarnTestScratch-" + std::to_string(GetCurrentProcessId()) + "-" +
                    std::to_string(counter++);
    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, scratch_path_.c_str(), 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &scratch_,
                        &disposition) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot create scratch key";
        scratch_ = nullptr;
        return;
    }
    if (RegOverridePredefKey(root_, scratch_) != ERROR_SUCCESS) {
        ADD_FAILURE() << "cannot redirect the registry root";
    }
}

RegistryRedirect::~RegistryRedirect() {
    RegOverridePredefKey(root_, nullptr);
    if (scratch_ != nullptr) RegCloseKey(scratch_);
    RegDeleteTreeA(HKEY_CURRENT_USER, scratch_path_.c_str());
}

std::string registry_text(HKEY root, const std::string& key, const std::string& value) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueA(root, key.c_str(), value.c_str(), RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS) {
        return "<missing>";
    }
    return buffer;
}

void set_registry_text(HKEY root, const std::string& key, const std::string& value,
                       const std::string& text) {
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k, value.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
    RegCloseKey(k);
}

int registry_value_count(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(k);
    return static_cast<int>(values);
}

LinkInfo read_link(const std::string& link_file) {
    LinkInfo info;
    IShellLinkA* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                reinterpret_cast<void**>(&link)))) {
        return info;
    }
    IPersistFile* file = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, link_file.c_str(), -1, wide, MAX_PATH);
        if (SUCCEEDED(file->Load(wide, STGM_READ))) {
            char text[MAX_PATH * 2];
            info.loaded = true;
            // The raw path: the target as stored, not resolved against the disk.
            if (SUCCEEDED(link->GetPath(text, sizeof text, nullptr, SLGP_RAWPATH))) info.target = text;
            if (SUCCEEDED(link->GetWorkingDirectory(text, sizeof text))) info.working_folder = text;
            if (SUCCEEDED(link->GetDescription(text, sizeof text))) info.description = text;
        }
        file->Release();
    }
    link->Release();
    return info;
}

namespace {

// Wine's kernel32 names the Unix file of a Windows path; Windows has no such function.
std::string unix_name_of(const std::string& path) {
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unix_name = reinterpret_cast<UnixName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (unix_name == nullptr) return "";
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* name = unix_name(wide);
    const std::string out = name != nullptr ? name : "";
    if (name != nullptr) HeapFree(GetProcessHeap(), 0, name);
    return out;
}

bool under_wine() {
    return GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
}

// Starts a Unix program under Wine, which starts one given by its Z: path. Wine gives back
// no handles for it (a null process handle, and in place of the thread's a value that is no
// handle of it, which must not be closed: it may be another handle of this process), so the
// caller waits for what the program does.
bool run_unix(const char* program, std::string command, std::string& why) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        why = command + " did not start: error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

}  // namespace

bool make_symbolic_link(const std::string& link, const std::string& target, bool folder,
                        std::string& why) {
    if (!under_wine()) {
        const DWORD flags = (folder ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0) |
                            0x2;  // SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE
        if (CreateSymbolicLinkA(link.c_str(), target.c_str(), flags)) return true;
        why = "CreateSymbolicLinkA failed with error " + std::to_string(GetLastError());
        return false;
    }
    const std::string unix_target = unix_name_of(target);
    const std::string unix_link = unix_name_of(link);
    if (unix_target.empty() || unix_link.empty()) {
        why = "no Unix name for " + target + " or " + link;
        return false;
    }
    const std::string command = "/bin/ln -s " + unix_target + " " + unix_link;
    if (!run_unix("Z:\\bin\\ln", command, why)) return false;
    // The link shows whether it is there.
    for (int i = 0; i < 100; ++i) {
        if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        Sleep(50);
    }
    why = command + " made no link";
    return false;
}

void remove_tree(const std::string& folder) {
    if (!under_wine()) {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
        return;
    }
    // Wine does not wait for the end of a Unix program: the folder's disappearance, rm's
    // last step, tells. Nothing is started for a folder that is not there, lest a late rm
    // remove what is made there next.
    if (GetFileAttributesA(folder.c_str()) == INVALID_FILE_ATTRIBUTES) return;
    const std::string unix_folder = unix_name_of(folder);
    std::string why;
    if (unix_folder.empty() || unix_folder == "/") return;
    run_unix("Z:\\bin\\rm", "/bin/rm -rf " + unix_folder, why);
    for (int i = 0; i < 200 && GetFileAttributesA(folder.c_str()) != INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(50);
    }
}

}  // namespace qarn::test
