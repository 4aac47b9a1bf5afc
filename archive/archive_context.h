// The record of one archive run: headers of the archive as read, the two data channels of
// the current entry, the checksum table and the decoder's state. One is created zero-filled
// per run and released at its end.
#pragma once
#include <cstdint>

#include "archive/block_format.h"
#include "archive/checksum.h"
#include "archive/file_io.h"
#include "unpack/byte_streams.h"
#include "unpack/unpack_state.h"

namespace qarn {

inline constexpr int kPathCapacity = 260;  // bytes with the terminator: at most 259 characters

// Asked of read_next_header: stop at sub-blocks too, not only at the wanted type.
inline constexpr uint16_t kRequestWithSubBlocks = 0x8000;

enum LocateResult : int32_t {
    kNoArchive = 0,
    kArchiveAtStart = 1,
    kArchiveIsVolume = 2,
    kArchiveFoundByScan = 3,
};

// What is wrong with a file header, judged as it is read. A damaged header describes
// nothing that can be trusted, not even where the next block is: the walk ends at it.
enum class HeaderDamage : uint8_t {
    kNone,
    kCut,          // the file ends inside the header
    kNoDataSize,   // no add_size (flag 0x8000): its data would be read again as headers
    kNameOutside,  // the name runs past head_size, into what would be the data
    kChecksum,     // head_crc matches neither the whole header nor its fixed bytes and name
};

// Where a written entry's bytes go: the entry's file, or nowhere when an archive is only
// being tested.
class EntryOutput {
public:
    // Stores `count` bytes; returns how many of them reached the file.
    virtual size_t write(const uint8_t* src, size_t count) = 0;

protected:
    ~EntryOutput() = default;
};

struct ArchiveContext final : PackedReader, UnpackedWriter {
    uint8_t marker[7];
    MainHeader main_header;
    FileHeader file_header;
    BlockHeader block_header;
    uint8_t* window;
    char entry_name[kPathCapacity];  // separators turned into '\'
    File archive_file;
    uint32_t next_volume;
    int32_t locate_result;
    uint32_t archive_start;
    uint32_t skip_output;  // the current entry is passed through without output or checksum
    uint32_t main_bytes_read;
    uint32_t block_start;
    uint32_t next_block;

    // Data channels of the current entry.
    File* source_file;
    EntryOutput* output_file;
    int32_t packed_left;
    uint32_t data_checksum;
    uint32_t kind;  // ArchiveKind
    // Bytes handed to the output channel for the current entry (excess of a damaged entry
    // included), and how many of them reached the file: an entry whose length differs from
    // its header, or whose file did not take every byte, fails.
    uint64_t bytes_handed;
    uint64_t bytes_stored;

    // Packed bytes the data channel read in this run: every byte belongs to one entry at
    // most, so this never exceeds the file's size.
    uint64_t packed_read;

    // The walk's own bounds: a seek that failed ends the run; no header is read at or
    // before the offset of the one read last (the main header's to begin with).
    bool seek_failed;
    int64_t last_header_at;
    // The archive ended with the writer's end mark: an end-of-archive block, then a header
    // too short to be one.
    bool end_mark_seen;
    // The file ended inside a block's header: it was cut short.
    bool ends_inside_block;

    // The main header's checksum verdict, and the last file header's.
    bool main_header_crc_ok;
    HeaderDamage header_damage;

    Crc32Table crc32_table;
    UnpackState unpack;  // remaining_size lives here: counted down by copy and decoder alike

    int32_t read_packed(uint8_t* dst, int32_t count) override;
    int32_t write_unpacked(const uint8_t* src, int32_t count) override;
};

}  // namespace qarn
