#include "setup/dll_search_win32.h"

namespace qarn {

SetDefaultDllDirectoriesFunction find_set_default_dll_directories() {
    // kernel32 is mapped into every process before its first instruction runs.
    const HMODULE kernel = GetModuleHandleA("kernel32.dll");
    if (kernel == nullptr) return nullptr;
    const FARPROC found = GetProcAddress(kernel, "SetDefaultDllDirectories");
    // Through the generic function type, which converts to any other without a warning.
    return reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        reinterpret_cast<void (*)()>(found));
}

bool restrict_dll_search(SetDefaultDllDirectoriesFunction set_default) {
    if (set_default != nullptr && set_default(LOAD_LIBRARY_SEARCH_SYSTEM32)) return true;
    SetDllDirectoryA("");
    return false;
}

}  // namespace qarn
