// The installation, step by step: folder, record, extraction, shortcuts, uninstall entry,
// settings file, success message. Nothing is reordered: the folder is recorded before the
// extraction so that the record stays even when the extraction fails, and the success
// message comes last, whatever the silent steps after the extraction did.
#include "setup/install_sequence_win32.h"

#include <cstring>

#include "archive/entry_loop.h"
#include "archive/extract.h"
#include "languages/language_table.h"
#include "languages/settings_file_win32.h"
#include "setup/dialog_access_win32.h"
#include "setup/ui_texts.h"
#include "system/handles_win32.h"
#include "system/paths.h"
#include "system/product_names.h"
#include "system/registry_records_win32.h"
#include "system/shortcuts_win32.h"
#include "system/target_folder_check.h"

namespace qarn {

HINSTANCE g_app_instance = nullptr;

namespace {

constexpr char kSuccessText[] = " has been successfully installed.";
constexpr char kSuccessCaption[] = "  Setup ";

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

// A listing's summary holds the longest name; nothing is wanted of each entry.
class HeadersOnly final : public ArchiveListener {
public:
    void on_entry(const EntryInfo&) override {}
};

// The folder the installation goes to, settled before anything is written: a folder typed
// without its drive and root ("RelQ", "\RelQ", "C:RelQ") would depend on where setup was
// started, and would be recorded so; it is made full, and the field shows the full form
// that is then used and recorded. Folders typed fully qualified stay exactly as typed.
// False when the full form cannot be had or does not fit.
bool settle_target_folder(HWND dialog, char* target, size_t capacity) {
    if (is_fully_qualified(target)) return true;
    if (!make_full_path(target, capacity)) return false;
    SetDlgItemTextA(dialog, kFolderField, target);
    return true;
}

}  // namespace

bool setup_file_path(char* out, size_t capacity) {
    const DWORD n = GetModuleFileNameA(g_app_instance, out, static_cast<DWORD>(capacity));
    if (n == 0 || n >= capacity) {
        if (capacity > 0) out[0] = '\0';
        return false;
    }
    return true;
}

size_t longest_archive_name(const char* setup_path) {
    HeadersOnly listener;
    RunSummary summary{};
    list_archive(setup_path, listener, summary);
    return summary.longest_name;
}

InstallResult run_install(HWND dialog) {
    // The folder as typed; an empty field does nothing at all. A folder longer than the
    // field's buffer is refused below: cut, it would be another folder.
    char target[kPathSize];
    const int typed_length = GetWindowTextLengthA(GetDlgItem(dialog, kFolderField));
    if (GetDlgItemTextA(dialog, kFolderField, target, sizeof target) == 0 || target[0] == '\0') {
        return kInstallNoFolder;
    }

    // Drive errors come back to the program as failed calls, not as system boxes.
    const HCURSOR previous_cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SetErrorMode(SEM_FAILCRITICALERRORS);

    // The German order form gets its shortcut only when German is installed; decided anew
    // at every run.
    const bool german_chosen = IsDlgButtonChecked(dialog, kBoxGerman) == BST_CHECKED;
    const DocumentList documents = document_list(german_chosen);

    // The setup file carries the archive; its names are read before anything is written, so
    // that a folder too long for one of them is refused before it is created and recorded.
    // A path that does not fit is not cut into another file's name: the extraction then
    // finds no setup file and says so.
    char setup_path[kPathSize];
    setup_file_path(setup_path, sizeof setup_path);

    if (typed_length >= static_cast<int>(kPathSize) ||
        !settle_target_folder(dialog, target, sizeof target) ||
        !target_folder_fits(target, longest_archive_name(setup_path))) {
        SetCursor(previous_cursor);
        show_path_error(dialog, target);
        return kInstallBadFolder;
    }

    // The folder with every missing parent; an existing path (folder or file) is used as
    // it is.
    if (check_exists(target) == kMissing && create_folder_path(target) != kFolderCreated) {
        SetCursor(previous_cursor);
        show_path_error(dialog, target);
        return kInstallBadFolder;
    }

    // Recorded as used, before the extraction: the record stays whatever happens next.
    write_target_dir(target);

    // The status line takes the place of the two shortcut boxes.
    show_window(dialog, kStartMenuBox, SW_HIDE);
    show_window(dialog, kDesktopBox, SW_HIDE);
    show_window(dialog, kStatusLine, SW_SHOW);

    Win32DialogAccess access(dialog);
    if (extract_archive(access, setup_path, target, sizeof target) != kExtractOk) {
        SetCursor(previous_cursor);
        // Every failure is shown: where the run itself showed no box (no archive, a damaged
        // or incomplete one, no memory), the file error names the setup file.
        if (access.file_errors_shown() == 0) {
            show_file_error(access, setup_path[0] != '\0' ? setup_path : target);
        }
        return kInstallExtractFailed;
    }

    // The folder now ends with its backslash (it fits: checked above); the status line
    // stays, empty.
    append_backslash(target, sizeof target);
    SetDlgItemTextA(dialog, kStatusLine, "");
    SetCursor(previous_cursor);

    // Shortcuts, with OLE initialised around them; the boxes count though hidden.
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

    // The entry in the list of installed programs.
    if (join_checked(composed, sizeof composed, target, kUninstallerFile)) {
        write_uninstall_entry(composed);
    }

    // The product's language.
    reconcile_settings_file(target);

    // Always in English.
    join_checked(composed, sizeof composed, kProductName, kSuccessText);
    MessageBoxA(dialog, composed, kSuccessCaption, MB_ICONINFORMATION | MB_OK);
    return kInstallDone;
}

}  // namespace qarn
