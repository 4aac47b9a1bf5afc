// Shared formatting of archive facts for the command-line tool.
#pragma once
#include <cstdint>
#include <string>

#include "archive/entry_loop.h"

namespace qarn::tools {

std::string format_dos_time(uint32_t dos_date_time);
std::string format_attributes(uint32_t attr);
const char* host_name(uint8_t host_os);
std::string describe_location(const ArchiveInfo& info);
// The entry's name, or where its header lies when the header broke before its name.
std::string entry_label(const EntryInfo& entry);
// Why an entry fails, with the rule that refused its name.
std::string entry_reason(const EntryInfo& entry);
// Whether the archive ended with the writer's end mark, as one line.
const char* end_mark_text(const RunSummary& summary);

}  // namespace qarn::tools
