// DialogAccess and ExtractionUser over the Setup dialog's window handle.
#include "setup/dialog_access_win32.h"

#include "setup/ui_texts.h"

namespace qarn {

bool Win32DialogAccess::is_checked(int control_id) {
    return IsDlgButtonChecked(dialog_, control_id) == BST_CHECKED;
}

void Win32DialogAccess::set_checked(int control_id) {
    CheckDlgButton(dialog_, control_id, BST_CHECKED);
}

void Win32DialogAccess::set_text(int control_id, const char* text) {
    SetDlgItemTextA(dialog_, control_id, text);
}

void Win32DialogAccess::message_box(const char* text, const char* caption, unsigned style) {
    MessageBoxA(dialog_, text, caption, style | MB_OK);
}

void Win32DialogAccess::show_entry_name(const char* entry_name) {
    SetDlgItemTextA(dialog_, kStatusLine, entry_name);
}

void Win32DialogAccess::show_file_error(const char* caption) {
    ++file_errors_shown_;
    qarn::show_file_error(*this, caption);
}

}  // namespace qarn
