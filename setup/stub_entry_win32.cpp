// The setup program's process entry. The C runtime's own start-up (command-line parsing,
// constructor lists, thread-local storage, pseudo-relocations) is a quarter of the
// program's budget and does nothing the installer needs: it takes no arguments, has no
// global objects to construct (every global is constant-initialised), and reaches the C
// library only through msvcrt.dll, which initialises itself when it is loaded. So the entry
// calls WinMain directly and ends the process with what it returns.
#include <windows.h>

#include "setup/dll_search_win32.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

extern "C" void stub_entry() {
    // First of all, before any code could load a DLL by name: the DLLs the program imports
    // are the system's known DLLs, mapped from the system folder before this runs; every
    // later one (the system's own, loaded on the program's behalf) comes from there too.
    qarn::restrict_dll_search();
    // The installer takes no arguments: an empty command line spares an import.
    static char no_arguments[] = "";
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, no_arguments, SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(code));
}
