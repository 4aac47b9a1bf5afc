// The subcommands of mksetup; each returns the process exit status.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "pack/solid_order.h"
#include "tools/exit_status.h"

namespace qarn::tools {

int run_list(const std::string& file);
int run_test(const std::string& file);
// `order`: the files' order in the solid stream; without it, the level's.
int run_build(const std::string& folder, const std::string& output, const std::string& stub,
              int level, const std::string& uninstall_list,
              std::optional<SolidOrder> order = std::nullopt);
int run_extract(const std::string& file, const std::string& dir,
                const std::vector<std::string>& languages);

}  // namespace qarn::tools
