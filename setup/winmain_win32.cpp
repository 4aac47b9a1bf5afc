// The setup program's entry: one dialog, then the end. No command line, no exit code.
#include <windows.h>

#include "setup/setup_dialog_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return qarn::run_setup_dialog(instance);
}
