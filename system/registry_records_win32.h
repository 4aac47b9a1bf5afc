// The two records an installation leaves in the registry: the per-user target folder, which
// the next run proposes again, and the per-machine entry in the list of installed programs.
// Both writes are silent: a failure leaves the installation running.
#pragma once
#include <windows.h>

#include <cstddef>

namespace qarn {

// HKCU\Software\Obrelux\QARN, "Dir" = the folder exactly as typed (REG_SZ).
void write_target_dir(const char* folder);

// HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Zentrivo: "DisplayName" =
// "Zentrivo" and "UninstallString" = the given path in double quotes (both REG_SZ). A path
// that does not fit a path buffer gets no command (readers take the entry for no one's).
void write_uninstall_entry(const char* uninstaller_path);

// Reads a string value into `out` (capacity bytes, always terminated). The value's type
// is not asked for, as the installer has always done; a value that does not fit, or any
// other failure, leaves `out` empty and gives false.
bool read_registry_text(HKEY root, const char* key_path, const char* value_name, char* out,
                        size_t capacity);

}  // namespace qarn
