// The subcommands of mksetup; each returns the process exit status.
#pragma once
#include <string>
#include <vector>

namespace qarn::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitEntriesFailed = 1;
inline constexpr int kExitCannotRead = 2;

int run_list(const std::string& file);
int run_test(const std::string& file);
int run_extract(const std::string& file, const std::string& dir,
                const std::vector<std::string>& languages);

}  // namespace qarn::tools
