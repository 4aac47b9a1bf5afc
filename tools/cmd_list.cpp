// mksetup list FILE: where the archive is, then one row per entry, folders included.
#include <cstdio>

#include "tools/commands.h"
#include "tools/entry_format.h"
#include "tools/pe_signature.h"

namespace qarn::tools {
namespace {

class ListPrinter final : public ArchiveListener {
public:
    void on_archive(const ArchiveInfo& info) override {
        std::printf("Archive: %s\n", describe_location(info).c_str());
        std::printf("Main header flags 0x%04X%s%s\n", info.main_header->head_flags,
                    (info.main_header->head_flags & kMainFlagSolid) ? " (solid)" : "",
                    (info.main_header->head_flags & kMainFlagVolume) ? " (volume)" : "");
        std::printf("\n%-32s %10s %10s %-6s %-5s %-7s %-4s %-19s %-8s\n", "Name", "Size", "Packed",
                    "Method", "Solid", "Host", "Attr", "Time", "CRC");
    }
    void on_entry(const EntryInfo& e) override {
        const FileHeader& h = *e.header;
        std::printf("%-32s %10u %10u %-6c %-5s %-7s %-4s %-19s %08X%s%s\n", e.name,
                    static_cast<uint32_t>(h.unp_size), static_cast<uint32_t>(h.pack_size),
                    h.method >= 0x20 && h.method < 0x7F ? h.method : '?',
                    (h.head_flags & kFileFlagSolid) ? "yes" : "no", host_name(h.host_os),
                    format_attributes(h.attr).c_str(), format_dos_time(h.ftime).c_str(),
                    h.file_crc, e.problem != EntryProblem::kNone ? "  " : "",
                    e.problem != EntryProblem::kNone ? entry_problem_text(e.problem) : "");
    }
};

}  // namespace

int run_list(const std::string& file) {
    ListPrinter printer;
    RunSummary summary{};
    const int32_t result = list_archive(file.c_str(), printer, summary);
    if (summary.problem == ArchiveProblem::kCannotOpen ||
        summary.problem == ArchiveProblem::kNoArchive) {
        std::fprintf(stderr, "mksetup: %s: %s\n", file.c_str(),
                     archive_problem_text(summary.problem));
        return exit_status_for(result);
    }
    std::printf("\n%u entries, %llu bytes, %llu packed", summary.entries,
                static_cast<unsigned long long>(summary.unpacked_bytes),
                static_cast<unsigned long long>(summary.packed_bytes));
    std::printf("\n%s\n", end_mark_text(summary));
    // What follows the archive in a signed setup file: the certificate table.
    if (const std::string note = describe_pe_signature(find_pe_signature(file)); !note.empty())
        std::printf("%s\n", note.c_str());
    if (result != kExtractOk) {
        std::fprintf(stderr, "mksetup: %s: %s\n", file.c_str(),
                     summary.problem != ArchiveProblem::kNone
                             ? archive_problem_text(summary.problem)
                             : "an entry's header cannot be read as it stands");
    }
    return exit_status_for(result);
}

}  // namespace qarn::tools
