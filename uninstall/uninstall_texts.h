// What the uninstaller says, in English and German: the one question it asks, and the
// report of what it removed and what it kept. German texts are in the Western code page
// (Windows-1252), as the message boxes show ANSI text.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {

// What a removal did, for the report.
struct Outcome {
    std::string folder;  // the installation's folder, ending in '\'

    // Removed.
    size_t files_removed = 0;    // the list and the uninstaller included
    size_t folders_removed = 0;  // the installation's folder included
    size_t group_links_removed = 0;
    size_t groups_removed = 0;  // Start-menu groups "QARN" removed once empty (0 to 2)
    bool desktop_icon_removed = false;
    bool uninstall_entry_removed = false;
    bool user_key_removed = false;
    bool uninstaller_at_restart = false;  // the uninstaller's file goes at the next restart
    bool work_folder_removed = false;     // the work folder an interrupted setup left

    // Not removed.
    std::vector<std::string> failed;   // files or records that could not be removed
    std::vector<std::string> refused;  // lines of the list that were left alone
    std::vector<std::string> linked;   // links, or things behind one, left alone
    bool files_unknown = false;        // the list is missing or damaged: no file was removed

    // Kept.
    std::vector<std::string> settings;  // settings files, full paths
    bool folder_kept = false;
    size_t user_files = 0;     // files left in the folder besides the settings file
    size_t foreign_links = 0;  // shortcuts in the groups or on the desktop pointing elsewhere
    std::string other_uninstall_entry;  // the entry's command, when it is another folder's
    std::string other_user_key;         // the recorded folder, when it is another one
};

// Nothing failed: the report says "removed", not "could not be removed completely".
bool complete(const Outcome& outcome);

const char* caption_text(Language language);
std::string confirmation_text(Language language, std::string_view folder);
std::string nothing_left_text(Language language, std::string_view folder);
// A list file is there but cannot be used, and nothing else points into the folder.
std::string damaged_list_text(Language language, std::string_view folder);
std::string report_text(Language language, const Outcome& outcome);
// The uninstaller's own path does not fit a path buffer.
std::string cannot_start_text(Language language);

// Why nothing is removed from an installation's folder that the uninstaller will not work in.
enum class FolderProblem {
    kLinked,   // the folder is a link, or lies in a linked or mounted folder
    kUnknown,  // the system does not say where it really lies
};
std::string folder_refused_text(Language language, std::string_view folder,
                                FolderProblem problem);

// At most this many names of a kind are listed in the report; the rest are counted.
inline constexpr size_t kNamesShown = 6;

}  // namespace qarn::uninstall
