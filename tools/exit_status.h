// mksetup's exit statuses, and the one table that turns the result of a run over an archive
// into one, so that `test` and `extract` (and `list`) can never disagree on a file.
#pragma once
#include <cstdint>

namespace qarn::tools {

inline constexpr int kExitOk = 0;
inline constexpr int kExitEntriesFailed = 1;
inline constexpr int kExitCannotRead = 2;
// build: the setup file could not be written, or it failed its test.
inline constexpr int kExitBuildFailed = 3;

// 0 -> 0; 2 (no archive, a volume problem, no entry) and 9 (no window) -> 2; the rest -> 1.
int exit_status_for(int32_t run_result);

}  // namespace qarn::tools
