// The one entry loop. The installer's extraction and mksetup's list, test and extract all
// walk an archive with it, so that `mksetup test` answers exactly the question "will the
// installer install this?": the header search, sub-blocks and unknown blocks, the end of
// every header (folders included), host attributes, the version and method rules, the
// name refusals, the volume rules, the data step and the final comparison are the same
// code whatever the run is for.
//
// What differs between runs is only where the bytes go (an EntryDestination: files, or
// nowhere), whether the run stops at the first failure, and whether a data step is made.
#pragma once
#include <cstdint>

#include "archive/archive_context.h"
#include "archive/entry_name_check.h"
#include "archive/run_result.h"

namespace qarn {

enum class RunMode {
    kList,     // headers only: no data step, nothing judged but the archive's structure
    kTest,     // every entry decoded, its bytes go nowhere; the run goes on after a failure
               // (the solid chain needs every entry) and ends with the first failure's code
    kInstall,  // wanted entries written to their files; the run stops at the first failure
};

// Why an entry would stop an installation, in the terms the installer's user meets.
enum class EntryProblem {
    kNone,
    kHeaderCut,              // the file ends inside the entry's header
    kHeaderNoDataSize,       // the header does not say how much data follows it
    kHeaderNameOutside,      // the name runs past the header's end
    kHeaderChecksum,         // the header's checksum differs
    kContinuedFromPrevious,  // the first entry continues a volume that is not here
    kRefusedName,            // see EntryInfo::refusal
    kPathTooLong,            // the target folder and the name pass 259 characters
    kUnsupportedVersion,     // needs a version outside 1.3 to 2.0
    kCannotCreate,           // its file cannot be created
    kNoCopyBuffer,           // out of memory for the stored copy
    kEncrypted,              // encrypted data is not decrypted: its check fails
    kOldMethod,              // packed with the method of versions 1.3 to 1.5: not decoded
    kLength,                 // more or fewer bytes than the header says
    kChecksum,               // the data checksum differs
    kShortWrite,             // its file did not take every byte (a full disk)
};

const char* entry_problem_text(EntryProblem problem);

// The code an installation that stops at an entry with this problem ends with.
int32_t extract_result_of(EntryProblem problem);

// True for a problem of the setup file itself (its headers), rather than of what one
// entry holds: the user is shown the setup file, not the entry's name.
bool is_header_problem(EntryProblem problem);

struct ArchiveInfo {
    int32_t locate_result;
    uint32_t kind;
    uint32_t archive_start;
    const MainHeader* main_header;
};

struct EntryInfo {
    const FileHeader* header;   // normalised, attributes settled
    const char* name;           // separators turned into '\'
    uint32_t block_start;       // file offset of the entry's header
    bool folder;                // a folder or volume label: no data step
    bool written;               // the data step had an output (test: would have had)
    EntryProblem problem;
    NameRefusal refusal;        // with kRefusedName
    uint64_t produced;          // bytes the data step produced
};

class ArchiveListener {
public:
    virtual void on_archive(const ArchiveInfo& /*info*/) {}
    // Before the entry's data step: the installer shows the name in its status line.
    virtual void on_entry_start(const EntryInfo& /*entry*/) {}
    // The entry's verdict (every entry, folders included).
    virtual void on_entry(const EntryInfo& entry) = 0;
    // A file that cannot be installed (installing only): the caption is the path or the
    // entry name concerned.
    virtual void on_file_error(const char* /*caption*/) {}

protected:
    ~ArchiveListener() = default;
};

// Where entries go. The installer's destination is the target folder on disk; a test run's
// is a plan of the same folder, or nowhere at all.
class EntryDestination {
public:
    // Whether the entry is written: the product-language rule. Installing, an existing file
    // of a language not chosen is removed on the way.
    virtual bool wanted(const char* entry_name, const char* target_path) = 0;
    // Creates the entry's file anew (its folders first; what stood there is replaced).
    // Null when it cannot be made.
    virtual EntryOutput* create(const char* target_path) = 0;
    // Gives the file of the last create the entry's time and attributes and closes it;
    // false when the file could not be closed whole.
    virtual bool keep(uint32_t dos_time, uint32_t attr) = 0;
    // Closes and removes the file of the last create: its entry failed.
    virtual void discard() = 0;

protected:
    ~EntryDestination() = default;
};

struct RunSetup {
    RunMode mode;
    EntryDestination* destination;  // kTest and kInstall
    const char* target_folder;      // ends in '\' (installing); "" for a test's plan
};

// What kept a run from reading the archive whole, where no entry is to blame.
enum class ArchiveProblem {
    kNone,
    kCannotOpen,
    kNoArchive,          // none at the file's start, none found by the scan
    kOutOfMemory,
    kDamagedMainHeader,  // the main header's checksum differs
    kSeekFailed,         // the file cannot be positioned where a block says the next one is
    kNoEntries,          // not a single file entry
    kContinues,          // the last entry continues in a next volume
    kCutShort,           // the archive promised its end mark and ends without it
};

const char* archive_problem_text(ArchiveProblem problem);

struct RunSummary {
    ArchiveProblem problem;
    uint32_t entries;            // file headers, folders included
    uint32_t failed;             // entries with a problem
    EntryProblem first_problem;  // of the first of them
    uint64_t unpacked_bytes;
    uint64_t packed_bytes;       // as the headers say
    uint64_t packed_read;        // as the data steps read: never more than the file holds
    uint32_t files_written;      // entries the run wrote (a check: would write)
    uint64_t bytes_written;      // their unpacked sizes
    uint32_t longest_name;       // the longest entry name, in bytes
    bool main_header_crc_ok;
    bool end_mark_promised;      // the main header promises the writer's end mark
    bool end_mark;               // the archive ends with the writer's end mark
    bool continues;              // the last entry continues in a next volume
};

// The loop over an archive in `ctx.archive_file`, open at its start; the record is
// zero-filled and its checksum table built.
int32_t run_entries(ArchiveContext& ctx, const RunSetup& setup, ArchiveListener& listener,
                    RunSummary& summary);

// Creates the record, opens the file at `path` (others may read it meanwhile, not write it)
// and runs the loop.
int32_t run_archive(const char* path, const RunSetup& setup, ArchiveListener& listener,
                    RunSummary& summary);
// The same over a stream already open at its start (a memory stream in the fuzzers).
int32_t run_archive_file(File file, const RunSetup& setup, ArchiveListener& listener,
                         RunSummary& summary);

// The same over a file the caller keeps open, from its start: an installation checks the
// archive and then installs it from one open file, which nobody may change meanwhile.
int32_t run_archive_kept(File& file, const RunSetup& setup, ArchiveListener& listener,
                         RunSummary& summary);

// Reads every header and nothing else.
int32_t list_archive(const char* path, ArchiveListener& listener, RunSummary& summary);

}  // namespace qarn
