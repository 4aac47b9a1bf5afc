// How the uninstaller removes its own file: a running program's file cannot be deleted, so
// the uninstaller copies itself into the temporary folder and starts the copy, which waits
// until the original has ended and then does the whole removal, its file included. The
// copy's own file is left to the system's removal at the next restart.
#pragma once
#include <cstdint>
#include <string>

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {

// Starts the copy for the uninstaller at `uninstaller_path`; true when it runs, and this
// process then ends at once. False when no copy could be made or started (none is left
// behind); the caller then removes everything itself and its own file at the restart.
bool hand_over_to_copy(const std::string& uninstaller_path, Language language);

// In the copy: waits (at most 30 seconds) until the original process has ended, and lets
// go of its handle.
void wait_for_original(uint64_t handle_value);

// In the copy: its own file goes at the next restart (best effort: the system may refuse
// without administrator rights, and the file then stays in the temporary folder).
void remove_own_file_at_restart();

}  // namespace qarn::uninstall
