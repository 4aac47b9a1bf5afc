// The installation, step by step: folder, record, extraction, shortcuts, uninstall entry,
// settings file, success message. Nothing is reordered: the folder is recorded before the
// extraction so that the record stays even when the extraction fails, and the success
// message comes last, whatever the silent steps after the extraction did.
#include "setup/install_sequence_win32.h"

#include <cstring>

#include "archive/extract.h"
#include "languages/language_table.h"
#include "languages/settings_file_win32.h"
#include "setup/ui_texts.h"
#include "setup/win32_dialog_access.h"
#include "system/paths.h"
#include "system/product_names.h"
#include "system/registry_records_win32.h"
#include "system/shortcuts_win32.h"
#include "system/win32_handles.h"

namespace qarn {

HINSTANCE g_app_instance = nullptr;

namespace {

constexpr char kSuccessText[] = " has been successfully installed.";
constexpr char kSuccessCaption[] = "  Setup ";

// The longest file name the run joins to the target folder ("UnInst.exe"; "QARN.exe" and
// "QARN.INI" are shorter).
size_t longest_composed_name() {
    size_t longest = std::strlen(kProgramFile);
    const size_t uninstaller = std::strlen(kUninstallerFile);
    const size_t settings = std::strlen(kProductPrefix) + std::strlen(kSettingsExtension);
    if (uninstaller > longest) longest = uninstaller;
    if (settings > longest) longest = settings;
    return longest;
}

void show_window(HWND dialog, int control_id, int command) {
    ShowWindow(GetDlgItem(dialog, control_id), command);
}

// The folder error box; no box while the interface language is not settled.
void show_path_error(HWND dialog, const char* caption) {
    const char* text = cannot_create_path_text(g_ui_language);
    if (text != nullptr) MessageBoxA(dialog, text, caption, MB_ICONERROR | MB_OK);
}

// The product's settings file: QARN.INI in the target folder when one is there, else in
// the user's application data. Skipped when no such path can be formed.
void reconcile_settings_file(const char* target_folder) {
    char settings[kPathSize];
    if (!join_checked(settings, sizeof settings, target_folder, kProductPrefix) ||
        !append_checked(settings, kSettingsExtension, sizeof settings)) {
        return;
    }
    if (place_settings_file(settings, sizeof settings)) write_settings_language(settings);
}

}  // namespace

bool target_folder_fits(const char* folder) {
    const size_t length = std::strlen(folder);
    const size_t with_backslash = length + (length > 0 && folder[length - 1] == '\\' ? 0 : 1);
    return with_backslash + longest_composed_name() < kPathSize;
}

int32_t run_install(HWND dialog) {
    // 1. The folder as typed; an empty field does nothing at all.
    char target[kPathSize];
    const int typed_length = GetWindowTextLengthA(GetDlgItem(dialog, kFolderField));
    if (GetDlgItemTextA(dialog, kFolderField, target, sizeof target) == 0 || target[0] == '\0') {
        return kInstallNoFolder;
    }

    // 2. and 3. Wait cursor; drive errors come back as failed calls, not system boxes.
    const HCURSOR previous_cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SetErrorMode(SEM_FAILCRITICALERRORS);

    // 4. The German order form gets its shortcut only when German is installed.
    const bool german_chosen = IsDlgButtonChecked(dialog, kBoxGerman) == BST_CHECKED;
    const DocumentList documents = document_list(german_chosen);

    // A folder longer than the field's buffer, or too long for the paths composed in it,
    // is refused before anything is written: the field's text would otherwise be cut into
    // another folder, or a composed path cut into another file.
    if (typed_length >= static_cast<int>(kPathSize) || !target_folder_fits(target)) {
        SetCursor(previous_cursor);
        show_path_error(dialog, target);
        return kInstallBadFolder;
    }

    // 5. The folder with every missing parent.
    if (check_exists(target) == kMissing && create_folder_path(target) != kFolderCreated) {
        SetCursor(previous_cursor);
        show_path_error(dialog, target);
        return kInstallBadFolder;
    }

    // 6. The setup file itself carries the archive. A path that does not fit is not cut
    // into another file's name: the extraction then finds no setup file.
    char setup_path[kPathSize];
    const DWORD n = GetModuleFileNameA(g_app_instance, setup_path, sizeof setup_path);
    if (n == 0 || n >= sizeof setup_path) setup_path[0] = '\0';

    // 7. Recorded as typed, before the extraction.
    write_target_dir(target);

    // 8. The status line takes the place of the two shortcut boxes.
    show_window(dialog, kStartMenuBox, SW_HIDE);
    show_window(dialog, kDesktopBox, SW_HIDE);
    show_window(dialog, kStatusLine, SW_SHOW);

    // 9. The product's files.
    Win32DialogAccess access(dialog);
    if (extract_archive(access, setup_path, target, sizeof target) != kExtractOk) {
        SetCursor(previous_cursor);
        return kInstallExtractFailed;
    }

    // 10. and 11.
    append_backslash(target, sizeof target);  // fits: checked above
    SetDlgItemTextA(dialog, kStatusLine, "");
    SetCursor(previous_cursor);

    // 12. to 16. Shortcuts, with OLE initialised around them.
    char composed[kPathSize];
    join_checked(composed, sizeof composed, target, kProgramFile);
    {
        OleSession ole;
        if (IsDlgButtonChecked(dialog, kStartMenuBox) == BST_CHECKED) {
            create_start_menu_group(target, documents);
        }
        if (IsDlgButtonChecked(dialog, kDesktopBox) == BST_CHECKED) {
            create_desktop_icon(composed);
        }
    }

    // 17. The entry in the list of installed programs.
    if (join_checked(composed, sizeof composed, target, kUninstallerFile)) {
        write_uninstall_entry(composed);
    }

    // 18. The product's language.
    reconcile_settings_file(target);

    // 19. Always in English.
    join_checked(composed, sizeof composed, kProductName, kSuccessText);
    MessageBoxA(dialog, composed, kSuccessCaption, MB_ICONINFORMATION | MB_OK);
    return kInstallDone;
}

}  // namespace qarn
