// The extraction run: writes every wanted entry of the archive appended to a setup file
// into the target folder, removes files of languages not chosen, and stops at the first
// entry that cannot be installed.
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/entry_loop.h"
#include "archive/run_result.h"
#include "languages/language_table.h"
#include "system/target_folder.h"

namespace qarn {

// How the run reaches its user: the dialog (status line and error box) or mksetup
// (progress line and stderr).
class ExtractionUser {
public:
    // The entry being handled, written or not.
    virtual void show_entry_name(const char* entry_name) = 0;
    // A file that cannot be installed; the caption is the path or name concerned.
    virtual void show_file_error(const char* caption) = 0;

protected:
    ~ExtractionUser() = default;
};

// The box of a work folder that cannot be made, kept or put back: captioned with its path,
// or with the target folder's where that path would not fit.
void work_folder_error(const TargetFolder& folder, ExtractionUser& user);

// The check an installation makes before it writes anything: the whole archive walked as
// the installation will walk it, with the languages chosen, every entry decoded into
// nothing. On a failure the user is shown the first problem (the setup file under its own
// name where it is damaged or cut short). Returns the ExtractResult the installation
// would end with. `setup_file` stays open, for the installation.
int32_t check_archive(File& setup_file, const char* setup_path, const char* target_folder,
                      const LanguageChoice& languages, ExtractionUser& user, RunSummary& summary);

// The installation into `folder` (its base ends in '\'): all or nothing. Whatever it
// replaces or removes is moved aside first; a run that fails puts everything back and
// removes what it made, and only a run that succeeded deletes what it moved aside.
int32_t install_archive(File& setup_file, TargetFolder& folder, const LanguageChoice& languages,
                        ExtractionUser& user, RunSummary& summary);

// Both, into `target_folder`, a buffer of `capacity` bytes (260 in the installer) that
// gains a trailing '\' when it lacks one, after dealing with what a killed run left there.
// Returns an ExtractResult; the walk's summary goes to `summary` when given.
int32_t extract_archive(ExtractionUser& user, const char* setup_path, char* target_folder,
                        size_t capacity, const LanguageChoice& languages,
                        RunSummary* summary = nullptr);

}  // namespace qarn
