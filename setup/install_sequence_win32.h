// One whole installation, from the OK button to the success message, in its fixed order.
#pragma once
#include <windows.h>

#include <cstdint>

namespace qarn {

// Results of run_install.
inline constexpr int32_t kInstallDone = 0;          // installed; the dialog closes
inline constexpr int32_t kInstallNoFolder = 1;      // the folder field is empty; nothing done
inline constexpr int32_t kInstallExtractFailed = 2; // extraction failed; the dialog stays
inline constexpr int32_t kInstallBadFolder = 3;     // the folder cannot be created or used

// Control ids the run reads.
inline constexpr int kFolderField = 103;
inline constexpr int kStartMenuBox = 105;
inline constexpr int kDesktopBox = 106;

// The module the setup file is read from (the program's own instance).
extern HINSTANCE g_app_instance;

// Installs into the folder typed in the dialog, with the languages of the language table
// and the shortcut boxes of the dialog.
int32_t run_install(HWND dialog);

// True when every path the run composes in `folder` (the folder, a backslash and the
// longest of the product's file names) fits a path buffer.
bool target_folder_fits(const char* folder);

}  // namespace qarn
