// mksetup extract FILE DIR [--languages LIST]: the installer's own extraction run, natively.
#include <cstdio>
#include <cstring>
#include <string>

#include "languages/language_table.h"
#include "setup/install_sequence.h"
#include "platform/platform.h"
#include "setup/ui_texts.h"
#include "system/paths.h"
#include "tools/commands.h"

namespace qarn::tools {
namespace {

// The installation's user on a console: a progress line, and the boxes' texts on stderr.
class ConsoleUser final : public InstallUser {
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
        report(caption, cannot_install_file_text(g_ui_language), "Cannot install file.");
    }
    void show_folder(const char*) override {}
    void show_path_error(const char* folder) override {
        report(folder, cannot_create_path_text(g_ui_language), "Cannot create path.");
    }
    void show_no_room(const char* folder, uint64_t needed, uint64_t free) override {
        char text[256];
        report(folder, compose_no_room_text(g_ui_language, needed, free, text, sizeof text) ? text : nullptr,
               "There is not enough free space for the installation.");
    }
    void extraction_starts() override {}
    void extraction_ended() override { end_progress_line(); }
    void show_success() override {}
    unsigned count() const { return count_; }
    void end_progress_line() {
        if (progress_open_) std::printf("\n");
        progress_open_ = false;
    }

private:
    void report(const char* caption, const char* text, const char* fallback) {
        end_progress_line();
        std::fprintf(stderr, "mksetup: %s: %s\n", caption, text != nullptr ? text : fallback);
    }

    bool terminal_;
    bool progress_open_ = false;
    unsigned count_ = 0;
};

// mksetup records nothing in the system: the registry, the shortcuts and the settings
// file are the installer's alone.
class NoSystemSteps final : public SystemSteps {
public:
    void record_target_folder(const char*) override {}
    void create_shortcuts(const char*, bool, bool, bool) override {}
    void register_uninstaller(const char*) override {}
    void reconcile_settings(const char*, const LanguageChoice&) override {}
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

    InstallRequest request{};
    if (dir.size() >= sizeof request.folder) {
        std::fprintf(stderr, "mksetup: %s: the folder's path is longer than 259 characters\n", dir.c_str());
        return kExitEntriesFailed;
    }
    std::memcpy(request.folder, dir.c_str(), dir.size() + 1);
    platform::to_installer_separators(request.folder);
    request.languages = choice;

    ConsoleUser user(platform::is_terminal(stdout));
    NoSystemSteps system;
    const InstallOutcome done = run_install(request, file.c_str(), user, system);
    user.end_progress_line();
    if (done.result == kInstallDone) {
        std::printf("%u entries handled, installed into %s\n", user.count(), dir.c_str());
        return kExitOk;
    }
    if (done.result != kInstallExtractFailed) return kExitEntriesFailed;  // the folder: said above
    // The setup file's own problem, else the first failing entry's, as `test` names them.
    const char* why = done.archive_problem != ArchiveProblem::kNone
                          ? archive_problem_text(done.archive_problem)
                          : entry_problem_text(done.entry_problem);
    std::fprintf(stderr, "mksetup: %s: %s (result %d)\n", file.c_str(), why, done.extraction);
    return exit_status_for(done.extraction);
}

}  // namespace qarn::tools
