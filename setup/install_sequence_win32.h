// One whole installation, from the OK button to the success message, in its fixed order.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>

#include "resources/control_ids.h"

namespace qarn {

// Results of run_install.
enum InstallResult : int32_t {
    kInstallDone = 0,           // installed; the dialog closes
    kInstallNoFolder = 1,       // the folder field is empty; nothing done
    kInstallExtractFailed = 2,  // extraction failed; the dialog stays
    kInstallBadFolder = 3,      // the folder cannot be created, or is too long to be used
};

// The module the setup file is read from (the program's own instance).
extern HINSTANCE g_app_instance;

// Installs into the folder typed in the dialog, with the languages of the language table
// and the shortcut boxes of the dialog.
InstallResult run_install(HWND dialog);

// The setup file's own path; false (and `out` empty) when it does not fit.
bool setup_file_path(char* out, size_t capacity);

// The longest entry name of the archive in the setup file, read with the headers only; 0
// when the archive cannot be read (the extraction then says what is wrong).
size_t longest_archive_name(const char* setup_path);

}  // namespace qarn
