// mksetup build: packs a product folder into an archive, appended to the installer's stub
// when one is given, and tests the result as `mksetup test` does before it counts as made.
//
// The setup file is written under a temporary name next to the output and renamed into
// place only after it passed its test, so an existing file is replaced by a good one or not
// at all. The same folder, stub and level give the same bytes (the file times are stored in
// local time, so also the same time zone).
#pragma once
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "pack/solid_order.h"

namespace qarn::tools {

// The archive's marker must lie where the installer's scan finds it: from file offset 7
// (a marker at offsets 1 to 6 is never found) up to 249,996, since the scan needs the
// marker and the header type after it, at marker + 9, within its reach of offset 250,005.
inline constexpr uint64_t kMinStubSize = 7;
inline constexpr uint64_t kMaxStubSize = 250005 - 9;

struct BuildRequest {
    std::filesystem::path folder;
    std::filesystem::path output;
    std::optional<std::filesystem::path> stub;
    int level;
    // Not empty: the uninstall list under this name, added as the last entry.
    std::string uninstall_list = {};
    // The files' order in the solid stream; without it, the level's (pack/level_settings.h).
    std::optional<SolidOrder> order = std::nullopt;
};

class BuildProgress {
public:
    virtual void on_start(uint64_t total_bytes, size_t entries) = 0;
    virtual void on_entry(const std::string& name) = 0;
    virtual void on_bytes(uint64_t done) = 0;
    virtual void on_finish() = 0;

protected:
    ~BuildProgress() = default;
};

struct BuildResult {
    std::vector<std::string> errors;  // the build failed when there is any
    std::vector<std::string> warnings;
    bool input_problem = false;  // the errors lie in the folder or the stub
    size_t entries = 0;
    size_t stored = 0;
    uint64_t input_bytes = 0;
    uint64_t stub_bytes = 0;
    uint64_t output_bytes = 0;  // the whole setup file
    double seconds = 0;
};

// Checks a stub's size against what the scan allows; empty when fine. Whether the scan finds
// the archive behind it (no marker-like bytes where it would stop before) is asked of the
// installer's own scan, once the stub and the archive's first headers are written.
std::string check_stub(const std::vector<uint8_t>& stub);

bool build_setup(const BuildRequest& request, BuildProgress* progress, BuildResult& result);

}  // namespace qarn::tools
