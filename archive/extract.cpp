#include "archive/extract.h"

#include "archive/entry_loop.h"
#include "archive/file_destination.h"
#include "languages/language_table.h"
#include "system/paths.h"

namespace qarn {
namespace {

// The loop's reports as the installer's user sees them.
class UserListener final : public ArchiveListener {
public:
    explicit UserListener(ExtractionUser& user) : user_(user) {}
    void on_entry_start(const EntryInfo& entry) override { user_.show_entry_name(entry.name); }
    void on_entry(const EntryInfo&) override {}
    void on_file_error(const char* caption) override { user_.show_file_error(caption); }

private:
    ExtractionUser& user_;
};

}  // namespace

int32_t extract_archive(ExtractionUser& user, const char* setup_path, char* target_folder,
                        size_t capacity) {
    if (!append_backslash(target_folder, capacity)) {
        // No room even for the separator: no entry's path could fit.
        user.show_file_error(target_folder);
        return kExtractEntryFailed;
    }
    FileDestination destination(g_language_table, kProductPrefix);
    const RunSetup setup{RunMode::kInstall, &destination, target_folder};
    UserListener listener(user);
    RunSummary summary{};
    return run_archive(setup_path, setup, listener, summary);
}

}  // namespace qarn
