#include "tools/entry_format.h"

#include <cstdio>

namespace qarn::tools {

std::string format_dos_time(uint32_t t) {
    const uint32_t date = t >> 16;
    const uint32_t time = t & 0xFFFF;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04u-%02u-%02u %02u:%02u:%02u", (date >> 9) + 1980,
                  (date >> 5) & 15, date & 31, time >> 11, (time >> 5) & 63, (time & 31) * 2);
    return buf;
}

std::string format_attributes(uint32_t attr) {
    std::string s = "....";
    if (attr & 0x10) s[0] = 'D';
    if (attr & 0x01) s[1] = 'R';
    if (attr & 0x02) s[2] = 'H';
    if (attr & 0x20) s[3] = 'A';
    return s;
}

const char* host_name(uint8_t host_os) {
    switch (host_os) {
        case 0: return "MS-DOS";
        case 1: return "OS/2";
        case 2: return "Windows";
        case 3: return "Unix";
        default: return "other";
    }
}

std::string describe_location(const ArchiveInfo& info) {
    char buf[160];
    const char* kind = info.kind == kKindOld ? "old kind (RE~^ marker, 16-bit data checksums)"
                                             : "RAR 1.5/2.0 block format";
    const char* where = info.locate_result == kArchiveAtStart ? "at the start of the file"
                        : info.locate_result == kArchiveIsVolume
                            ? "a volume of a multi-volume set"
                            : "found by the scan behind an executable image";
    std::snprintf(buf, sizeof buf, "%s, %s, marker at offset %u (0x%X)", kind, where,
                  info.archive_start, info.archive_start);
    return buf;
}

std::string entry_label(const EntryInfo& entry) {
    if (entry.name[0] != '\0') return entry.name;
    return "(the header at offset " + std::to_string(entry.block_start) + ")";
}

std::string entry_reason(const EntryInfo& e) {
    std::string reason = entry_problem_text(e.problem);
    if (e.problem == EntryProblem::kRefusedName) {
        reason += std::string(": ") + name_refusal_text(e.refusal);
    }
    return reason;
}

const char* end_mark_text(const RunSummary& summary) {
    if (summary.end_mark) return "End mark: present (nothing after it is read as archive)";
    if (summary.end_mark_promised) {
        return "End mark: promised by the archive and missing: the file was cut short";
    }
    return "End mark: none (an archive of another tool, or of an older mksetup: a cut "
           "between entries cannot be told)";
}

}  // namespace qarn::tools
