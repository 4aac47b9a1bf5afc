#include "uninstall/handle_removal_win32.h"

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {
namespace {

// Opened without following a link: a junction or symbolic link at the path is opened
// itself (and refused), not what it points to. Folders open only with backup semantics.
constexpr DWORD kNoFollow = FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

bool not_there(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

// The path of a folder as the system takes it: without the trailing '\' (but "C:\").
std::string folder_path_of(const std::string& folder) { return shown_folder(folder); }

bool set_attributes(HANDLE handle, DWORD attributes) {
    FILE_BASIC_INFO basic = {};  // zero times: left as they are
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(handle, FileBasicInfo, &basic, sizeof basic) != 0;
}

bool dispose(HANDLE handle, DWORD& error) {
    if (delete_through(handle)) return true;
    error = GetLastError();
    return false;
}

Folder open_folder(const std::string& path, DWORD access, DWORD share, DWORD flags) {
    Folder folder;
    folder.path = with_backslash(path);
    const std::string opened = folder_path_of(folder.path);
    if (opened.size() > kMaxPath) return folder;
    folder.handle.reset(CreateFileA(opened.c_str(), access, share, nullptr, OPEN_EXISTING, flags,
                                    nullptr));
    if (!folder.handle) {
        folder.missing = not_there(GetLastError());
        return folder;
    }
    if (!read_facts(folder.handle.get(), folder.facts)) folder.handle.reset();
    return folder;
}

}  // namespace

bool delete_through(HANDLE handle) {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return SetFileInformationByHandle(handle, FileDispositionInfo, &disposition,
                                      sizeof disposition) != 0;
}

bool read_facts(HANDLE handle, HandleFacts& facts) {
    facts = {};
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(handle, &info)) return false;
    facts.attributes = info.dwFileAttributes;
    facts.volume = info.dwVolumeSerialNumber;
    facts.links = info.nNumberOfLinks;
    facts.file_id = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    // The path on its volume, links resolved: where the item really is.
    char name[1024];
    const DWORD n = GetFinalPathNameByHandleA(handle, name, sizeof name,
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_NONE);
    if (n == 0 || n >= sizeof name) return false;
    facts.final_name.assign(name, n);
    return true;
}

Folder open_installation_folder(const std::string& path) {
    // Held without leave for anyone to rename or delete it meanwhile (which takes a handle
    // with the right to delete, and so leave from ours). Ours has no right to delete it
    // either: Wine lists no folder for which such a handle is open.
    Folder folder = open_folder(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, kNoFollow);
    if (!folder.handle) return folder;

    // Where the path says it is: the root of its drive, and the folder's long names below it.
    const std::string opened = folder_path_of(folder.path);
    char long_form[kMaxPath + 1];
    const DWORD n = GetLongPathNameA(opened.c_str(), long_form, sizeof long_form);
    const std::string named = n > 0 && n < sizeof long_form ? std::string(long_form, n) : opened;
    std::string root_path;
    std::string below_root;
    if (!split_at_root(named, root_path, below_root)) return folder;  // kUnknown
    const OwnedHandle root(CreateFileA(root_path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    HandleFacts root_facts;
    if (!root || !read_facts(root.get(), root_facts)) return folder;
    folder.refusal = check_installation_folder(folder.facts, root_facts, below_root);
    return folder;
}

Folder open_system_folder(const std::string& path) {
    Folder folder = open_folder(path, FILE_READ_ATTRIBUTES | SYNCHRONIZE, kShareAll,
                                FILE_FLAG_BACKUP_SEMANTICS);
    if (folder.handle) {
        folder.refusal = (folder.facts.attributes & kAttributeDirectory) != 0
                             ? Refusal::kNone
                             : Refusal::kWrongKind;
    }
    return folder;
}

Removal remove_item(const Folder& folder, const std::string& relative, ItemKind kind,
                    Refusal* why) {
    const auto refused = [why](Refusal refusal) {
        if (why != nullptr) *why = refusal;
        return Removal::kRefused;
    };
    if (!folder.usable()) return refused(folder.refusal);
    const std::string path = folder.path + relative;
    if (path.size() > kMaxPath) return Removal::kFailed;
    // No leave for others to delete or rename it while it is checked and removed.
    const OwnedHandle item(CreateFileA(
        path.c_str(), DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES | SYNCHRONIZE,
        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, kNoFollow, nullptr));
    if (!item) return not_there(GetLastError()) ? Removal::kGone : Removal::kFailed;
    HandleFacts facts;
    if (!read_facts(item.get(), facts)) return refused(Refusal::kUnknown);
    const Refusal refusal = check_item(facts, kind, folder.facts, relative);
    if (refusal != Refusal::kNone) return refused(refusal);

    // A read-only file loses that attribute first, unless it has other names: the attribute
    // is theirs too, and they may lie outside the folder.
    const bool read_only = kind == ItemKind::kFile && (facts.attributes & kAttributeReadOnly) != 0;
    if (read_only && facts.links != 1) return Removal::kFailed;
    if (read_only && !set_attributes(item.get(), facts.attributes & ~kAttributeReadOnly)) {
        return Removal::kFailed;
    }
    DWORD error = 0;
    if (dispose(item.get(), error)) return Removal::kRemoved;
    if (read_only) set_attributes(item.get(), facts.attributes);  // as it was
    return error == ERROR_DIR_NOT_EMPTY ? Removal::kNotEmpty : Removal::kFailed;
}

Removal remove_folder_itself(Folder& folder) {
    if (!folder.usable() || !folder.handle) return Removal::kFailed;
    // Let go of it, open it again to delete it, and make sure it is still the same folder.
    folder.handle.reset();
    folder.refusal = Refusal::kUnknown;
    const std::string opened = folder_path_of(folder.path);
    const OwnedHandle again(CreateFileA(opened.c_str(), DELETE | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                        OPEN_EXISTING, kNoFollow, nullptr));
    if (!again) return not_there(GetLastError()) ? Removal::kGone : Removal::kFailed;
    HandleFacts facts;
    if (!read_facts(again.get(), facts) || !same_item(facts, folder.facts) ||
        (facts.attributes & kAttributeReparsePoint) != 0) {
        return Removal::kRefused;
    }
    DWORD error = 0;
    if (!dispose(again.get(), error)) {
        return error == ERROR_DIR_NOT_EMPTY ? Removal::kNotEmpty : Removal::kFailed;
    }
    return Removal::kRemoved;  // gone as `again` closes
}

OwnedHandle open_for_reading(const Folder& folder, const std::string& relative) {
    if (!folder.usable()) return {};
    const std::string path = folder.path + relative;
    if (path.size() > kMaxPath) return {};
    OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    HandleFacts facts;
    if (!file || !read_facts(file.get(), facts) ||
        check_item(facts, ItemKind::kFile, folder.facts, relative) != Refusal::kNone) {
        return {};
    }
    return file;
}

}  // namespace qarn::uninstall
