// How the uninstaller removes its own file: a running program's file cannot be deleted, so
// the uninstaller copies itself into a folder made for the copy and starts the copy, which
// waits until the original has ended, then does the whole removal, the original's file
// included, and at its end leaves its folder and removes it.
//
// The copy runs elevated, from the temporary folder, which the user's unelevated programs
// may write. So its folder is made in one step with the handle to it (nobody can put a link
// or a folder of their own in its place), under a name of 16 random bytes, with an access
// list that lets only this account in (when elevated: only Administrators and SYSTEM) and
// takes nothing from the temporary folder's. The copy is written, read back, and held open
// without leave for anyone to write to it until the system has started it; it starts with
// the system folder as its current folder, and restricts its DLL search as setup.exe does.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "uninstall/finish_command.h"
#include "uninstall/handle_removal_win32.h"
#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {

// Starts the copy for the uninstaller at `uninstaller_path`; true when it runs, and this
// process then ends at once. False when no copy could be made or started (none is left
// behind); the caller then removes everything itself and its own file at the restart.
bool hand_over_to_copy(const std::string& uninstaller_path, Language language);

// In the copy: waits (at most 30 seconds) until the original process has ended, and lets
// go of its handle.
void wait_for_original(uint64_t handle_value);

// In the copy, last of all: moves its own file out of its folder, beside it (a running
// program's file can be renamed, though not deleted), and removes the folder. The file was
// opened to be deleted when its last handle closes, which is when the copy ends; it is
// also marked for removal at the next restart, for a system that keeps it (best effort:
// that needs administrator rights). Without the handles the request names, or where a step
// fails, the file and its folder are marked for the restart instead.
void leave_copy_folder(const FinishRequest& request);

// An access list of full control for the accounts named, inherited by everything made
// inside, and nothing inherited from the folder above.
class PrivateAccess {
public:
    PrivateAccess() = default;
    PrivateAccess(const PrivateAccess&) = delete;  // the descriptor points into this object
    PrivateAccess& operator=(const PrivateAccess&) = delete;

    // Administrators and SYSTEM when `elevated`, otherwise the account this process runs
    // as. False when the accounts cannot be named.
    bool build(bool elevated);
    SECURITY_DESCRIPTOR* descriptor() { return &descriptor_; }

    // This process may do what Administrators may: its token has that group enabled.
    static bool this_process_is_elevated();

private:
    bool add(PSID account);

    SECURITY_DESCRIPTOR descriptor_ = {};
    alignas(DWORD) unsigned char acl_[256] = {};
    alignas(DWORD) unsigned char accounts_[2][SECURITY_MAX_SID_SIZE] = {};
    int count_ = 0;
};

// Makes the folder `name` in `parent` (ending in '\') with `access`, and opens it (with
// leave to delete it, for nobody else to rename or delete it), in one step; fails when
// anything is at that path already.
bool make_private_folder(const std::string& parent, const std::string& name,
                         PrivateAccess& access, bool inheritable, OwnedHandle& folder);

// 16 bytes from the system's random source; false when it gives none.
bool random_bytes(uint8_t (&out)[16]);

}  // namespace qarn::uninstall
