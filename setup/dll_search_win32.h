// Where the setup program may load DLLs from. setup.exe is started from download folders,
// where anyone may have left a DLL named like one the system loads on demand, and it runs
// elevated; so before anything else runs, DLLs loaded by name come from the system folder
// only, never from the program's folder or the current folder.
#pragma once
#include <windows.h>

namespace qarn {

// The signature of SetDefaultDllDirectories, which systems before Windows 8 (and Windows 7
// without its 2011 loader update) lack.
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);

// SetDefaultDllDirectories as the running system has it, or null.
SetDefaultDllDirectoriesFunction find_set_default_dll_directories();

// Restricts the search with `set_default` (LOAD_LIBRARY_SEARCH_SYSTEM32); where that is
// null or fails, at least takes the current folder out of it (SetDllDirectoryA("")).
// True when the search is limited to the system folder.
bool restrict_dll_search(SetDefaultDllDirectoriesFunction set_default);

// The start-up call: the above with the system's own function.
inline bool restrict_dll_search() {
    return restrict_dll_search(find_set_default_dll_directories());
}

}  // namespace qarn
