// One whole installation, from the OK button to the success message, in its fixed order:
// what is left of a killed run put back, the whole setup file checked, the folder's room
// and length judged, the folder made and recorded, the files installed (all or nothing),
// the shortcuts, the uninstall entry, the settings file, the success message. It takes its
// request as a value and meets the user and the system through two narrow interfaces, so
// that the dialog, mksetup and the tests run the same sequence.
#pragma once
#include <cstdint>

#include "archive/entry_loop.h"
#include "archive/extract.h"
#include "languages/language_table.h"
#include "system/paths.h"

namespace qarn {

enum InstallResult : int32_t {
    kInstallDone = 0,           // installed; the dialog closes
    kInstallNoFolder = 1,       // the folder field is empty; nothing done
    kInstallExtractFailed = 2,  // the setup file or the extraction failed; the dialog stays
    kInstallBadFolder = 3,      // the folder cannot be created, or is too long to be used
    kInstallNoRoom = 4,         // the folder's drive has too little free space; nothing done
};

struct InstallRequest {
    char folder[kPathSize];  // as typed
    LanguageChoice languages;
    bool start_menu;
    bool desktop_icon;
};

struct InstallOutcome {
    InstallResult result;
    int32_t extraction;              // the ExtractResult, with kInstallExtractFailed
    ArchiveProblem archive_problem;  // why the last walk could not read the archive whole
    EntryProblem entry_problem;      // the first failing entry's problem in it
};

// The installation's user: the dialog, or mksetup's console. The run's own boxes come
// through ExtractionUser::show_file_error.
class InstallUser : public ExtractionUser {
public:
    // A folder typed without its drive and root has been made full: this form is used.
    virtual void show_folder(const char* folder) = 0;
    // "Cannot create path.", captioned with the folder.
    virtual void show_path_error(const char* folder) = 0;
    // The folder's drive has `free` bytes, the installation needs `needed`.
    virtual void show_no_room(const char* folder, uint64_t needed, uint64_t free) = 0;
    // The files are about to be installed, and have been.
    virtual void extraction_starts() = 0;
    virtual void extraction_ended() = 0;
    virtual void show_success() = 0;

protected:
    ~InstallUser() = default;
};

// What an installation records in the system once its files are in place. Every step
// fails silently: the user finds a shortcut or a record missing, the product installed.
class SystemSteps {
public:
    // The folder as used, before the extraction: it stays whatever happens next.
    virtual void record_target_folder(const char* folder) = 0;
    // `folder` ends in '\'; the German order form gets its shortcut only with German.
    virtual void create_shortcuts(const char* folder, bool start_menu, bool desktop_icon,
                                  bool german) = 0;
    virtual void register_uninstaller(const char* uninstaller_path) = 0;
    virtual void reconcile_settings(const char* folder, const LanguageChoice& languages) = 0;

protected:
    ~SystemSteps() = default;
};

// Installs from the archive of the setup file at `setup_path`.
InstallOutcome run_install(const InstallRequest& request, const char* setup_path,
                           InstallUser& user, SystemSteps& system);

// What the installation needs of its drive: the files, each rounded up to a whole
// cluster, and the journal.
uint64_t room_needed(const RunSummary& checked);

}  // namespace qarn
