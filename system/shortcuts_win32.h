// The Start-menu group and the desktop icon: shell link files made through the shell's link
// object. Every failure here is silent; the user simply finds a shortcut missing.
#pragma once
#include <windows.h>

#include <cstddef>

namespace qarn {

// One of the product's documents in the Start-menu group.
struct DocumentShortcut {
    const char* shortcut_name;  // "License", "Order", "Bestellung"
    const char* file_name;      // relative to the target folder; empty: the row is not used
};

inline constexpr int kDocumentRows = 3;

// The document list for one installation. Without German the German order form's file name
// is empty, so no "Bestellung" shortcut is made (the file is installed all the same).
struct DocumentList {
    DocumentShortcut rows[kDocumentRows];
};
DocumentList document_list(bool german_chosen);

// Saves a link file at `link_file` pointing at `target`. Gives the COM result of the last
// step tried (S_OK when the file was saved).
HRESULT create_shell_link(const char* target, const char* working_folder, const char* link_file,
                          const char* description);

// A shortcut `group_folder` + name + ".lnk" to `target_folder` + file, made only when that
// file exists. Both folders end in a backslash.
void create_group_shortcut(const char* shortcut_name, const char* file_name,
                           const char* group_folder, const char* target_folder);

// The "QARN" group under the all-users programs folder (the current user's only when the
// system names no all-users folder): "Zentrivo" for QARN.exe and the documents of the list.
void create_start_menu_group(const char* target_folder, const DocumentList& documents);

// The same with the two programs folders given; an empty text stands for a folder the
// system does not name.
void create_start_menu_group_in(const char* common_programs, const char* user_programs,
                                const char* target_folder, const DocumentList& documents);

// "Zentrivo.lnk" on the current user's desktop, for `program_path` (made whether or not the
// program exists).
void create_desktop_icon(const char* program_path);
void create_desktop_icon_in(const char* desktop_folder, const char* program_path);

}  // namespace qarn
