// Drives the product's uninstaller as a user would: starts the command of the uninstall
// entry the way Windows starts it, answers its question and reads its report. The
// uninstaller hands its work to a copy of itself, so its boxes are looked for in any
// process, by their caption.
#pragma once
#include <windows.h>

#include <string>

namespace qarn::e2e {

struct UninstallBox {
    HWND window = nullptr;
    DWORD process = 0;
    std::string caption;
    std::string text;
};

class UninstallRun {
public:
    UninstallRun() = default;
    ~UninstallRun();  // a process still running at the end of a test is ended by force
    UninstallRun(const UninstallRun&) = delete;
    UninstallRun& operator=(const UninstallRun&) = delete;

    // Starts `command` as Windows starts an uninstall entry: CreateProcess without an
    // application name, so that an unquoted path with blanks is found by trying its
    // blanks in turn. False when nothing could be started (error() tells why). `temp`, when
    // given, becomes the program's temporary folder (TMP and TEMP).
    bool start(const std::string& command, const std::string& temp = "");
    DWORD error() const { return error_; }

    // The next uninstaller box that is not `after` (the box just answered may still be
    // closing); window null on timeout.
    UninstallBox wait_for_box(HWND after = nullptr, DWORD timeout_ms = 60000);
    // Clicks a button of the box (IDYES, IDNO, IDOK) and waits for the box to close.
    static void answer(const UninstallBox& box, int button);
    // No uninstaller box shows within `ms`.
    static bool no_box_within(DWORD ms);

    // The exit code of the started process, or -1 on timeout.
    long wait_for_exit(DWORD timeout_ms = 30000);
    // Waits for the process that showed `box` to end.
    static bool wait_for_end_of(const UninstallBox& box, DWORD timeout_ms = 30000);

private:
    PROCESS_INFORMATION process_{};
    DWORD error_ = 0;
};

// A whole uninstallation with Yes: the question, then the report, both closed. Gives the
// report's text, or an empty text when a box did not come.
struct ConfirmedUninstall {
    std::string question;
    std::string report;
    long exit_code = -1;
};
ConfirmedUninstall uninstall_with_yes(const std::string& command);

// Everything an installation or an uninstallation may change, as one text: the files below
// the folder, the Start-menu groups, the desktop icon, the settings folder, uninstaller
// copies in the temporary folder, and the registry records. Two equal snapshots mean
// nothing changed in between.
std::string system_snapshot(const std::string& folder);

// The files the system removes at its next restart (MoveFileEx's pending list).
std::string pending_removals();

}  // namespace qarn::e2e
