// dll_search_probe MODE NAME: loads the DLL NAME by name, after restricting the DLL search
// as the setup program's entry does (MODE "restrict"), as on a system without
// SetDefaultDllDirectories ("fallback"), or not at all ("none"). Exit status: 0 loaded,
// 1 not found, 2 wrong arguments, 3 the restriction could not be made as asked. A program
// of its own, since a process cannot undo the restriction.
#include <windows.h>

#include <cstring>

#include "setup/dll_search_win32.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    if (std::strcmp(argv[1], "restrict") == 0) {
        if (!qarn::restrict_dll_search()) return 3;
    } else if (std::strcmp(argv[1], "fallback") == 0) {
        if (qarn::restrict_dll_search(nullptr)) return 3;
    } else if (std::strcmp(argv[1], "none") != 0) {
        return 2;
    }
    // No error box from the system when the DLL is not found.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    return LoadLibraryA(argv[2]) != nullptr ? 0 : 1;
}
