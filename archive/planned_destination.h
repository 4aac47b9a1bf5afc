// Testing an archive: the installer's own entry loop over a plan of the target folder
// instead of the disk. `mksetup test`, the benchmark and the fuzzers judge archives with it.
#pragma once
#include <map>
#include <set>
#include <string>

#include "archive/entry_loop.h"

namespace qarn {

// An empty target folder as an installation with every product language chosen would fill
// it. It writes nothing, but it knows what the disk would refuse: a file where a folder
// is needed, a folder where a file goes, a read-only file to be replaced. Names compare as
// Windows compares them, without regard to letter case.
class PlannedDestination final : public EntryDestination {
public:
    // Every language is chosen; only an empty name (the target folder itself, which
    // exists) is not written.
    bool wanted(const char* entry_name, const char* target_path) override;
    EntryOutput* create(const char* target_path) override;
    bool keep(uint32_t dos_time, uint32_t attr) override;
    void discard() override;

private:
    // Every byte handed over counts as stored.
    class Nowhere final : public EntryOutput {
    public:
        size_t write(const uint8_t*, size_t count) override { return count; }
    };

    std::map<std::string, bool> files_;  // upper-cased path -> read-only
    std::set<std::string> folders_;
    std::string last_;                   // the key of the last create
    Nowhere nowhere_;
};

// Decodes and checks every entry as an installation with all three languages into an empty
// folder would, writing nothing. Names are joined to the shortest folder the installer
// accepts (a drive's root), so that a name no folder can hold is refused here as the
// installation would refuse it. Returns the ExtractResult that installation ends with:
// the code of the first entry, in archive order, at which it would stop.
int32_t test_archive(const char* path, ArchiveListener& listener, RunSummary& summary);
int32_t test_archive_file(File file, ArchiveListener& listener, RunSummary& summary);

}  // namespace qarn
