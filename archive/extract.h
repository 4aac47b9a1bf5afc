// The extraction run: writes every wanted entry of the archive appended to a setup file
// into the target folder, removes files of languages not chosen, and stops at the first
// entry that cannot be installed.
#pragma once
#include <cstddef>
#include <cstdint>

#include "archive/entry_loop.h"
#include "archive/run_result.h"

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

// Extracts into `target_folder`, a buffer of `capacity` bytes (260 in the installer) that
// gains a trailing '\' when it lacks one. The language choice reads g_language_table.
// The whole archive is checked first, as the installation will walk it, and nothing is
// written unless every entry to be written would install. Returns an ExtractResult; the
// walk's summary goes to `summary` when given.
int32_t extract_archive(ExtractionUser& user, const char* setup_path, char* target_folder,
                        size_t capacity, RunSummary* summary = nullptr);

}  // namespace qarn
