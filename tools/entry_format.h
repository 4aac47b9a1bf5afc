// Shared formatting of archive facts for the command-line tool.
#pragma once
#include <cstdint>
#include <string>

#include "archive/archive_context.h"
#include "archive/archive_walk.h"

namespace qarn::tools {

std::string format_dos_time(uint32_t dos_date_time);
std::string format_attributes(uint32_t attr);
const char* host_name(uint8_t host_os);
std::string describe_location(const ArchiveInfo& info);
// The text of a walk's failure, for an error message naming the file.
const char* walk_failure_text(WalkStatus status);

}  // namespace qarn::tools
