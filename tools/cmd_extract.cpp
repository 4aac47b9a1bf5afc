// mksetup extract FILE DIR [--languages LIST]: the installer's own extraction run, natively.
#include <cstdio>
#include <cstring>
#include <string>

#include "archive/extract.h"
#include "languages/language_table.h"
#include "platform/platform.h"
#include "setup/ui_texts.h"
#include "system/paths.h"
#include "tools/commands.h"

namespace qarn::tools {
namespace {

class ConsoleUser final : public ExtractionUser {
public:
    explicit ConsoleUser(bool terminal) : terminal_(terminal) {}
    ~ConsoleUser() { end_progress_line(); }
    ConsoleUser(const ConsoleUser&) = delete;
    ConsoleUser& operator=(const ConsoleUser&) = delete;

    void show_entry_name(const char* name) override {
        ++count_;
        if (terminal_) {
            // One line that is rewritten as the run goes.
            std::printf("\r\033[K%5u  %s", count_, name);
            progress_open_ = true;
        } else {
            std::printf("%s\n", name);
        }
        std::fflush(stdout);
    }
    void show_file_error(const char* caption) override {
        end_progress_line();
        const char* text = cannot_install_file_text(g_ui_language);
        std::fprintf(stderr, "mksetup: %s: %s\n", caption, text != nullptr ? text : "Cannot install file.");
    }
    unsigned count() const { return count_; }
    void end_progress_line() {
        if (progress_open_) std::printf("\n");
        progress_open_ = false;
    }

private:
    bool terminal_;
    bool progress_open_ = false;
    unsigned count_ = 0;
};

// The languages of a list such as "de,en,other". False on an unknown name.
bool select_languages(const std::vector<std::string>& names, LanguageChoice& choice,
                      std::string& bad) {
    choice = {};
    for (const std::string& name : names) {
        const int language = name == "de" ? 0 : name == "en" ? 1 : name == "other" ? 2 : -1;
        if (language < 0) {
            bad = name;
            return false;
        }
        choice.chosen[language] = true;
    }
    return true;
}

const char* result_text(int32_t result) {
    switch (result) {
        case kExtractOk: return "every entry installed";
        case kExtractEntryFailed: return "an entry could not be installed";
        case kExtractNoArchive:
            return "no readable archive (cannot open, no archive or no entry, a volume of a set, "
                   "or a block the file cannot be positioned at)";
        case kExtractChecksum: return "an entry failed its data check";
        case kExtractNoWindow: return "out of memory for the decoding window";
        case kExtractNoCopyBuffer: return "out of memory for the copy buffer";
        default: return "failed";
    }
}

}  // namespace

int run_extract(const std::string& file, const std::string& dir,
                const std::vector<std::string>& languages) {
    std::string bad;
    LanguageChoice choice{};
    if (!select_languages(languages, choice, bad)) {
        std::fprintf(stderr, "mksetup: unknown language '%s' (use de, en, other)\n", bad.c_str());
        return kExitCannotRead;
    }
    // The interface language follows the chosen languages as it does in the dialog.
    g_ui_language = ui_language_for(choice.has(ProductLanguage::kGerman),
                                    choice.has(ProductLanguage::kEnglish));

    char target[kPathSize];
    if (dir.size() >= sizeof target) {
        std::fprintf(stderr, "mksetup: %s: the folder's path is longer than 259 characters\n", dir.c_str());
        return kExitEntriesFailed;
    }
    std::memcpy(target, dir.c_str(), dir.size() + 1);
    platform::to_installer_separators(target);
    if (check_exists(target) == kMissing && create_folder_path(target) != kFolderCreated) {
        const char* text = cannot_create_path_text(g_ui_language);
        std::fprintf(stderr, "mksetup: %s: %s\n", dir.c_str(), text != nullptr ? text : "Cannot create path.");
        return kExitEntriesFailed;
    }

    ConsoleUser user(platform::is_terminal(stdout));
    RunSummary summary{};
    const int32_t result = extract_archive(user, file.c_str(), target, sizeof target, choice, &summary);
    user.end_progress_line();
    if (result == kExtractOk) {
        std::printf("%u entries handled, installed into %s\n", user.count(), dir.c_str());
        return kExitOk;
    }
    const char* why = summary.problem != ArchiveProblem::kNone
                          ? archive_problem_text(summary.problem)
                          : result_text(result);
    std::fprintf(stderr, "mksetup: %s: %s (result %d)\n", file.c_str(), why, result);
    return exit_status_for(result);
}

}  // namespace qarn::tools
