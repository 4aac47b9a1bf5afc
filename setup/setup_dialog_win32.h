// The Setup dialog: its start-up, its commands and its place on the screen.
#pragma once
#include <windows.h>

namespace qarn {

// Opens the dialog (resource 100) and returns when it has ended. Always 0: the process
// exit code says nothing, as the installer has always done.
int run_setup_dialog(HINSTANCE instance);

// The dialog procedure; FALSE for every message, handled or not.
INT_PTR CALLBACK setup_dialog_proc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);

// Moves the window to the middle of the desktop without resizing it.
void center_on_desktop(HWND window);

// Sends WM_DESTROY to every running product window (class "QARN"), looking again after each,
// for at most `budget_ms` in all: a window that ignores the message, or does not answer,
// cannot keep the setup from starting. Gives the number of messages sent.
int close_running_product(DWORD budget_ms);

// How long start-up waits for running copies of the product to go.
inline constexpr DWORD kCloseProductBudgetMs = 3000;

}  // namespace qarn
