#include "uninstall/link_target_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "system/handles_win32.h"
#include "system/shell_link_ids_win32.h"

namespace qarn::uninstall {

bool read_link_target(const char* link_file, char* out, size_t capacity) {
    if (capacity == 0) return false;
    out[0] = '\0';
    ComPtr<IShellLinkA> link;
    if (FAILED(CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                                link.receive_void()))) {
        return false;
    }
    ComPtr<IPersistFile> file;
    if (FAILED(link->QueryInterface(kPersistFile, file.receive_void()))) return false;
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link_file, -1, wide, MAX_PATH) == 0) return false;
    if (FAILED(file->Load(wide, STGM_READ))) return false;
    // Twice the room a path may take: a longer stored target is seen whole and refused
    // below, instead of cut into the name of another file.
    char target[2 * MAX_PATH] = "";
    if (link->GetPath(target, sizeof target, nullptr, SLGP_RAWPATH) != S_OK) return false;
    const size_t length = std::strlen(target);
    if (length == 0 || length + 1 > capacity) return false;
    std::memcpy(out, target, length + 1);
    return true;
}

}  // namespace qarn::uninstall
