#include "uninstall/self_removal_win32.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <iterator>

#include "system/paths.h"

// The system's random source (RtlGenRandom), exported by advapi32, one of the known DLLs;
// Wine has it too. Declared here rather than through ntsecapi.h, whose string types clash
// with winternl.h's.
extern "C" BOOLEAN WINAPI SystemFunction036(PVOID buffer, ULONG length);

namespace qarn::uninstall {
namespace {

constexpr DWORD kWaitForOriginalMs = 30000;
constexpr size_t kMaxImageBytes = 16u << 20;  // far above the uninstaller's size
constexpr int kFolderAttempts = 8;
constexpr NTSTATUS kNameCollision = static_cast<NTSTATUS>(0xC0000035L);  // OBJECT_NAME_COLLISION

// A name for the system's wide calls: `prefix` (ASCII) and `text` in the ANSI code page.
// Fixed room, as for every path here: a name that does not fit is none.
struct WideName {
    WCHAR text[2 * kPathSize];
    USHORT length = 0;  // characters

    bool set(const char* prefix, const std::string& rest) {
        size_t at = 0;
        for (; prefix[at] != '\0'; ++at) text[at] = static_cast<WCHAR>(prefix[at]);
        const int room = static_cast<int>(std::size(text) - at);
        const int n = rest.empty() ? 0
                                   : MultiByteToWideChar(CP_ACP, 0, rest.data(),
                                                         static_cast<int>(rest.size()),
                                                         text + at, room);
        if (n < 0 || (n == 0 && !rest.empty())) return false;
        length = static_cast<USHORT>(at + static_cast<size_t>(n));
        return true;
    }
};

// NtCreateFile: it makes a folder and opens it in one step, and opens files relative to a
// folder's handle, which CreateFile can do neither of.
NTSTATUS nt_create(HANDLE root, WideName& name, ACCESS_MASK access, ULONG share,
                   ULONG disposition, ULONG options, PSECURITY_DESCRIPTOR security,
                   bool inheritable, OwnedHandle& out) {
    UNICODE_STRING text;
    text.Buffer = name.text;
    text.Length = static_cast<USHORT>(name.length * sizeof(WCHAR));
    text.MaximumLength = text.Length;
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &text,
                               OBJ_CASE_INSENSITIVE | (inheritable ? OBJ_INHERIT : 0), root,
                               security);
    IO_STATUS_BLOCK io = {};
    HANDLE handle = nullptr;
    const NTSTATUS status =
        NtCreateFile(&handle, access | SYNCHRONIZE, &attributes, &io, nullptr,
                     FILE_ATTRIBUTE_NORMAL, share, disposition,
                     options | FILE_SYNCHRONOUS_IO_NONALERT, nullptr, 0);
    out.reset(status >= 0 ? handle : nullptr);
    return status;
}

bool read_whole(HANDLE file, size_t limit, std::string& out) {
    out.clear();
    char piece[16384];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece, sizeof piece, &got, nullptr)) return false;
        if (got == 0) return true;
        out.append(piece, got);
        if (out.size() > limit) return false;
    }
}

bool write_whole(HANDLE file, const std::string& bytes) {
    size_t at = 0;
    while (at < bytes.size()) {
        const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 1u << 20));
        DWORD written = 0;
        if (!WriteFile(file, bytes.data() + at, piece, &written, nullptr) || written == 0) {
            return false;
        }
        at += written;
    }
    return true;
}

// The folder for the copy, under a free random name in the temporary folder.
bool make_copy_folder(const std::string& temp, PrivateAccess& access, std::string& path,
                      OwnedHandle& folder) {
    for (int attempt = 0; attempt < kFolderAttempts; ++attempt) {
        uint8_t random[16];
        if (!random_bytes(random)) return false;
        const std::string name = copy_folder_name(random);
        path = temp + name + "\\";
        if (path.size() + 16 > kMaxPath) return false;  // room for the copy's file name
        if (make_private_folder(temp, name, access, true, folder)) return true;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return false;
    }
    return false;
}

// Writes the copy into `folder`, then opens it again to be held: readable by the system's
// loader, writable by nobody, deleted when its last handle closes, inherited by the copy's
// process. What is held must read back as what was written.
bool write_copy(HANDLE folder, const std::string& name, const std::string& image,
                OwnedHandle& held) {
    WideName wide;
    if (!wide.set("", name)) return false;
    {
        OwnedHandle file;
        if (nt_create(folder, wide, GENERIC_WRITE | DELETE, 0, FILE_CREATE,
                      FILE_NON_DIRECTORY_FILE, nullptr, false, file) < 0) {
            return false;
        }
        if (!write_whole(file.get(), image)) {
            delete_through(file.get());  // made by us, and opened by us alone
            return false;
        }
    }
    // Between the write and this open, the folder's access list is what keeps the file as
    // written; reading it back shows that it did.
    const bool opened = nt_create(folder, wide, GENERIC_READ | DELETE, FILE_SHARE_READ, FILE_OPEN,
                                  FILE_NON_DIRECTORY_FILE | FILE_DELETE_ON_CLOSE, nullptr, true,
                                  held) >= 0;
    std::string back;
    if (!opened || !read_whole(held.get(), image.size(), back) || back != image) {
        held.reset();
        return false;
    }
    return true;
}

bool read_own_image(const std::string& path, std::string& image) {
    const OwnedHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file && read_whole(file.get(), kMaxImageBytes, image) && !image.empty();
}

HANDLE handle_of(uint64_t value) {
    return reinterpret_cast<HANDLE>(static_cast<uintptr_t>(value));
}

// The handles a request names are this copy's own file and its folder: the file is this
// program's image, a plain file directly in that folder.
bool are_own_copy(HANDLE file, HANDLE folder, const std::string& own) {
    HandleFacts file_facts;
    HandleFacts folder_facts;
    HandleFacts own_facts;
    if (file == nullptr || folder == nullptr || !read_facts(file, file_facts) ||
        !read_facts(folder, folder_facts)) {
        return false;
    }
    const OwnedHandle image(CreateFileA(own.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ |
                                            FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                        OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!image || !read_facts(image.get(), own_facts)) return false;
    const std::string name = own.substr(file_name_offset(own.c_str()));
    return (folder_facts.attributes & kAttributeDirectory) != 0 &&
           (folder_facts.attributes & kAttributeReparsePoint) == 0 &&
           check_item(file_facts, ItemKind::kFile, folder_facts, name) == Refusal::kNone &&
           own_facts.volume == file_facts.volume &&
           same_path(own_facts.final_name, file_facts.final_name);
}

// Renames the copy's file (through its handle) to "<folder>.tmp" beside its folder, and
// removes the folder (through its handle). Gives the file's new path.
bool move_out_and_remove(HANDLE file, HANDLE folder, std::string& moved) {
    char where[1024];
    const DWORD n =
        GetFinalPathNameByHandleA(folder, where, sizeof where, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0 || n >= sizeof where || std::strncmp(where, "\\\\?\\", 4) != 0) return false;
    const std::string rest = std::string(where + 4, n - 4) + ".tmp";
    moved = rest.compare(0, 4, "UNC\\") == 0 ? "\\\\" + rest.substr(4) : rest;

    struct {
        FILE_RENAME_INFO info;
        WCHAR room[2 * kPathSize];
    } rename = {};
    WideName target;
    if (!target.set("\\??\\", rest)) return false;
    rename.info.ReplaceIfExists = FALSE;
    rename.info.RootDirectory = nullptr;
    rename.info.FileNameLength = static_cast<DWORD>(target.length * sizeof(WCHAR));
    std::memcpy(rename.info.FileName, target.text, target.length * sizeof(WCHAR));
    if (!SetFileInformationByHandle(file, FileRenameInfo, &rename, sizeof rename)) return false;
    return delete_through(folder);
}

}  // namespace

bool random_bytes(uint8_t (&out)[16]) { return SystemFunction036(out, sizeof out) != FALSE; }

bool PrivateAccess::this_process_is_elevated() {
    alignas(DWORD) unsigned char administrators[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof administrators;
    BOOL member = FALSE;
    return CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, administrators, &size) &&
           CheckTokenMembership(nullptr, administrators, &member) && member;
}

bool PrivateAccess::add(PSID account) {
    if (count_ >= 2 || !IsValidSid(account)) return false;
    const DWORD length = GetLengthSid(account);
    if (length > sizeof accounts_[0] || !CopySid(length, accounts_[count_], account)) return false;
    return AddAccessAllowedAceEx(reinterpret_cast<PACL>(acl_), ACL_REVISION,
                                 OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                 accounts_[count_++]) != 0;
}

bool PrivateAccess::build(bool elevated) {
    count_ = 0;
    if (!InitializeAcl(reinterpret_cast<PACL>(acl_), sizeof acl_, ACL_REVISION)) return false;
    if (elevated) {
        for (const WELL_KNOWN_SID_TYPE type : {WinBuiltinAdministratorsSid, WinLocalSystemSid}) {
            alignas(DWORD) unsigned char sid[SECURITY_MAX_SID_SIZE];
            DWORD size = sizeof sid;
            if (!CreateWellKnownSid(type, nullptr, sid, &size) || !add(sid)) return false;
        }
    } else {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        const OwnedHandle owned(token);
        alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
        DWORD size = 0;
        if (!GetTokenInformation(token, TokenUser, user, sizeof user, &size) ||
            !add(reinterpret_cast<TOKEN_USER*>(user)->User.Sid)) {
            return false;
        }
    }
    return InitializeSecurityDescriptor(&descriptor_, SECURITY_DESCRIPTOR_REVISION) &&
           SetSecurityDescriptorDacl(&descriptor_, TRUE, reinterpret_cast<PACL>(acl_), FALSE) &&
           SetSecurityDescriptorControl(&descriptor_, SE_DACL_PROTECTED, SE_DACL_PROTECTED);
}

bool make_private_folder(const std::string& parent, const std::string& name,
                         PrivateAccess& access, bool inheritable, OwnedHandle& folder) {
    const std::string path = parent + name;
    // A folder given as a share (\\server\share\...) is "\??\UNC\server\share\..." here.
    WideName nt;
    const bool share = path.compare(0, 2, "\\\\") == 0;
    if (!(share ? nt.set("\\??\\UNC\\", path.substr(2)) : nt.set("\\??\\", path))) {
        SetLastError(ERROR_BAD_PATHNAME);
        return false;
    }
    const NTSTATUS status = nt_create(
        nullptr, nt, DELETE | FILE_LIST_DIRECTORY | FILE_ADD_FILE | FILE_TRAVERSE |
                         FILE_READ_ATTRIBUTES,
        FILE_SHARE_READ | FILE_SHARE_WRITE, FILE_CREATE, FILE_DIRECTORY_FILE | FILE_OPEN_REPARSE_POINT,
        access.descriptor(), inheritable, folder);
    SetLastError(status == kNameCollision ? ERROR_ALREADY_EXISTS
                 : status < 0             ? ERROR_CANNOT_MAKE
                                          : ERROR_SUCCESS);
    return status >= 0;
}

bool hand_over_to_copy(const std::string& uninstaller_path, Language language) {
    char temp[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return false;
    std::string image;
    if (!read_own_image(uninstaller_path, image)) return false;
    PrivateAccess access;
    if (!access.build(PrivateAccess::this_process_is_elevated())) return false;
    std::string folder_path;
    OwnedHandle folder;
    if (!make_copy_folder(with_backslash(temp), access, folder_path, folder)) return false;
    const std::string name = uninstaller_path.substr(file_name_offset(uninstaller_path.c_str()));
    const std::string copy_path = folder_path + name;
    OwnedHandle copy;
    if (copy_path.size() > kMaxPath || !write_copy(folder.get(), name, image, copy)) {
        delete_through(folder.get());
        return false;
    }

    // A handle to this process that the copy inherits and waits on: unlike a process id,
    // it cannot come to name another process once this one has ended.
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0)) {
        copy.reset();  // deleted as it closes
        delete_through(folder.get());
        return false;
    }
    const OwnedHandle original(self);
    FinishRequest request;
    request.wait_handle = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(self));
    request.copy_file = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(copy.get()));
    request.copy_folder = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(folder.get()));
    request.language = language;
    request.uninstaller_path = uninstaller_path;
    std::string command = finish_command_line(copy_path, request);

    // The copy works in the system folder: not in the installation's folder, which it
    // removes, nor in the temporary folder, where anyone may leave a DLL.
    char system[MAX_PATH];
    const UINT s = GetSystemDirectoryA(system, sizeof system);
    if (s == 0 || s >= sizeof system) {
        copy.reset();
        delete_through(folder.get());
        return false;
    }
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(copy_path.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                        system, &startup, &process)) {
        copy.reset();
        delete_through(folder.get());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    // The copy holds its own handles to its file and folder; these close as this ends.
    return true;
}

void wait_for_original(uint64_t handle_value) {
    if (handle_value == 0) return;
    HANDLE original = handle_of(handle_value);
    // A value that is no handle of ours fails at once; the removal then only finds the
    // original's file still in use, and says so.
    if (WaitForSingleObject(original, kWaitForOriginalMs) != WAIT_FAILED) CloseHandle(original);
}

void leave_copy_folder(const FinishRequest& request) {
    char own[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    if (n == 0 || n >= sizeof own) return;
    HANDLE file = handle_of(request.copy_file);
    HANDLE folder = handle_of(request.copy_folder);
    std::string moved;
    if (are_own_copy(file, folder, own) && move_out_and_remove(file, folder, moved)) {
        CloseHandle(folder);  // the folder goes now
        MoveFileExA(moved.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
        return;  // the file goes as this process ends, with the last handle to it
    }
    // Left to the restart: the file first, then its folder, which is empty by then; but
    // only from a copy's folder (whoever starts the uninstaller itself with a request runs
    // it from somewhere else).
    const std::string folder_path = shown_folder(std::string(own, file_name_offset(own)));
    const std::string folder_name = folder_path.substr(file_name_offset(folder_path.c_str()));
    if (folder_name.compare(0, kCopyFolderPrefix.size(), kCopyFolderPrefix) != 0) return;
    MoveFileExA(own, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    MoveFileExA(folder_path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace qarn::uninstall
