#include "tests/support/windows_test_support.h"

#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>

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

}  // namespace qarn::test
