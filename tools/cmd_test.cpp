// mksetup test FILE: decodes every entry without writing anything and checks its data.
#include <cstdio>

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
        if (e.verdict == EntryVerdict::kOk || e.verdict == EntryVerdict::kFolder) {
            std::printf("OK      %s\n", e.name);
        } else {
            std::printf("FAILED  %s: %s\n", e.name, verdict_text(e.verdict));
        }
        std::fflush(stdout);
    }
};

}  // namespace

int run_test(const std::string& file) {
    TestPrinter printer;
    WalkSummary summary{};
    const WalkStatus status = walk_archive(file.c_str(), true, printer, summary);
    if (const char* failure = walk_failure_text(status)) {
        std::fprintf(stderr, "mksetup: %s: %s\n", file.c_str(), failure);
        return kExitCannotRead;
    }
    std::printf("\n%u entries: %u OK, %u FAILED", summary.entries,
                summary.entries - summary.failed, summary.failed);
    if (summary.header_crc_errors > 0) {
        std::printf(" (%u header checksum mismatches)", summary.header_crc_errors);
    }
    std::printf("\n");
    return summary.failed > 0 ? kExitEntriesFailed : kExitOk;
}

}  // namespace qarn::tools
