#include "archive/extract.h"

#include "archive/entry_loop.h"
#include "archive/file_destination.h"
#include "archive/language_choice.h"
#include "archive/undo_journal.h"
#include "languages/language_table.h"
#include "system/paths.h"
#include "system/product_names.h"

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

// The check before anything is written: the entries the installation will write, as it
// will walk them, decoded into nothing.
class CheckDestination final : public EntryDestination {
public:
    explicit CheckDestination(const LanguageChoice& languages) : languages_(languages) {}
    bool wanted(const char* entry_name, const char*) override {
        return language_verdict(entry_name, languages_) != LanguageVerdict::kNotChosen;
    }
    EntryOutput* create(const char*) override { return &nowhere_; }
    bool keep(uint32_t, uint32_t) override { return true; }
    void discard() override {}

private:
    class Nowhere final : public EntryOutput {
    public:
        size_t write(const uint8_t*, size_t count) override { return count; }
    };
    Nowhere nowhere_;
    LanguageChoice languages_;
};

// Shows what the check found, as the installation would have shown it: a damaged or cut
// setup file under its own name, an entry's problem under the entry's.
class CheckListener final : public ArchiveListener {
public:
    CheckListener(ExtractionUser& user, const char* setup_path)
        : user_(user), setup_path_(setup_path) {}
    void on_entry(const EntryInfo& entry) override {
        if (entry.problem == EntryProblem::kNone || failed_) return;
        failed_ = true;
        header_problem_ = is_header_problem(entry.problem);
        // The record's buffer changes with the next header. A name always fits.
        join_checked(name_, sizeof name_, entry.name, "");
    }
    void finish(int32_t result, const RunSummary& summary) {
        if (result == kExtractOk) return;
        const bool setup_file_to_blame = !failed_ || header_problem_ ||
                                         summary.problem == ArchiveProblem::kCutShort;
        user_.show_file_error(setup_file_to_blame ? setup_path_ : name_);
    }

private:
    ExtractionUser& user_;
    const char* setup_path_;
    char name_[kPathSize] = {};
    bool failed_ = false;
    bool header_problem_ = false;
};

}  // namespace

void work_folder_error(const TargetFolder& folder, ExtractionUser& user) {
    char caption[kPathSize];
    if (!join_checked(caption, sizeof caption, folder.base(), kSetupWorkFolder)) {
        join_checked(caption, sizeof caption, folder.base(), "");
    }
    user.show_file_error(caption);
}

int32_t check_archive(File& setup_file, const char* setup_path, const char* target_folder,
                      const LanguageChoice& languages, ExtractionUser& user, RunSummary& summary) {
    CheckDestination check(languages);
    CheckListener listener(user, setup_path);
    const RunSetup setup{RunMode::kTest, &check, target_folder};
    const int32_t checked = run_archive_kept(setup_file, setup, listener, summary);
    listener.finish(checked, summary);
    return checked;
}

int32_t install_archive(File& setup_file, TargetFolder& folder, const LanguageChoice& languages,
                        ExtractionUser& user, RunSummary& summary) {
    UndoJournal journal(folder);
    if (!journal.begin()) {
        // The work folder cannot be made: something of that name is in the way.
        work_folder_error(folder, user);
        return kExtractEntryFailed;
    }
    FileDestination destination(folder, journal, languages);
    const RunSetup setup{RunMode::kInstall, &destination, folder.base()};
    UserListener listener(user);
    int32_t result = run_archive_kept(setup_file, setup, listener, summary);
    if (result == kExtractOk && !journal.commit()) {
        // The run's success cannot be made to last: it is undone and said so.
        work_folder_error(folder, user);
        result = kExtractEntryFailed;
    }
    if (result != kExtractOk) journal.undo();
    return result;
}

int32_t extract_archive(ExtractionUser& user, const char* setup_path, char* target_folder,
                        size_t capacity, const LanguageChoice& languages, RunSummary* summary_out) {
    if (!append_backslash(target_folder, capacity)) {
        // No room even for the separator: no entry's path could fit.
        user.show_file_error(target_folder);
        return kExtractEntryFailed;
    }
    // What a killed run left is put back before anything else.
    PlainTargetFolder folder(target_folder);
    if (recover_interrupted_run(folder) == Recovery::kFailed) {
        work_folder_error(folder, user);
        return kExtractEntryFailed;
    }
    // One open file for the check and the installation: nobody may change it meanwhile.
    File setup_file = open_shared(setup_path, "rb", 1);
    RunSummary ignored{};
    RunSummary& summary = summary_out != nullptr ? *summary_out : ignored;
    const int32_t checked =
        check_archive(setup_file, setup_path, target_folder, languages, user, summary);
    if (checked != kExtractOk) return checked;
    return install_archive(setup_file, folder, languages, user, summary);
}

}  // namespace qarn
