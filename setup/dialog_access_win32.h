// The Setup dialog as the portable rules and the extraction run see it: check boxes, texts
// and message boxes of one dialog window, and its status line for the entry names.
#pragma once
#include <windows.h>

#include "archive/extract.h"
#include "resources/control_ids.h"
#include "system/dialog_access.h"

namespace qarn {

class Win32DialogAccess final : public DialogAccess, public ExtractionUser {
public:
    explicit Win32DialogAccess(HWND dialog) : dialog_(dialog) {}

    bool is_checked(int control_id) override;
    void set_checked(int control_id) override;
    void set_text(int control_id, const char* text) override;
    void message_box(const char* text, const char* caption, unsigned style) override;

    void show_entry_name(const char* entry_name) override;
    void show_file_error(const char* caption) override;

    // How many file error boxes this access has shown.
    int file_errors_shown() const { return file_errors_shown_; }

private:
    HWND dialog_;
    int file_errors_shown_ = 0;
};

}  // namespace qarn
