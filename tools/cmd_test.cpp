// mksetup test FILE: decodes every entry as the installer would, writing nothing, and
// exits with the status `mksetup extract FILE DIR` would give with every language into an
// empty folder.
#include <cstdio>
#include <string>

#include "archive/planned_destination.h"
#include "tools/commands.h"
#include "tools/entry_format.h"

namespace qarn::tools {
namespace {

class TestPrinter final : public ArchiveListener {
public:
    void on_archive(const ArchiveInfo& info) override {
        std::printf("Testing: %s\n", describe_location(info).c_str());
    }
    void on_entry(const EntryInfo& e) override {
        if (e.problem == EntryProblem::kNone) {
            const char* kind = e.folder ? "  (folder)" : e.written ? "" : "  (not written)";
            std::printf("OK      %s%s\n", e.name, kind);
        } else {
            const std::string failure = entry_label(e) + ": " + entry_reason(e);
            std::printf("FAILED  %s\n", failure.c_str());
            if (first_failure_.empty()) first_failure_ = failure;
        }
        std::fflush(stdout);
    }
    const std::string& first_failure() const { return first_failure_; }

private:
    std::string first_failure_;
};

}  // namespace

int run_test(const std::string& file) {
    TestPrinter printer;
    RunSummary summary{};
    const int32_t result = test_archive(file.c_str(), printer, summary);
    if (summary.problem == ArchiveProblem::kCannotOpen ||
        summary.problem == ArchiveProblem::kNoArchive ||
        (summary.problem == ArchiveProblem::kOutOfMemory && summary.entries == 0)) {
        std::fprintf(stderr, "mksetup: %s: %s\n", file.c_str(),
                     archive_problem_text(summary.problem));
        return exit_status_for(result);
    }
    std::printf("\n%u entries: %u OK, %u FAILED", summary.entries,
                summary.entries - summary.failed, summary.failed);
    std::printf("\n%s\n", end_mark_text(summary));
    if (result == kExtractOk) {
        std::printf("The installer would install every entry.\n");
    } else if (summary.problem == ArchiveProblem::kCutShort) {
        std::printf("The installer would install nothing: %s\n", archive_problem_text(summary.problem));
    } else if (!printer.first_failure().empty()) {
        // The installer checks the whole archive before it writes: one failure, nothing written.
        std::printf("The installer would install nothing, for %s\n", printer.first_failure().c_str());
    } else {
        std::printf("The installer would fail: %s\n", archive_problem_text(summary.problem));
    }
    return exit_status_for(result);
}

}  // namespace qarn::tools
