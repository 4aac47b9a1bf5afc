// Removing files and folders through handles. Each item is opened without following a link
// (FILE_FLAG_OPEN_REPARSE_POINT), checked through that handle against the folder it must lie
// in (handle_checks.h), and removed through the same handle (its delete disposition): what
// is removed is exactly what was checked, whatever was swapped in at its path meanwhile.
// A folder goes only when empty, as RemoveDirectory would have it. Where the system cannot
// answer one of the questions, nothing is removed.
#pragma once
#include <windows.h>

#include <string>

#include "uninstall/handle_checks.h"

namespace qarn::uninstall {

// A handle from CreateFile or NtCreateFile, closed at the end of its owner.
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(HANDLE handle) { reset(handle); }
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.release()) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    HANDLE get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    HANDLE release() {
        HANDLE h = handle_;
        handle_ = nullptr;
        return h;
    }
    // Takes `handle`; INVALID_HANDLE_VALUE, CreateFile's failure, counts as none.
    void reset(HANDLE handle = nullptr) {
        if (handle_ != nullptr) CloseHandle(handle_);
        handle_ = handle == INVALID_HANDLE_VALUE ? nullptr : handle;
    }

private:
    HANDLE handle_ = nullptr;
};

// What the system says of an open file or folder. False when it does not say it all.
bool read_facts(HANDLE handle, HandleFacts& facts);

// A folder to remove things from, opened once and checked.
struct Folder {
    std::string path;  // as given, ending in '\'
    OwnedHandle handle;
    HandleFacts facts;
    Refusal refusal = Refusal::kUnknown;  // kNone: things below it may be removed
    bool missing = false;                 // there is nothing at the path
    bool usable() const { return refusal == Refusal::kNone; }
};

// The installation's folder (check_installation_folder). It is held open, without leave for
// anyone to rename or remove it, as long as the Folder lives or until remove_folder_itself,
// which removes it when it is empty and still the same folder.
Folder open_installation_folder(const std::string& path);

// A folder of the system's (the desktop, the Start menu's program folders, the application
// data): whatever it is, a link included, since it is where the system keeps these things;
// what is removed below it must lie in it.
Folder open_system_folder(const std::string& path);

enum class Removal {
    kRemoved,
    kGone,      // there was nothing at the path
    kRefused,   // a link, or not where its path says (see the Refusal)
    kNotEmpty,  // a folder that still holds something
    kFailed,    // in use, not allowed, or a path too long
};

// Removes the file or empty folder at `relative` below `folder`. `why` receives the reason
// of a refusal.
Removal remove_item(const Folder& folder, const std::string& relative, ItemKind kind,
                    Refusal* why = nullptr);

// Removes the folder itself, when it is empty and still the folder checked; the Folder is
// of no use afterwards.
Removal remove_folder_itself(Folder& folder);

// Marks what `handle` (opened with DELETE access) stands for for deletion: a file, or a
// folder when it is empty. It goes when the last handle to it closes.
bool delete_through(HANDLE handle);

// Opens the file at `relative` below `folder` for reading, by the same rules; none when it
// is not a plain file lying there.
OwnedHandle open_for_reading(const Folder& folder, const std::string& relative);

}  // namespace qarn::uninstall
