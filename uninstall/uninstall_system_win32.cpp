#include "uninstall/uninstall_system_win32.h"

#include <windows.h>
#include <shlobj.h>

#include <algorithm>

#include "languages/language_table.h"
#include "languages/system_language_win32.h"
#include "system/handles_win32.h"
#include "system/paths.h"
#include "system/product_names.h"
#include "system/registry_records_win32.h"
#include "system/special_folder_win32.h"
#include "uninstall/link_target_win32.h"

namespace qarn::uninstall {
namespace {

constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";
constexpr char kMakerKey[] = "Software\\Obrelux";
constexpr char kDesktopLink[] = "Zentrivo.lnk";
// Registry trees of an installation are one or two levels deep; a deeper one is not ours.
constexpr int kMaxKeyDepth = 8;
// Folders the user added below the installation are counted to this depth.
constexpr int kMaxCountDepth = 32;

bool fits(const std::string& path) { return !path.empty() && path.size() <= kMaxPath; }

DWORD attributes_of(const std::string& path) {
    return fits(path) ? GetFileAttributesA(path.c_str()) : INVALID_FILE_ATTRIBUTES;
}

bool is_file(const std::string& path) {
    const DWORD a = attributes_of(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool is_folder(const std::string& path) {
    const DWORD a = attributes_of(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::string special_folder(int csidl) {
    char path[kPathSize];
    get_special_folder(csidl, path, sizeof path);
    return path;
}

// A file's bytes, at most `limit` + 1 of them (so that a longer file shows as such).
bool read_bytes_of(HANDLE file, size_t limit, std::string& out) {
    out.clear();
    char piece[16384];
    while (out.size() <= limit) {
        DWORD got = 0;
        if (!ReadFile(file, piece, sizeof piece, &got, nullptr)) return false;
        if (got == 0) break;
        out.append(piece, got);
    }
    return true;
}

// Calls `visit` with each name FindFirstFileA gives for `pattern`, "." and ".." left out.
template <typename F>
void for_each_found(const std::string& pattern, F visit) {
    if (!fits(pattern)) return;
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = found.cFileName;
        if (name != "." && name != "..") visit(name, found.dwFileAttributes);
    } while (FindNextFileA(search, &found));
    FindClose(search);
}

bool inside_any(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& f : folders) {
        if (inside_folder(path, f)) return true;
    }
    return false;
}

bool same_as_any(const std::string& path, const std::vector<std::string>& folders) {
    for (const std::string& f : folders) {
        if (same_path(path, f)) return true;
    }
    return false;
}

bool command_in_any(const std::string& command, const std::vector<std::string>& folders) {
    for (const std::string& f : folders) {
        if (command_in_folder(command, f)) return true;
    }
    return false;
}

std::vector<std::string> forms_of(const std::string& folder) {
    std::vector<std::string> forms{folder};
    char other[kPathSize];
    for (int pass = 0; pass < 2; ++pass) {
        const DWORD n = pass == 0 ? GetLongPathNameA(folder.c_str(), other, sizeof other)
                                  : GetShortPathNameA(folder.c_str(), other, sizeof other);
        if (n == 0 || n >= sizeof other) continue;
        const std::string form = with_backslash(other);
        if (!same_as_any(form, forms)) forms.push_back(form);
    }
    return forms;
}

void add_link(Installation& inst, const SystemItem& link, bool desktop) {
    char target[kPathSize];
    if (read_link_target(link.path().c_str(), target, sizeof target) &&
        inside_any(target, inst.folder_forms)) {
        inst.links.push_back({link, desktop});
    } else {
        ++inst.foreign_links;
    }
}

void survey_links(Installation& inst) {
    for (const int csidl : {CSIDL_COMMON_PROGRAMS, CSIDL_PROGRAMS}) {
        const std::string p = special_folder(csidl);
        if (p.empty()) continue;
        const SystemItem group{with_backslash(p), kShortName};
        const bool known = std::any_of(inst.groups.begin(), inst.groups.end(),
                                       [&](const SystemItem& g) {
                                           return same_path(g.path(), group.path());
                                       });
        if (!is_folder(group.path()) || known) continue;
        inst.groups.push_back(group);
        for_each_found(group.path() + "\\*.lnk", [&](const std::string& name, DWORD attributes) {
            if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
                add_link(inst, {group.folder, group.name + "\\" + name}, false);
            }
        });
    }
    const std::string desktop = special_folder(CSIDL_DESKTOP);
    if (!desktop.empty()) {
        const SystemItem icon{with_backslash(desktop), kDesktopLink};
        if (is_file(icon.path())) add_link(inst, icon, true);
    }
}

void survey_registry(Installation& inst) {
    char value[kPathSize + 2];  // a path in quotes
    const std::string entry_key = std::string(kUninstallKey) + kProductName;
    if (read_registry_text(HKEY_LOCAL_MACHINE, entry_key.c_str(), "UninstallString", value,
                           sizeof value)) {
        if (command_in_any(value, inst.folder_forms)) {
            inst.uninstall_entry = true;
        } else {
            inst.other_uninstall_entry = value;
        }
    }
    if (read_registry_text(HKEY_CURRENT_USER, kProductKey, kTargetDirValue, value, sizeof value) &&
        value[0] != '\0') {
        if (same_as_any(value, inst.folder_forms)) {
            inst.user_key = true;
        } else {
            inst.other_user_key = value;
        }
    }
}

void survey_settings(Installation& inst) {
    const std::string in_folder = inst.folder + kSettingsName;
    if (is_file(in_folder)) inst.settings.push_back(in_folder);
    std::string home = special_folder(CSIDL_APPDATA);
    if (home.empty()) {
        char windows[kPathSize];
        const UINT n = GetWindowsDirectoryA(windows, sizeof windows);
        if (n > 0 && n < sizeof windows) home = windows;
    }
    if (!home.empty()) {
        inst.settings_home = {with_backslash(home), kMakerName};
        const std::string in_home = inst.settings_home.path() + "\\" + kSettingsName;
        if (is_file(in_home)) inst.settings.push_back(in_home);
    }
    // The first one is the one the product uses, as the installer places it.
    if (!inst.settings.empty() && fits(inst.settings.front())) {
        char language[16] = "";
        GetPrivateProfileStringA(kShortName, "Language", "", language, sizeof language,
                                 inst.settings.front().c_str());
        inst.evidence.settings_value = language;
    }
}

bool delete_key_tree(HKEY root, const std::string& path, int depth) {
    if (depth > kMaxKeyDepth) return false;
    {
        RegKey key;
        const LONG opened = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, key.receive());
        if (opened == ERROR_FILE_NOT_FOUND) return true;
        if (opened != ERROR_SUCCESS) return false;
        for (;;) {
            char sub[256];
            DWORD length = sizeof sub;
            if (RegEnumKeyExA(key.get(), 0, sub, &length, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS) {
                break;
            }
            if (!delete_key_tree(root, path + "\\" + sub, depth + 1)) return false;
        }
    }
    return RegDeleteKeyA(root, path.c_str()) == ERROR_SUCCESS;
}

// The maker's key, which the installer created, once nothing of any product is left in it.
void delete_maker_key_when_empty() {
    DWORD subkeys = 1;
    DWORD values = 1;
    {
        RegKey key;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, kMakerKey, 0, KEY_READ, key.receive()) !=
            ERROR_SUCCESS) {
            return;
        }
        if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                             &values, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) {
            return;
        }
    }
    if (subkeys == 0 && values == 0) RegDeleteKeyA(HKEY_CURRENT_USER, kMakerKey);
}

// Removes a file of the installation's folder or of a system folder, by remove_item's
// rules; counts it, or says why not.
void remove_counted(const Folder& folder, const std::string& name, const std::string& shown,
                    size_t& removed, Outcome& o) {
    Refusal why = Refusal::kNone;
    switch (remove_item(folder, name, ItemKind::kFile, &why)) {
        case Removal::kRemoved:
            ++removed;
            break;
        case Removal::kGone:
            break;
        case Removal::kRefused:
            // Where the system cannot tell, the file is not known to be a link: it resisted.
            (why == Refusal::kUnknown ? o.failed : o.linked).push_back(shown);
            break;
        case Removal::kNotEmpty:
        case Removal::kFailed:
            o.failed.push_back(shown);
            break;
    }
}

// The process that ran this file has ended, yet the system may hold its image a moment
// longer.
Removal remove_patiently(const Folder& folder, const std::string& name) {
    Removal r = Removal::kFailed;
    for (int attempt = 0; attempt < 100; ++attempt) {
        r = remove_item(folder, name, ItemKind::kFile);
        if (r != Removal::kFailed) return r;
        Sleep(100);
    }
    return r;
}

// What is below the work folder, for plan_work_folder: found by name, each later opened by
// remove_item's rules.
void survey_work_folder(const std::string& folder, const std::string& relative, int depth,
                        std::vector<FoundEntry>& found) {
    for_each_found(folder + relative + "\\*", [&](const std::string& name, DWORD attributes) {
        const std::string entry = relative + "\\" + name;
        if ((folder + entry).size() > kMaxPath) {
            found.push_back({entry, FoundKind::kOutOfReach});
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            found.push_back({entry, FoundKind::kLink});
        } else if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            found.push_back({entry, FoundKind::kFile});
        } else if (depth >= kMaxCountDepth) {
            found.push_back({entry, FoundKind::kOutOfReach});
        } else {
            found.push_back({entry, FoundKind::kFolder});
            survey_work_folder(folder, entry, depth + 1, found);
        }
    });
}

void remove_work_folder(const Installation& inst, Outcome& o) {
    if (!inst.work_folder) return;
    const WorkFolderPlan plan = plan_work_folder(inst.work_entries);
    size_t files = 0;  // not the product's files: not counted in the report
    for (const std::string& name : plan.files) remove_counted(inst.place, name, name, files, o);
    for (const std::string& name : plan.links) o.linked.push_back(name);
    for (const std::string& name : plan.out_of_reach) o.failed.push_back(name);
    for (const std::string& name : plan.folders) {
        Refusal why = Refusal::kNone;
        const Removal r = remove_item(inst.place, name, ItemKind::kFolder, &why);
        if (r == Removal::kRemoved && is_setup_work_folder(name)) o.work_folder_removed = true;
        if (r == Removal::kRefused) (why == Refusal::kUnknown ? o.failed : o.linked).push_back(name);
        // A folder that is not empty holds what was refused or resisted, and said so.
        if (r == Removal::kFailed) o.failed.push_back(name);
    }
}

struct Left {
    size_t files = 0;
    size_t entries = 0;  // files and folders
};

// What is left below `folder` (ending in '\'), apart from the names in `skip` at its top.
void count_left(const std::string& folder, const std::vector<std::string>& skip, int depth,
                Left& left) {
    if (depth > kMaxCountDepth) return;
    for_each_found(folder + "*", [&](const std::string& name, DWORD attributes) {
        for (const std::string& s : skip) {
            if (same_path(name, s)) return;
        }
        ++left.entries;
        if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            ++left.files;
        } else if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0) {
            count_left(folder + name + "\\", {}, depth + 1, left);
        }
    });
}

void remove_links_and_records(const Installation& inst, Outcome& o) {
    for (const LinkFile& link : inst.links) {
        const Folder folder = open_system_folder(link.item.folder);
        size_t removed = 0;
        remove_counted(folder, link.item.name, link.item.path(), removed, o);
        if (removed == 0) continue;
        if (link.desktop) {
            o.desktop_icon_removed = true;
        } else {
            ++o.group_links_removed;
        }
    }
    // Only an empty group goes: anything else in it is not the installer's.
    for (const SystemItem& group : inst.groups) {
        const Folder folder = open_system_folder(group.folder);
        if (remove_item(folder, group.name, ItemKind::kFolder) == Removal::kRemoved) {
            ++o.groups_removed;
        }
    }
    if (inst.uninstall_entry) {
        const std::string key = std::string(kUninstallKey) + kProductName;
        if (delete_key_tree(HKEY_LOCAL_MACHINE, key, 0)) {
            o.uninstall_entry_removed = true;
        } else {
            o.failed.push_back("HKEY_LOCAL_MACHINE\\" + key);
        }
    }
    if (inst.user_key) {
        if (delete_key_tree(HKEY_CURRENT_USER, kProductKey, 0)) {
            o.user_key_removed = true;
            delete_maker_key_when_empty();
        } else {
            o.failed.push_back(std::string("HKEY_CURRENT_USER\\") + kProductKey);
        }
    }
}

void remove_folders(Installation& inst, bool uninstaller_pending, Outcome& o) {
    for (const std::string& relative : inst.plan.folders) {
        // Only an empty folder goes, and never a link.
        if (remove_item(inst.place, relative, ItemKind::kFolder) == Removal::kRemoved) {
            ++o.folders_removed;
        }
    }
    if (!uninstaller_pending) {
        if (remove_folder_itself(inst.place) == Removal::kRemoved) ++o.folders_removed;
        return;
    }
    // The uninstaller is still in it: the folder goes with it at the restart when nothing
    // else is left (the system removes only an empty folder).
    Left left;
    count_left(inst.folder, {inst.uninstaller_name}, 0, left);
    if (left.entries == 0) {
        MoveFileExA(shown_folder(inst.folder).c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    }
}

}  // namespace

Installation survey_installation(const std::string& uninstaller_path) {
    Installation inst;
    inst.uninstaller_path = uninstaller_path;
    const uint16_t at = file_name_offset(uninstaller_path.c_str());
    inst.folder = uninstaller_path.substr(0, at);
    inst.uninstaller_name = uninstaller_path.substr(at);
    if (inst.folder.empty()) return inst;
    inst.folder_exists = is_folder(inst.folder);
    inst.folder_forms = forms_of(inst.folder);
    inst.place = open_installation_folder(inst.folder);

    const std::string list_path = inst.folder + kListName;
    inst.list_file = is_file(list_path);
    std::string bytes;
    if (inst.list_file) {
        // A list that is a link, or lies elsewhere, is not read: it counts as damaged.
        const OwnedHandle list = open_for_reading(inst.place, kListName);
        if (list && read_bytes_of(list.get(), kUninstallListMaxBytes, bytes)) {
            inst.list = read_uninstall_list(bytes);
        }
    }
    inst.plan = plan_files(inst.list, inst.folder, inst.uninstaller_name);
    for (const std::string& name : inst.plan.files) {
        if (is_file(inst.folder + name)) inst.present.push_back(name);
    }
    const std::string work = inst.folder + kSetupWorkFolder;
    const DWORD work_attributes = attributes_of(work);
    inst.work_folder = work_attributes != INVALID_FILE_ATTRIBUTES &&
                       (work_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
                       (work_attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0;
    if (inst.work_folder) survey_work_folder(inst.folder, kSetupWorkFolder, 0, inst.work_entries);

    survey_links(inst);
    survey_registry(inst);
    survey_settings(inst);
    for_each_found(inst.folder + "*", [&](const std::string& name, DWORD) {
        if (is_language_file(name, "DE")) inst.evidence.german_files = true;
        if (is_language_file(name, "US")) inst.evidence.english_files = true;
    });
    inst.evidence.system_german = system_default_is_german();
    return inst;
}

Findings findings_of(const Installation& inst) {
    Findings f;
    f.list_read = inst.list.verdict == ListVerdict::kRead;
    f.list_damaged = inst.list_file && !f.list_read;
    f.files_present = inst.present.size();
    f.list_listed = inst.plan.lists_itself && inst.list_file;
    f.uninstaller_listed = inst.plan.lists_uninstaller && is_file(inst.uninstaller_path);
    f.links = inst.links.size();
    f.uninstall_entry = inst.uninstall_entry;
    f.user_key = inst.user_key;
    f.work_folder = inst.work_folder;
    return f;
}

bool folder_refused(const Installation& inst, FolderProblem& problem) {
    if (!inst.folder_exists || inst.place.missing || inst.place.usable()) return false;
    problem = inst.place.refusal == Refusal::kUnknown ? FolderProblem::kUnknown
                                                      : FolderProblem::kLinked;
    return true;
}

Outcome remove_installation(Installation& inst, SelfRemoval self) {
    Outcome o;
    o.folder = inst.folder;
    for (const RefusedListLine& line : inst.plan.refused) o.refused.push_back(line.text);
    o.files_unknown = inst.folder_exists && inst.list.verdict != ListVerdict::kRead;

    for (const std::string& name : inst.present) {
        remove_counted(inst.place, name, name, o.files_removed, o);
    }
    remove_work_folder(inst, o);
    bool uninstaller_pending = false;
    if (o.failed.empty()) remove_links_and_records(inst, o);
    // The list and the uninstaller stay while anything resisted, so the run can be repeated.
    if (o.failed.empty() && inst.plan.lists_itself && is_file(inst.folder + kListName)) {
        remove_counted(inst.place, kListName, kListName, o.files_removed, o);
    }
    if (o.failed.empty() && inst.plan.lists_uninstaller && is_file(inst.uninstaller_path)) {
        if (self == SelfRemoval::kNow) {
            switch (remove_patiently(inst.place, inst.uninstaller_name)) {
                case Removal::kRemoved:
                    ++o.files_removed;
                    break;
                case Removal::kGone:
                    break;
                case Removal::kRefused:
                    o.linked.push_back(inst.uninstaller_name);
                    break;
                case Removal::kNotEmpty:
                case Removal::kFailed:
                    o.failed.push_back(inst.uninstaller_name);
                    break;
            }
        } else if (MoveFileExA(inst.uninstaller_path.c_str(), nullptr,
                               MOVEFILE_DELAY_UNTIL_REBOOT)) {
            o.uninstaller_at_restart = true;
            uninstaller_pending = true;
        } else {
            o.failed.push_back(inst.uninstaller_name);
        }
    }
    if (o.failed.empty()) {
        remove_folders(inst, uninstaller_pending, o);
        // The installer made this folder for the settings file; it goes only when empty.
        if (!inst.settings_home.folder.empty()) {
            const Folder home = open_system_folder(inst.settings_home.folder);
            if (remove_item(home, inst.settings_home.name, ItemKind::kFolder) ==
                Removal::kRemoved) {
                ++o.folders_removed;
            }
        }
    }

    for (const std::string& s : inst.settings) {
        if (is_file(s)) o.settings.push_back(s);
    }
    // After a partial run the folder still holds product files: the report names what
    // resisted instead of counting files as the user's. A setup's work folder is never
    // counted as the user's.
    if (o.failed.empty() && is_folder(inst.folder)) {
        std::vector<std::string> skip{kSettingsName};
        if (inst.work_folder) skip.push_back(kSetupWorkFolder);
        // Links left alone are named as such, not counted as files of the user's.
        for (const std::string& name : o.linked) {
            if (name.find('\\') == std::string::npos) skip.push_back(name);
        }
        if (uninstaller_pending) skip.push_back(inst.uninstaller_name);
        Left left;
        count_left(inst.folder, skip, 0, left);
        o.user_files = left.files;
        o.folder_kept =
            !uninstaller_pending || left.entries > 0 || is_file(inst.folder + kSettingsName);
    }
    o.foreign_links = inst.foreign_links;
    o.other_uninstall_entry = inst.other_uninstall_entry;
    o.other_user_key = inst.other_user_key;
    return o;
}

}  // namespace qarn::uninstall
