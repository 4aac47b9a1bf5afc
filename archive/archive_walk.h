// Reading a whole archive without writing anything: listing its entries, and testing them
// by decoding every one in archive order (the solid chain needs all of them) and comparing
// the data checksums. Built from the same pieces as the extraction run.
#pragma once
#include <cstdint>

#include "archive/archive_context.h"

namespace qarn {

enum class EntryVerdict {
    kOk,
    kFolder,              // a folder entry: no data
    kChecksum,            // data checksum or length differs
    kUnsupportedVersion,  // needs a method this decoder does not have
    kEncrypted,
    kDamagedHeader,       // the header's own checksum differs
};

const char* verdict_text(EntryVerdict verdict);

struct EntryInfo {
    const FileHeader* header;   // normalised, attributes settled
    const char* name;           // separators turned into '\'
    uint32_t block_start;       // file offset of the entry's header
    bool header_crc_ok;
    EntryVerdict verdict;       // only when testing
    uint64_t produced;          // bytes the data step produced (testing)
};

struct ArchiveInfo {
    int32_t locate_result;
    uint32_t kind;
    uint32_t archive_start;
    const MainHeader* main_header;
    bool main_header_crc_ok;
};

class ArchiveListener {
public:
    virtual void on_archive(const ArchiveInfo& info) = 0;
    // Called before an entry's data step (testing) or instead of it (listing).
    virtual void on_entry_start(const EntryInfo& /*entry*/) {}
    virtual void on_entry(const EntryInfo& entry) = 0;

protected:
    ~ArchiveListener() = default;
};

enum class WalkStatus {
    kComplete,        // every entry read (and, testing, passed)
    kEntriesFailed,   // testing: at least one entry failed
    kCannotOpen,
    kNoArchive,
    kNoEntries,       // an archive without a single file entry
    kOutOfMemory,
    kContinues,       // the last entry continues in a volume that is not there
};

struct WalkSummary {
    uint32_t entries;
    uint32_t failed;
    uint64_t unpacked_bytes;
    uint64_t packed_bytes;
    uint32_t header_crc_errors;
};

// Walks the archive in `path`, decoding every entry when `test` is set.
WalkStatus walk_archive(const char* path, bool test, ArchiveListener& listener,
                        WalkSummary& summary);
// The same over an already open stream positioned at its start (a memory stream in the
// fuzzers); the walk takes ownership of it.
WalkStatus walk_archive_file(File file, bool test, ArchiveListener& listener,
                             WalkSummary& summary);

}  // namespace qarn
