// Shortcuts through the shell link object (IShellLinkA saved through IPersistFile).
#include "system/shortcuts_win32.h"

#include <shlobj.h>

#include "system/paths.h"
#include "system/special_folder_win32.h"
#include "system/product_names.h"
#include "system/handles_win32.h"
#include "system/shell_link_ids_win32.h"

namespace qarn {
namespace {

constexpr char kLinkExtension[] = ".lnk";

// dir + name + ".lnk", checked.
bool compose_link_path(char* out, size_t capacity, const char* dir, const char* name) {
    return join_checked(out, capacity, dir, name) && append_checked(out, kLinkExtension, capacity);
}

// The folder a shortcut starts in: the target's own folder (a drive root keeps its '\').
bool working_folder_of(const char* target, char* out, size_t capacity) {
    if (!join_checked(out, capacity, target, "")) return false;
    cut_last_component(out);
    return true;
}

}  // namespace

DocumentList document_list(bool german_chosen) {
    return DocumentList{{
        {"License", kLicenseDocument},
        {"Order", kOrderDocument},
        {"Bestellung", german_chosen ? kGermanOrderDocument : ""},
    }};
}

HRESULT create_shell_link(const char* target, const char* working_folder, const char* link_file,
                          const char* description) {
    ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(kShellLinkClass, nullptr, CLSCTX_INPROC_SERVER, kShellLinkA,
                                  link.receive_void());
    if (FAILED(hr)) return hr;
    link->SetPath(target);
    link->SetDescription(description);
    link->SetWorkingDirectory(working_folder);

    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(kPersistFile, file.receive_void());
    if (FAILED(hr)) return hr;

    WCHAR wide[MAX_PATH];
    if (MultiByteToWideChar(CP_ACP, 0, link_file, -1, wide, MAX_PATH) == 0) {
        return HRESULT_FROM_WIN32(GetLastError());  // a name that does not convert is not saved
    }
    // TRUE: the saved file becomes the object's file; an existing link file is replaced.
    return file->Save(wide, TRUE);
}

void create_group_shortcut(const char* shortcut_name, const char* file_name,
                           const char* group_folder, const char* target_folder) {
    if (shortcut_name == nullptr || shortcut_name[0] == '\0' || file_name == nullptr ||
        file_name[0] == '\0') {
        return;
    }
    char target[kPathSize];
    char working[kPathSize];
    char link_file[kPathSize];
    if (!join_checked(target, sizeof target, target_folder, file_name) ||
        !working_folder_of(target, working, sizeof working) ||
        !compose_link_path(link_file, sizeof link_file, group_folder, shortcut_name)) {
        return;  // a path that does not fit is never cut into another one
    }
    // A missing file gets no shortcut.
    if (check_exists(target) != kExists) return;
    create_shell_link(target, working, link_file, shortcut_name);
}

void create_start_menu_group(const char* target_folder, const DocumentList& documents) {
    char common[kPathSize];
    char user[kPathSize] = "";
    get_special_folder(CSIDL_COMMON_PROGRAMS, common, sizeof common);
    // The user's own programs folder is asked for only when there is no all-users one.
    if (common[0] == '\0') get_special_folder(CSIDL_PROGRAMS, user, sizeof user);
    create_start_menu_group_in(common, user, target_folder, documents);
}

void create_start_menu_group_in(const char* common_programs, const char* user_programs,
                                const char* target_folder, const DocumentList& documents) {
    const char* programs = common_programs[0] != '\0' ? common_programs : user_programs;
    if (programs[0] == '\0') return;

    char group[kPathSize];
    if (!join_checked(group, sizeof group, programs, "") || !append_backslash(group, sizeof group) ||
        !append_checked(group, kShortName, sizeof group)) {
        return;
    }
    if (check_exists(group) == kMissing) CreateDirectoryA(group, nullptr);
    // A programs folder that refuses the group ends the step: the other programs folder is
    // not tried, so the group never lands somewhere the user did not expect.
    if (check_exists(group) == kMissing) return;
    if (!append_backslash(group, sizeof group)) return;

    create_group_shortcut(kProductName, kProgramFile, group, target_folder);
    for (const DocumentShortcut& row : documents.rows) {
        // An empty first row (the licence) ends the document step; later empty rows are
        // only skipped.
        if (row.file_name[0] == '\0') {
            if (&row == &documents.rows[0]) break;
            continue;
        }
        create_group_shortcut(row.shortcut_name, row.file_name, group, target_folder);
    }
}

void create_desktop_icon(const char* program_path) {
    char desktop[kPathSize];
    get_special_folder(CSIDL_DESKTOP, desktop, sizeof desktop);
    create_desktop_icon_in(desktop, program_path);
}

void create_desktop_icon_in(const char* desktop_folder, const char* program_path) {
    if (desktop_folder[0] == '\0') return;
    char link_file[kPathSize];
    char working[kPathSize];
    if (!join_checked(link_file, sizeof link_file, desktop_folder, "") ||
        !append_backslash(link_file, sizeof link_file) ||
        !append_checked(link_file, kProductName, sizeof link_file) ||
        !append_checked(link_file, kLinkExtension, sizeof link_file) ||
        !working_folder_of(program_path, working, sizeof working)) {
        return;
    }
    create_shell_link(program_path, working, link_file, kProductName);
}

}  // namespace qarn
