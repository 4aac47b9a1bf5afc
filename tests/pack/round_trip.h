// Round trips for the compressor's tests: entries packed into memory, then decoded through
// the project's own decoder exactly as the archive walk decodes them (stored entries passed
// by, compressed ones through one window in order, solid flag as packed).
#pragma once
#include <cstdint>
#include <vector>

#include "archive/planned_destination.h"
#include "pack/archive_writer.h"
#include "pack/pack_stream.h"
#include "tests/support/test_support.h"

namespace qarn::test {

class MemorySource final : public PackSource {
public:
    explicit MemorySource(const Bytes& data, size_t piece = SIZE_MAX)
        : data_(data), piece_(piece) {}
    int64_t read(uint8_t* dst, size_t count) override;

private:
    const Bytes& data_;
    size_t piece_;  // the most one read delivers, to exercise short reads
    size_t pos_ = 0;
};

class MemorySink final : public PackSink {
public:
    bool write(const uint8_t* src, size_t count) override {
        bytes.insert(bytes.end(), src, src + count);
        return true;
    }
    Bytes bytes;
};

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

// An archive in memory; seeking back is allowed, as the writer needs it.
class MemoryOutput final : public ArchiveOutput {
public:
    bool write(const uint8_t* src, size_t count) override;
    bool seek(uint64_t offset) override;
    Bytes bytes;

private:
    size_t pos_ = 0;
};

class MemoryInput final : public EntryInput {
public:
    explicit MemoryInput(const Bytes& data) : data_(data) {}
    int64_t read(uint8_t* dst, size_t count) override;
    bool rewind() override {
        pos_ = 0;
        return true;
    }

private:
    const Bytes& data_;
    size_t pos_ = 0;
};

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
