// The setup program's process entry. The C runtime's own start-up (command-line parsing,
// constructor lists, thread-local storage, pseudo-relocations) is a quarter of the
// program's budget and does nothing the installer needs: it takes no arguments, has no
// global objects to construct (every global is constant-initialised), and reaches the C
// library only through msvcrt.dll, which initialises itself when it is loaded. So the entry
// calls WinMain directly and ends the process with what it returns.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);

extern "C" void stub_entry() {
    const int code = WinMain(GetModuleHandleA(nullptr), nullptr, GetCommandLineA(), SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(code));
}
