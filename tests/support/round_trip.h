// Round trips for the compressor's tests: entries packed into memory, then decoded through
// the project's own decoder exactly as the archive walk decodes them (stored entries passed
// by, compressed ones through one window in order, solid flag as packed).
#pragma once
#include <cstdint>
#include <vector>

#include "archive/planned_destination.h"
#include "pack/archive_writer.h"
#include "pack/pack_stream.h"
#include "tests/support/memory_streams.h"
#include "tests/support/test_support.h"

namespace qarn::test {

struct PackedEntry {
    Bytes packed;  // empty for a stored entry
    bool stored = false;
    bool solid = false;
};

// Words in a pseudo-random order: text that compresses like text.
Bytes text_sample(size_t n, uint32_t seed);
// Structured binary: records with counters, small integers and repeated fields.
Bytes binary_sample(size_t n, uint32_t seed);

// Packs `inputs` as consecutive entries of one stream at `level`; empty inputs and those
// that do not shrink are stored. Fails the test on any other outcome.
std::vector<PackedEntry> pack_entries(const std::vector<Bytes>& inputs, int level);

// Decodes the packed entries in order through one window; stored ones are copied.
std::vector<Bytes> unpack_entries(const std::vector<Bytes>& inputs,
                                  const std::vector<PackedEntry>& packed);

// Packs, decodes and compares every entry; returns the total packed size.
uint64_t expect_round_trip(const std::vector<Bytes>& inputs, int level);

struct NamedInput {
    std::string name;
    Bytes data;
    uint32_t attributes = 0x20;
    uint32_t dos_time = 0x5A2C6341;
};

// Writes an archive of `inputs` at `level` behind `prefix`; the outcomes per entry are
// returned through `outcomes` when given.
Bytes write_archive(const std::vector<NamedInput>& inputs, int level, const Bytes& prefix = {},
                    std::vector<EntryOutcome>* outcomes = nullptr);

// What `mksetup test` reports on an archive: the run's result and each entry's problem.
struct WalkReport {
    int32_t result;
    RunSummary summary;
    ArchiveInfo archive;
    MainHeader main_header;
    std::vector<std::string> names;
    std::vector<EntryProblem> problems;
    std::vector<FileHeader> headers;
};
WalkReport walk_bytes(const Bytes& archive);

}  // namespace qarn::test
