// The Setup dialog procedure: start-up in its fixed order, then the commands of the buttons
// and the language boxes.
#include "setup/setup_dialog_win32.h"

#include "languages/language_table.h"
#include "languages/system_language_win32.h"
#include "setup/dialog_access_win32.h"
#include "setup/dialog_install_win32.h"
#include "setup/ui_texts.h"
#include "system/default_folder_win32.h"
#include "system/handles_win32.h"
#include "system/paths.h"
#include "system/product_names.h"

namespace qarn {
namespace {

constexpr char kCaptionPrefix[] = "  Setup ";
constexpr char kTitleSeparator[] = "  ";
// While a product window is found again right after its WM_DESTROY, its process is given
// this long to end before the next look.
constexpr DWORD kRetryPauseMs = 50;

// What lives as long as the dialog: the title font, released when the dialog has ended.
struct DialogSession {
    FontHandle title_font;
};

// The title font: 24 points at the screen's resolution, otherwise fixed.
LOGFONTA title_font_for(HWND dialog) {
    LOGFONTA font = {};
    {
        WindowDC dc(dialog);
        font.lfHeight = MulDiv(-24, GetDeviceCaps(dc.get(), LOGPIXELSY), 72);
    }
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = ANSI_CHARSET;
    font.lfOutPrecision = OUT_STRING_PRECIS;
    font.lfClipPrecision = CLIP_STROKE_PRECIS;
    font.lfQuality = DRAFT_QUALITY;
    font.lfPitchAndFamily = VARIABLE_PITCH | FF_SWISS;
    join_checked(font.lfFaceName, sizeof font.lfFaceName, "MS Sans Serif", "");
    return font;
}

void start_up(HWND dialog, DialogSession& session) {
    Win32DialogAccess access(dialog);
    // The file-name prefix is kept in its cut form ("QARN") from the start.
    center_on_desktop(dialog);

    char folder[kPathSize];
    char setup_path[kPathSize];
    setup_file_path(setup_path, sizeof setup_path);
    default_target_folder(folder, sizeof folder, longest_archive_name(setup_path));
    SetDlgItemTextA(dialog, kFolderField, folder);
    // A new folder gets the shortcuts by default; an existing one keeps what it has.
    if (check_exists(folder) == kMissing) {
        CheckDlgButton(dialog, kStartMenuBox, BST_CHECKED);
        CheckDlgButton(dialog, kDesktopBox, BST_CHECKED);
    }
    if (system_default_is_german()) apply_german_defaults();

    const LOGFONTA font = title_font_for(dialog);
    char text[64];
    join_checked(text, sizeof text, kProductName, kTitleSeparator);
    append_checked(text, kProductVersion, sizeof text);
    SetDlgItemTextA(dialog, kTitleLine, text);
    join_checked(text, sizeof text, kCaptionPrefix, kProductName);
    SetWindowTextA(dialog, text);
    // Without the font the title keeps the dialog's font.
    session.title_font.reset(CreateFontIndirectA(&font));
    if (session.title_font.get() != nullptr) {
        SendMessageA(GetDlgItem(dialog, kTitleLine), WM_SETFONT,
                     reinterpret_cast<WPARAM>(session.title_font.get()), 0);
    }

    close_running_product(kCloseProductBudgetMs);

    ShowWindow(dialog, SW_SHOW);
    SetFocus(GetDlgItem(dialog, kFolderField));
    table_to_boxes(access);
    update_ui_language(access);
    ensure_one_language(access);
}

void on_command(HWND dialog, int command) {
    Win32DialogAccess access(dialog);
    switch (command) {
        case kOkButton:  // also Enter, as no button is the default one
            boxes_to_table(access);
            if (install_from_dialog(dialog) == kInstallDone) EndDialog(dialog, 0);
            break;
        case kExitButton:  // also Escape
            EndDialog(dialog, 0);
            break;
        case kBrowseButton:
            browse_for_target_folder(dialog, kFolderField);
            break;
        case kBoxGerman:
        case kBoxEnglish:
            update_ui_language(access);
            boxes_to_table(access);
            ensure_one_language(access);
            break;
        default:  // the other boxes only change their own state
            break;
    }
}

}  // namespace

int run_setup_dialog(HINSTANCE instance) {
    g_app_instance = instance;
    DialogSession session;
    DialogBoxParamA(instance, MAKEINTRESOURCEA(kDialogTemplate), nullptr, setup_dialog_proc,
                    reinterpret_cast<LPARAM>(&session));
    return 0;
}

INT_PTR CALLBACK setup_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            start_up(dialog, *reinterpret_cast<DialogSession*>(lparam));
            break;
        case WM_COMMAND:
            on_command(dialog, LOWORD(wparam));
            break;
        default:
            break;
    }
    // FALSE throughout: start-up has set the focus itself.
    return FALSE;
}

void center_on_desktop(HWND window) {
    RECT desktop;
    RECT own;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(window, &own);
    // Halved with a shift: a dialog larger than the desktop goes to the next lower integer.
    const LONG left = ((desktop.right - desktop.left) - (own.right - own.left)) >> 1;
    const LONG top = ((desktop.bottom - desktop.top) - (own.bottom - own.top)) >> 1;
    SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int close_running_product(DWORD budget_ms) {
    const DWORD start = GetTickCount();
    HWND previous = nullptr;
    int sent = 0;
    for (;;) {
        const HWND window = FindWindowA(kShortName, nullptr);
        if (window == nullptr) break;
        if (window == previous) Sleep(kRetryPauseMs);
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= budget_ms) break;
        // The wait for an answer comes out of the same budget; a hung window is given up at
        // once.
        DWORD_PTR answer = 0;
        SendMessageTimeoutA(window, WM_DESTROY, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                            budget_ms - elapsed, &answer);
        ++sent;
        previous = window;
    }
    return sent;
}

}  // namespace qarn
