// The uninstaller's decisions, apart from the system calls that carry them out: which of the
// listed files it removes, which folders it then tries, whether a link, a registry record or
// a folder belongs to the installation it removes, whether anything is left at all, and the
// language it speaks. Everything here works on texts, so it runs and is tested anywhere.
//
// Paths are the installer's: '\' between components, ANSI bytes, compared without regard to
// ASCII letter case, as Windows compares them.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "uninstall/uninstall_list.h"

namespace qarn::uninstall {

// The uninstall list the demo product's setup file carries (mksetup build --uninstall-list).
inline constexpr char kListName[] = "UNINST.LST";
// The product's settings file: the user's choices, never removed.
inline constexpr char kSettingsName[] = "QARN.INI";
inline constexpr size_t kMaxPath = 259;

enum class Language { kEnglish, kGerman };

// --- Paths --------------------------------------------------------------------------------

// `folder` with one '\' at its end.
std::string with_backslash(std::string_view folder);
// `folder` as the user knows it: without the trailing '\' (a drive root keeps its own).
std::string shown_folder(std::string_view folder);
// The same file or folder: equal but for letter case, '/' against '\', and trailing '\'.
bool same_path(std::string_view a, std::string_view b);
// `path` lies below `folder` (at any depth), and no component after the folder is "." or
// "..", so the path cannot climb back out.
bool inside_folder(std::string_view path, std::string_view folder);
// An uninstall command (quoted or not) that starts a program lying directly in `folder`.
bool command_in_folder(std::string_view command, std::string_view folder);

// --- The files ----------------------------------------------------------------------------

struct FilePlan {
    // Listed names to remove, in list order: all but the list itself, the uninstaller and
    // the settings file.
    std::vector<std::string> files;
    bool lists_itself = false;       // removed after every other file
    bool lists_uninstaller = false;  // removed last of all
    bool lists_settings = false;     // kept all the same: the settings are the user's
    // The folders the listed names lie in, relative to the folder, deepest first; each is
    // tried once the files are gone and stays when anything else is in it.
    std::vector<std::string> folders;
    // Lines the list reader refused, and names that would not fit a path in this folder
    // (these as kTooLong).
    std::vector<RefusedListLine> refused;
};

// What to do with a list read from `folder` (ending in '\') by the uninstaller whose file
// in that folder is `uninstaller_name`. A list without its tag gives an empty plan.
FilePlan plan_files(const UninstallList& list, std::string_view folder,
                    std::string_view uninstaller_name);

// The components of `name` up to its last '\', each as a path relative to the folder:
// "a\b\c.txt" gives "a" and "a\b".
std::vector<std::string> folders_of(std::string_view name);

// --- A work folder that a setup left ------------------------------------------------------

// A run of setup.exe keeps what it moved aside, and its journal, in a work folder inside the
// installation's folder (kSetupWorkFolder); a run that was killed leaves it. It is the
// installer's, not the user's: the uninstaller removes it, with everything in it, and never
// counts it among the files the user added.
bool is_setup_work_folder(std::string_view name);

enum class FoundKind {
    kFile,
    kFolder,
    kLink,        // a junction or symbolic link: never followed, never removed
    kOutOfReach,  // too deep, or too long for a path: cannot be removed
};

// Something found below the work folder: its name relative to the installation's folder,
// beginning with the work folder's ("QARN.UNDO\journal", "QARN.UNDO\Help\QARN_DE.CHM").
struct FoundEntry {
    std::string name;
    FoundKind kind;
};

struct WorkFolderPlan {
    std::vector<std::string> files;    // removed first, in the order found
    std::vector<std::string> folders;  // then these, deepest first, the work folder last
    std::vector<std::string> links;    // left alone, and said so
    std::vector<std::string> out_of_reach;  // cannot be removed: the run is incomplete
};

// What to remove of a work folder whose contents are `found`. A folder that holds a link
// or something out of reach, at any depth, cannot become empty and is not tried.
WorkFolderPlan plan_work_folder(const std::vector<FoundEntry>& found);

// --- Is anything left? --------------------------------------------------------------------

struct Findings {
    bool list_read = false;     // the list is there and carries its tag
    bool list_damaged = false;  // a file of the list's name is there but cannot be used
    size_t files_present = 0;   // files of the plan that are there
    bool list_listed = false;   // the list names itself
    bool uninstaller_listed = false;
    size_t links = 0;              // shortcuts that point into the folder
    bool uninstall_entry = false;  // the uninstall entry starts this folder's uninstaller
    bool user_key = false;         // the per-user record names this folder
    bool work_folder = false;      // a setup's work folder is in the folder
};

bool anything_to_remove(const Findings& findings);

// --- Language -----------------------------------------------------------------------------

struct LanguageEvidence {
    bool german_files = false;   // QARN_DE.* in the folder
    bool english_files = false;  // QARN_US.* in the folder
    std::string settings_value;  // "Language" of the settings file; empty when none
    bool system_german = false;  // the system's default language is German
};

// German exactly when the product's German files are there and its English ones are not,
// as the installer speaks German when "Deutsch" is chosen and "English" is not. With
// neither there, the settings file's language decides ("DE", or the old "GR", is German),
// and without one the system's default language, as the installer's start values do.
Language choose_language(const LanguageEvidence& evidence);

// `name` is a product file of the language `code` ("DE", "US"): QARN_<code>.<anything>,
// letter case ignored, in the folder itself.
bool is_language_file(std::string_view name, std::string_view code);

}  // namespace qarn::uninstall
