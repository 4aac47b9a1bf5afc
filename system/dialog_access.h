// What the portable rules need of the Setup dialog: its check boxes, its control texts and
// its message boxes. The Windows dialog implements it over its window handle; tests and
// mksetup implement it with fakes.
#pragma once

namespace qarn {

// The message-box style of the installer's error boxes.
inline constexpr unsigned kIconError = 0x10;  // MB_ICONERROR

class DialogAccess {
public:
    // True when the check box reports checked (IsDlgButtonChecked returns 1).
    virtual bool is_checked(int control_id) = 0;
    // Checks the box (CheckDlgButton with 1); never unchecks.
    virtual void set_checked(int control_id) = 0;
    virtual void set_text(int control_id, const char* text) = 0;
    // A modal message box owned by the dialog, single OK button; returns when closed.
    virtual void message_box(const char* text, const char* caption, unsigned style) = 0;

protected:
    ~DialogAccess() = default;
};

}  // namespace qarn
