// The uninstaller's contact with the system: what an installation left behind (files of the
// list, shortcuts, registry records, the settings file), found before anything changes, and
// the removal itself, in the order that keeps a repeated run possible until the end.
#pragma once
#include <cstddef>
#include <string>
#include <vector>

#include "uninstall/handle_removal_win32.h"
#include "uninstall/uninstall_plan.h"
#include "uninstall/uninstall_texts.h"
#include "uninstall/uninstall_list.h"

namespace qarn::uninstall {

// Something of the installation's outside its folder: `name` in one of the system's
// folders (`folder`, ending in '\'), removed by the rules of open_system_folder.
struct SystemItem {
    std::string folder;
    std::string name;
    std::string path() const { return folder + name; }
};

struct LinkFile {
    SystemItem item;
    bool desktop;  // the desktop icon; otherwise a shortcut of a Start-menu group
};

// Everything the uninstaller found, read before anything changes.
struct Installation {
    std::string uninstaller_path;
    std::string uninstaller_name;
    std::string folder;  // ends in '\'
    // The folder as run, and its long and short forms where they differ: links and records
    // hold the folder as the user typed it during setup.
    std::vector<std::string> folder_forms;
    bool folder_exists = false;
    // The folder opened and checked: nothing is removed from it unless it is usable.
    Folder place;

    bool list_file = false;  // a file named UNINST.LST is in the folder
    UninstallList list;
    FilePlan plan;
    std::vector<std::string> present;  // names of plan.files that are files in the folder
    // A setup's work folder (a folder, no link) and what was found in it.
    bool work_folder = false;
    std::vector<FoundEntry> work_entries;

    std::vector<SystemItem> groups;  // Start-menu groups "QARN" that exist (both places)
    std::vector<LinkFile> links;      // shortcuts that point into the folder
    size_t foreign_links = 0;         // shortcuts there that point elsewhere

    bool uninstall_entry = false;  // HKLM ...\Uninstall\Zentrivo starts this uninstaller
    std::string other_uninstall_entry;
    bool user_key = false;  // HKCU\Software\Obrelux\QARN records this folder
    std::string other_user_key;

    std::vector<std::string> settings;  // settings files that exist
    SystemItem settings_home;  // <application data>\Obrelux, the settings' second home
    LanguageEvidence evidence;
};

Installation survey_installation(const std::string& uninstaller_path);
Findings findings_of(const Installation& installation);

// The folder is there, but the uninstaller will not work in it (it is a link, or lies in
// one): `problem` says why.
bool folder_refused(const Installation& installation, FolderProblem& problem);

enum class SelfRemoval {
    kNow,        // the uninstaller's process has ended: its file is removed like the others
    kAtRestart,  // it is still running: its file (and the folder) go at the next restart
};

// Removes the listed files and a setup's work folder; when all of them are gone, the
// shortcuts into the folder, the registry records, the list, the uninstaller and the
// folders left empty. When a file resists, everything after the files stays, so the same
// uninstaller can be run again. Every file and folder goes through remove_item.
Outcome remove_installation(Installation& installation, SelfRemoval self);

}  // namespace qarn::uninstall
