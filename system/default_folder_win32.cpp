// The default target folder and the folder picker behind the browse button.
#include "system/default_folder_win32.h"

#include <cstring>

#include "languages/language_table.h"
#include "system/paths.h"
#include "system/product_names.h"
#include "system/registry_records_win32.h"
#include "system/target_folder_check.h"

namespace qarn {
namespace {

constexpr char kCurrentVersionKey[] = "Software\\Microsoft\\Windows\\CurrentVersion";
// The German and the English name of the program-files folder, for systems that do not
// name theirs; the German one is taken when it exists.
constexpr char kGermanProgramFiles[] = "Programme";
constexpr char kEnglishProgramFiles[] = "Program Files";
// Used only when neither the registry nor the Windows folder gives a folder that can take
// the product's folder name, so that the proposal is never empty.
constexpr char kLastResortFolder[] = "C:\\Program Files\\QARN";

// base + '\' + "QARN", checked; `out` is empty when it does not fit.
bool append_short_name(char* out, size_t capacity) {
    if (!append_backslash(out, capacity) || !append_checked(out, kShortName, capacity)) {
        out[0] = '\0';
        return false;
    }
    return true;
}

bool from_program_files(const char* program_files, char* out, size_t capacity) {
    if (program_files[0] == '\0') return false;
    return join_checked(out, capacity, program_files, "") && append_short_name(out, capacity);
}

bool from_windows_folder(const char* windows_folder, char* out, size_t capacity) {
    if (windows_folder[0] == '\0' || !join_checked(out, capacity, windows_folder, "")) {
        return false;
    }
    cut_to_parent(out);  // C:\WINDOWS gives C:\, D:\OS\WINDOWS gives D:\OS
    if (!append_backslash(out, capacity)) return false;
    const size_t base_length = std::strlen(out);
    if (!append_checked(out, kGermanProgramFiles, capacity)) return false;
    if (check_exists(out) == kMissing) {
        out[base_length] = '\0';
        if (!append_checked(out, kEnglishProgramFiles, capacity)) return false;
    }
    return append_short_name(out, capacity);
}

// Sent by the picker as it opens: selects the item list the caller passed.
int CALLBACK browse_callback(HWND window, UINT message, LPARAM, LPARAM data) {
    // BFFM_SETSELECTIONA with wParam FALSE: lParam is an item list, not a path text.
    if (message == BFFM_INITIALIZED) SendMessageA(window, BFFM_SETSELECTIONA, FALSE, data);
    return 0;
}

bool parse_folder(HWND owner, IShellFolder* desktop, const char* folder,
                  ShellItemList& selection) {
    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, folder, -1, wide, MAX_PATH) == 0) return false;
    ULONG eaten = 0;
    LPITEMIDLIST list = nullptr;
    const HRESULT hr = desktop->ParseDisplayName(owner, nullptr, wide, &eaten, &list, nullptr);
    if (FAILED(hr) || list == nullptr) return false;
    selection.adopt(list);
    return true;
}

}  // namespace

void read_program_files_dir(char* out, size_t capacity) {
    read_registry_text(HKEY_LOCAL_MACHINE, kCurrentVersionKey, "ProgramFilesDir", out, capacity);
}

void first_install_folder(const char* program_files, const char* windows_folder, char* out,
                          size_t capacity) {
    if (capacity == 0) return;
    if (from_program_files(program_files, out, capacity)) return;
    if (from_windows_folder(windows_folder, out, capacity)) return;
    if (!join_checked(out, capacity, kLastResortFolder, "")) out[0] = '\0';
}

void default_target_folder(char* out, size_t capacity, size_t longest_entry_name) {
    if (capacity == 0) return;
    out[0] = '\0';
    char recorded[kPathSize];
    if (read_registry_text(HKEY_CURRENT_USER, kProductKey, kTargetDirValue, recorded,
                           sizeof recorded) &&
        target_folder_fits(recorded, longest_entry_name) &&
        join_checked(out, capacity, recorded, "")) {
        // An earlier installation: propose its folder exactly as recorded, with its
        // languages checked.
        mark_installed_languages(recorded);
        return;
    }
    char program_files[kPathSize];
    read_program_files_dir(program_files, sizeof program_files);
    char windows_folder[kPathSize];
    const UINT n = GetWindowsDirectoryA(windows_folder, sizeof windows_folder);
    if (n == 0 || n >= sizeof windows_folder) windows_folder[0] = '\0';
    first_install_folder(program_files, windows_folder, out, capacity);
}

bool parse_initial_selection(HWND owner, IShellFolder* desktop, const char* folder,
                             ShellItemList& selection) {
    char path[kPathSize];
    if (!join_checked(path, sizeof path, folder, "")) return false;
    make_full_path(path, sizeof path);
    if (parse_folder(owner, desktop, path, selection)) return true;
    // Typically the typed folder does not exist yet: start on its parent.
    cut_last_component(path);
    return path[0] != '\0' && parse_folder(owner, desktop, path, selection);
}

void browse_for_target_folder(HWND dialog, int edit_id) {
    char typed[kPathSize];
    if (GetDlgItemTextA(dialog, edit_id, typed, sizeof typed) == 0) typed[0] = '\0';

    BROWSEINFOA info = {};
    info.hwndOwner = dialog;
    info.ulFlags = BIF_RETURNONLYFSDIRS;

    // Declared in this order so that they go in the reverse one: the start selection is
    // freed through the allocator, then the desktop folder and the allocator are released.
    ComPtr<IMalloc> allocator;
    ComPtr<IShellFolder> desktop;
    const bool shell_ready = typed[0] != '\0' && SHGetMalloc(allocator.receive()) == S_OK &&
                             allocator && SUCCEEDED(SHGetDesktopFolder(desktop.receive())) &&
                             desktop;
    ShellItemList selection(allocator.get());
    if (shell_ready && parse_initial_selection(dialog, desktop.get(), typed, selection)) {
        info.lpfn = browse_callback;
        info.lParam = reinterpret_cast<LPARAM>(selection.get());
    }

    ShellItemList picked;
    picked.adopt(SHBrowseForFolderA(&info));
    if (picked.get() == nullptr) return;  // cancelled: the field keeps its text
    char path[MAX_PATH];
    if (SHGetPathFromIDListA(picked.get(), path)) SetDlgItemTextA(dialog, edit_id, path);
}

}  // namespace qarn
