#include "setup/dialog_install_win32.h"

#include "archive/entry_loop.h"
#include "languages/settings_file_win32.h"
#include "setup/dialog_access_win32.h"
#include "setup/ui_texts.h"
#include "system/handles_win32.h"
#include "system/product_names.h"
#include "system/registry_records_win32.h"
#include "system/shortcuts_win32.h"

namespace qarn {

HINSTANCE g_app_instance = nullptr;

namespace {

constexpr char kSuccessText[] = " has been successfully installed.";
constexpr char kSuccessCaption[] = "  Setup ";

// The dialog as the installation's user: its status line, its boxes, the wait cursor.
class DialogUser final : public InstallUser {
public:
    DialogUser(HWND dialog, HCURSOR previous_cursor)
        : dialog_(dialog), access_(dialog), previous_cursor_(previous_cursor) {}

    void show_entry_name(const char* name) override { access_.show_entry_name(name); }
    void show_file_error(const char* caption) override {
        SetCursor(previous_cursor_);
        access_.show_file_error(caption);
    }
    void show_folder(const char* folder) override { SetDlgItemTextA(dialog_, kFolderField, folder); }
    void show_path_error(const char* folder) override {
        SetCursor(previous_cursor_);
        // No box while the interface language is not settled.
        if (const char* text = cannot_create_path_text(g_ui_language)) error_box(text, folder);
    }
    void show_no_room(const char* folder, uint64_t needed, uint64_t free) override {
        SetCursor(previous_cursor_);
        char text[256];
        if (compose_no_room_text(g_ui_language, needed, free, text, sizeof text)) {
            error_box(text, folder);
        }
    }
    // The status line takes the place of the two shortcut boxes, for the rest of the
    // dialog's life.
    void extraction_starts() override {
        ShowWindow(GetDlgItem(dialog_, kStartMenuBox), SW_HIDE);
        ShowWindow(GetDlgItem(dialog_, kDesktopBox), SW_HIDE);
        ShowWindow(GetDlgItem(dialog_, kStatusLine), SW_SHOW);
    }
    void extraction_ended() override {
        SetDlgItemTextA(dialog_, kStatusLine, "");
        SetCursor(previous_cursor_);
    }
    // Always in English.
    void show_success() override {
        char text[64];
        join_checked(text, sizeof text, kProductName, kSuccessText);
        MessageBoxA(dialog_, text, kSuccessCaption, MB_ICONINFORMATION | MB_OK);
    }
    int file_errors_shown() const { return access_.file_errors_shown(); }

private:
    void error_box(const char* text, const char* caption) {
        MessageBoxA(dialog_, text, caption, MB_ICONERROR | MB_OK);
    }

    HWND dialog_;
    Win32DialogAccess access_;
    HCURSOR previous_cursor_;
};

// The registry records, the shortcuts and the settings file.
class Win32SystemSteps final : public SystemSteps {
public:
    void record_target_folder(const char* folder) override { write_target_dir(folder); }
    void create_shortcuts(const char* folder, bool start_menu, bool desktop_icon,
                          bool german) override {
        // OLE around the shortcuts, whether or not any is asked for.
        OleSession ole;
        if (start_menu) create_start_menu_group(folder, document_list(german));
        char program[kPathSize];
        if (desktop_icon && join_checked(program, sizeof program, folder, kProgramFile)) {
            create_desktop_icon(program);
        }
    }
    void register_uninstaller(const char* uninstaller_path) override {
        write_uninstall_entry(uninstaller_path);
    }
    // QARN.INI in the target folder when one is there, else in the user's application
    // data; skipped when no such path can be formed.
    void reconcile_settings(const char* folder, const LanguageChoice& languages) override {
        char settings[kPathSize];
        if (!join_checked(settings, sizeof settings, folder, kSettingsFile)) return;
        if (place_settings_file(settings, sizeof settings)) {
            write_settings_language(settings, languages);
        }
    }
};

// A listing's summary holds the longest name; nothing is wanted of each entry.
class HeadersOnly final : public ArchiveListener {
public:
    void on_entry(const EntryInfo&) override {}
};

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

InstallResult install_from_dialog(HWND dialog) {
    // The folder as typed; an empty field does nothing at all. A folder longer than the
    // field's buffer is refused: cut, it would be another folder.
    InstallRequest request{};
    const int typed_length = GetWindowTextLengthA(GetDlgItem(dialog, kFolderField));
    if (GetDlgItemTextA(dialog, kFolderField, request.folder, sizeof request.folder) == 0 ||
        request.folder[0] == '\0') {
        return kInstallNoFolder;
    }

    // Drive errors come back to the program as failed calls, not as system boxes.
    const HCURSOR previous_cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    SetErrorMode(SEM_FAILCRITICALERRORS);
    DialogUser user(dialog, previous_cursor);
    if (typed_length >= static_cast<int>(kPathSize)) {
        user.show_path_error(request.folder);
        return kInstallBadFolder;
    }
    request.languages = chosen_languages();
    request.start_menu = IsDlgButtonChecked(dialog, kStartMenuBox) == BST_CHECKED;
    request.desktop_icon = IsDlgButtonChecked(dialog, kDesktopBox) == BST_CHECKED;

    // A path that does not fit is not cut into another file's name: the check then finds
    // no setup file and says so.
    char setup_path[kPathSize];
    setup_file_path(setup_path, sizeof setup_path);
    Win32SystemSteps system;
    const InstallOutcome done = run_install(request, setup_path, user, system);
    SetCursor(previous_cursor);
    // Every failure is shown: where the run itself showed no box (no memory, a file that
    // cannot be read on), the file error names the setup file.
    if (done.result == kInstallExtractFailed && user.file_errors_shown() == 0) {
        user.show_file_error(setup_path[0] != '\0' ? setup_path : request.folder);
    }
    return done.result;
}

}  // namespace qarn
