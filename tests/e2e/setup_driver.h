// Drives the real setup.exe as a user would: starts it, finds its dialog, reads and sets the
// controls, presses buttons, reads and closes the message boxes. Everything goes through
// window messages to the other process, the way an accessibility tool or a user's mouse
// reaches the dialog; nothing of the installer is linked in.
#pragma once
#include <windows.h>

#include <string>

namespace qarn::e2e {

// Where the run finds its inputs (set by run_e2e.sh): the setup file and the demo product it
// carries.
std::string setup_exe();
std::string product_dir();
// The Windows form (drive Z:) of the Unix path in environment variable `name`; empty when
// it is not set.
std::string input_path(const char* name);

// Ends a child process the test started, if it still runs, and closes its handles: the one
// owner's release for every driver of a program under test.
void end_child_process(PROCESS_INFORMATION& process);

// A program a test starts itself: ended and closed however the test leaves.
struct ChildProcess {
    PROCESS_INFORMATION info{};
    ChildProcess() = default;
    ~ChildProcess() { end_child_process(info); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
};

struct MessageBoxSeen {
    HWND window = nullptr;
    std::string caption;
    std::string text;
    bool error_icon = false;        // MB_ICONERROR
    bool information_icon = false;  // MB_ICONINFORMATION
    ULONGLONG seen_at = 0;          // GetTickCount64 when it was found
};

// Shows one message box of each kind the installer uses and keeps the look of its icon, to
// be compared with the installer's boxes. Run once, before the first setup is started.
void prepare_icon_references();

class SetupRun {
public:
    SetupRun() = default;
    ~SetupRun();  // a run still going at the end of a test is ended by force
    SetupRun(const SetupRun&) = delete;
    SetupRun& operator=(const SetupRun&) = delete;

    // Starts setup.exe and waits until its dialog is shown. False on failure or timeout.
    bool start(DWORD timeout_ms = 20000);
    // The same for another setup file, started in `current_folder` (empty: the driver's).
    bool start(const std::string& setup_path, const std::string& current_folder,
               DWORD timeout_ms = 20000);
    HWND dialog() const { return dialog_; }
    DWORD milliseconds_to_dialog() const { return to_dialog_ms_; }

    std::string caption() const;
    std::string text(int control_id) const;
    // The text as the window system holds it, read without a message to the setup: its
    // dialog answers no message while an installation runs, but its status line is set all
    // the same.
    std::string text_held(int control_id) const;
    bool checked(int control_id) const;
    bool visible(int control_id) const;

    // As a user would: type into the folder field (replacing its text), click a button or
    // a check box.
    void type(int control_id, const std::string& text);
    void click(int control_id);

    // The next message box the dialog owns; window null on timeout.
    MessageBoxSeen wait_for_message_box(DWORD timeout_ms = 60000);
    // Presses the box's OK button.
    static void close_message_box(const MessageBoxSeen& box);
    // The folder picker the browse button opens; null on timeout.
    HWND wait_for_folder_picker(DWORD timeout_ms = 20000);
    static void press(HWND dialog, int button_id);

    // True when the dialog is still there, no box open, after waiting `ms`.
    bool still_waiting_after(DWORD ms);
    // True when the dialog owns a message box right now.
    bool message_box_open() const { return find_owned(false) != nullptr; }
    // Ends the setup at once (TerminateProcess), as a crash or a power cut would. False
    // when it had ended already.
    bool kill();
    // Waits for the process to end; its exit code, or -1 on timeout.
    long wait_for_exit(DWORD timeout_ms = 20000);

private:
    HWND find_owned(bool want_picker) const;

    PROCESS_INFORMATION process_{};
    HWND dialog_ = nullptr;
    DWORD to_dialog_ms_ = 0;
};

// A window text read from another process.
std::string window_text(HWND window);

// Waits until `done` holds, polling; false on timeout.
template <typename F>
bool wait_until(F done, DWORD timeout_ms) {
    const ULONGLONG end = GetTickCount64() + timeout_ms;
    for (;;) {
        if (done()) return true;
        if (GetTickCount64() >= end) return false;
        Sleep(20);
    }
}

}  // namespace qarn::e2e
