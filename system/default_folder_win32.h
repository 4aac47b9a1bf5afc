// Where the product goes: the target folder proposed when the Setup dialog opens, and the
// browse button beside the folder field.
#pragma once
#include <windows.h>
#include <shlobj.h>

#include <cstddef>

#include "system/handles_win32.h"

namespace qarn {

// The system's program-files folder (HKLM ...\CurrentVersion, "ProgramFilesDir"); empty
// when the system names none.
void read_program_files_dir(char* out, size_t capacity);

// The folder proposed at start-up, never empty and never cut: the folder an earlier
// installation recorded (its languages are then marked in the language table) when an
// installation would accept it (the check OK makes, with the archive's longest entry name),
// else the program-files folder + "\QARN", else the Windows folder's parent +
// "\Programme\QARN" or "\Program Files\QARN".
void default_target_folder(char* out, size_t capacity, size_t longest_entry_name);

// The proposal of a first installation, from the program-files folder (may be empty) and
// the Windows folder (may be empty).
void first_install_folder(const char* program_files, const char* windows_folder, char* out,
                          size_t capacity);

// The browse button: opens the folder picker on the folder typed in `edit_id` (or on its
// parent when that does not exist yet) and puts the folder picked into the field.
void browse_for_target_folder(HWND dialog, int edit_id);

// The picker's start: into `selection` the item list of `folder` made full, or of its
// parent when `folder` cannot be parsed (typically: it does not exist yet). False when
// neither parses.
bool parse_initial_selection(HWND owner, IShellFolder* desktop, const char* folder,
                             ShellItemList& selection);

}  // namespace qarn
