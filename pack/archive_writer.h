// Writes an archive in the RAR 1.5/2.0 block format: the marker, a main header marking the
// archive solid, then one file header and its data per entry, then the end mark. Entries
// are compressed as one solid stream (see Rar20Encoder); empty entries and entries that do
// not shrink are stored.
//
// Each file header is written before its data with the sizes still open, and completed
// once the data is out; the output therefore has to allow going back (a file, or memory).
#pragma once
#include <cstdint>

#include "archive/block_format.h"
#include "archive/checksum.h"
#include "pack/pack_stream.h"
#include "pack/rar20_encoder.h"

namespace qarn {

class ArchiveOutput {
public:
    // All `count` bytes at the current position, or false.
    virtual bool write(const uint8_t* src, size_t count) = 0;
    // Moves to an absolute offset that was written before (or the end).
    virtual bool seek(uint64_t offset) = 0;

protected:
    ~ArchiveOutput() = default;
};

// An entry's bytes, readable a second time: an entry that does not shrink is stored, and
// its bytes are then read again from the start.
class EntryInput : public PackSource {
public:
    virtual bool rewind() = 0;

protected:
    ~EntryInput() = default;
};

struct EntryDescription {
    const char* name;     // as stored: '\' between folders, 1 to 259 bytes
    uint32_t attributes;  // 0x01 read-only, 0x02 hidden, 0x04 system, 0x20 archive
    uint32_t dos_time;    // see dos_time.h
    uint64_t size;        // below 2 GB
};

struct EntryOutcome {
    uint64_t packed_size;
    uint32_t file_crc;
    uint8_t method;  // '0' stored, '1'..'5' compressed
    bool solid;
};

// The main header every archive of the writer starts with (after the marker): solid, 13
// bytes, its checksum sealed.
MainHeader archive_main_header();

class ArchiveWriter {
public:
    // Writes the marker and the main header at the output's current position, `offset`.
    // `threads` as for the encoder: 0 lets it choose; the output is the same either way.
    PackStatus begin(ArchiveOutput& out, uint64_t offset, int level, uint32_t threads = 0);
    PackStatus add_entry(const EntryDescription& entry, EntryInput& input, EntryOutcome& outcome);
    // Ends the archive with the end mark, after which nothing is read as a block.
    PackStatus finish();
    // The offset just after everything written.
    uint64_t end_offset() const { return pos_; }
    const Rar20Encoder& encoder() const { return encoder_; }

private:
    PackStatus put(const uint8_t* data, size_t count);
    PackStatus store(EntryInput& input, uint64_t size, uint32_t& crc);

    ArchiveOutput* out_ = nullptr;
    uint64_t pos_ = 0;
    int level_ = kDefaultLevel;
    Rar20Encoder encoder_;
    Crc32Table crc_table_{};
};

}  // namespace qarn
