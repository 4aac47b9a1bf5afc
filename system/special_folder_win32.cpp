// The file-system path of a shell special folder (Start menu, desktop, application data).
#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "system/special_folder_win32.h"
#include "system/handles_win32.h"

namespace qarn {

void get_special_folder(int csidl, char* out, size_t capacity) {
    if (capacity == 0) return;
    out[0] = '\0';

    ShellItemList list;
    if (SHGetSpecialFolderLocation(nullptr, csidl, list.receive()) != S_OK || list.get() == nullptr) {
        return;
    }
    // The shell writes up to MAX_PATH bytes, whatever the caller's buffer holds.
    char path[MAX_PATH] = {};
    if (!SHGetPathFromIDListA(list.get(), path)) return;
    const size_t length = std::strlen(path);
    if (length + 1 > capacity) return;  // refused, not cut: a cut folder is another folder
    std::memcpy(out, path, length + 1);
}

}  // namespace qarn
