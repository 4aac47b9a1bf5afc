#include "archive/planned_destination.h"

#include <utility>

#include "system/ascii_case.h"
#include "system/target_folder_check.h"

namespace qarn {
namespace {

std::string key_of(const char* path) {
    std::string key(path);
    for (char& c : key) c = ascii_upper(c);
    return key;
}

int32_t run_test(File file, ArchiveListener& listener, RunSummary& summary) {
    PlannedDestination plan;
    const RunSetup setup{RunMode::kTest, &plan, kShortestTargetFolder};
    return run_archive_file(std::move(file), setup, listener, summary);
}

}  // namespace

bool PlannedDestination::wanted(const char* entry_name, const char*) {
    return entry_name[0] != '\0';
}

EntryOutput* PlannedDestination::create(const char* target_path) {
    const std::string key = key_of(target_path);
    // Every folder above the file: none of them may be a file already.
    for (size_t at = key.find('\\'); at != std::string::npos; at = key.find('\\', at + 1)) {
        const std::string folder = key.substr(0, at);
        if (files_.count(folder) != 0) return nullptr;
        folders_.insert(folder);
    }
    if (folders_.count(key) != 0) return nullptr;
    const auto existing = files_.find(key);
    // A read-only file cannot be removed to make room for the new one.
    if (existing != files_.end() && existing->second) return nullptr;
    files_[key] = false;
    last_ = key;
    return &nowhere_;
}

bool PlannedDestination::keep(uint32_t, uint32_t attr) {
    files_[last_] = (attr & kAttrReadOnly) != 0;
    return true;
}

void PlannedDestination::discard() { files_.erase(last_); }

int32_t test_archive(const char* path, ArchiveListener& listener, RunSummary& summary) {
    return run_test(open_shared(path, "rb", 1), listener, summary);
}

int32_t test_archive_file(File file, ArchiveListener& listener, RunSummary& summary) {
    return run_test(std::move(file), listener, summary);
}

}  // namespace qarn
