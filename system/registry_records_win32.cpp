// Registry records of an installation, written through the ANSI registry calls.
#include "system/registry_records_win32.h"

#include <cstring>

#include "system/paths.h"
#include "system/product_names.h"
#include "system/handles_win32.h"

namespace qarn {
namespace {

constexpr char kUninstallRoot[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Opens (creating when missing) a key for writing. `key_class` is the class string the
// key is created with; it has no meaning to anyone and is kept only as the installer has
// always written it.
bool create_key(HKEY root, const char* path, const char* key_class, RegKey& key) {
    DWORD disposition = 0;
    return RegCreateKeyExA(root, path, 0, const_cast<char*>(key_class),
                           REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, key.receive(),
                           &disposition) == ERROR_SUCCESS;
}

void set_text_value(HKEY key, const char* name, const char* text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

}  // namespace

void write_target_dir(const char* folder) {
    RegKey key;
    if (!create_key(HKEY_CURRENT_USER, kProductKey, folder, key)) return;
    set_text_value(key.get(), kTargetDirValue, folder);
}

void write_uninstall_entry(const char* uninstaller_path) {
    char key_path[512];
    if (!join_checked(key_path, sizeof key_path, kUninstallRoot, kProductName)) return;
    RegKey key;
    if (!create_key(HKEY_LOCAL_MACHINE, key_path, kProductName, key)) return;
    // The second value is written whatever became of the first.
    set_text_value(key.get(), "DisplayName", kProductName);
    // In double quotes: Windows starts the command by trying its blanks in turn, so for
    // "D:\My Tools\QARN\UnInst.exe" unquoted a program planted as D:\My.exe would run first,
    // with the rights of whoever uninstalls.
    char command[kPathSize + 2];
    if (join_checked(command, sizeof command, "\"", uninstaller_path) &&
        append_checked(command, "\"", sizeof command)) {
        set_text_value(key.get(), "UninstallString", command);
    }
}

bool read_registry_text(HKEY root, const char* key_path, const char* value_name, char* out,
                        size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    RegKey key;
    if (RegOpenKeyExA(root, key_path, 0, KEY_READ, key.receive()) != ERROR_SUCCESS) {
        return false;
    }
    DWORD size = static_cast<DWORD>(capacity);
    if (RegQueryValueExA(key.get(), value_name, nullptr, nullptr,
                         reinterpret_cast<BYTE*>(out), &size) != ERROR_SUCCESS) {
        out[0] = '\0';
        return false;
    }
    // A value stored without its terminator is still read as text; one that fills the
    // whole buffer without a terminator is refused rather than cut.
    if (size > 0 && out[size - 1] == '\0') return true;
    if (size >= capacity) {
        out[0] = '\0';
        return false;
    }
    out[size] = '\0';
    return true;
}

}  // namespace qarn
