// A DLL that does nothing: the setup program must never load a copy of it left in its own
// folder or in the current folder.
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
