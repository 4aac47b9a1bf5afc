// The subcommands of mksetup; each returns the process exit status.
#pragma once
#include <string>
#include <vector>

namespace qarn::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitEntriesFailed = 1;
inline constexpr int kExitCannotRead = 2;
// build: the setup file could not be written, or it failed its test.
inline constexpr int kExitBuildFailed = 3;

int run_list(const std::string& file);
int run_test(const std::string& file);
int run_build(const std::string& folder, const std::string& output, const std::string& stub,
              int level, const std::string& uninstall_list);
int run_extract(const std::string& file, const std::string& dir,
                const std::vector<std::string>& languages);

}  // namespace qarn::tools
