// The OK button's installation: the dialog's folder, boxes and language table as an
// install request, the dialog as its user, the registry and the shell as its system.
#pragma once
#include <windows.h>

#include <cstddef>

#include "setup/install_sequence.h"

namespace qarn {

// The module the setup file is read from (the program's own instance).
extern HINSTANCE g_app_instance;

InstallResult install_from_dialog(HWND dialog);

// The setup file's own path; false (and `out` empty) when it does not fit.
bool setup_file_path(char* out, size_t capacity);

// The longest entry name of the archive in the setup file, read with the headers only; 0
// when the archive cannot be read (the installation then says what is wrong).
size_t longest_archive_name(const char* setup_path);

}  // namespace qarn
