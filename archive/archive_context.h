// The record of one archive run: headers of the archive as read, the two data channels of
// the current entry, the checksum table and the decoder's state. One is created zero-filled
// per run and released at its end.
#pragma once
#include <cstdint>

#include "archive/checksum.h"
#include "archive/file_io.h"
#include "unpack/byte_streams.h"
#include "unpack/unpack_state.h"

namespace qarn {

inline constexpr int kPathCapacity = 260;  // bytes with the terminator: at most 259 characters

struct MainHeader {
    uint16_t head_crc;
    uint8_t head_type;
    uint16_t head_flags;
    uint16_t head_size;
    uint16_t reserved1;
    uint32_t reserved2;
};

struct FileHeader {
    uint16_t head_crc;
    uint8_t head_type;
    uint16_t head_flags;
    uint16_t head_size;
    int32_t pack_size;  // the block's add_size, used as a signed count
    int32_t unp_size;   // signed count
    uint8_t host_os;
    uint32_t file_crc;
    uint32_t ftime;     // MS-DOS date (high 16 bits) and time, local time
    uint8_t unp_ver;    // 10 * major + minor
    uint8_t method;     // '0' stored, '1'..'5' compressed
    uint16_t name_size;
    uint32_t attr;
};

struct BlockHeader {
    uint16_t head_crc;
    uint8_t head_type;
    uint16_t head_flags;
    uint16_t head_size;
    uint32_t add_size;
};

// Block types and flags of the archive format.
inline constexpr uint8_t kMainHeadType = 0x73;
inline constexpr uint8_t kFileHeadType = 0x74;
inline constexpr uint8_t kSubBlockType = 0x77;
inline constexpr uint16_t kRequestWithSubBlocks = 0x8000;
inline constexpr uint16_t kFlagHasAddSize = 0x8000;
inline constexpr uint16_t kMainFlagVolume = 0x0001;
inline constexpr uint16_t kMainFlagSolid = 0x0008;
inline constexpr uint16_t kFileFlagFromPrevious = 0x01;
inline constexpr uint16_t kFileFlagToNext = 0x02;
inline constexpr uint16_t kFileFlagEncrypted = 0x04;
inline constexpr uint16_t kFileFlagSolid = 0x10;
inline constexpr uint16_t kFileFlagDirectoryMask = 0xE0;
inline constexpr uint32_t kAttrVolumeLabel = 0x08;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;
inline constexpr uint32_t kMainHeaderBytes = 13;
inline constexpr uint32_t kFileHeaderFixedBytes = 32;

enum LocateResult : int32_t {
    kNoArchive = 0,
    kArchiveAtStart = 1,
    kArchiveIsVolume = 2,
    kArchiveFoundByScan = 3,
};

struct ArchiveContext final : PackedReader, UnpackedWriter {
    uint8_t marker[7];
    MainHeader main_header;
    FileHeader file_header;
    BlockHeader block_header;
    const char* target_folder;  // ends in '\'
    const char* setup_path;
    uint8_t* window;
    char entry_name[kPathCapacity];  // separators turned into '\'
    File archive_file;
    uint32_t next_volume;
    int32_t locate_result;
    uint32_t archive_start;
    uint32_t skip_output;
    uint32_t main_bytes_read;
    uint32_t block_start;
    uint32_t next_block;

    // Data channels of the current entry.
    File* source_file;
    File* output_file;
    int32_t packed_left;
    uint32_t data_checksum;
    uint32_t kind;  // ArchiveKind
    // Set by a caller that verifies without writing: every byte counts as written.
    uint32_t verify_only;
    // Bytes handed to the output channel for the current entry (excess of a damaged entry
    // included), so that an entry whose length differs from its header fails.
    uint64_t bytes_handed;

    // Header checksums: the last file header's verdict, and how many mismatched in this run.
    uint32_t main_header_crc_ok;
    uint32_t file_header_crc_ok;
    uint32_t header_crc_errors;

    Crc32Table crc32_table;
    UnpackState unpack;  // remaining_size lives here: counted down by copy and decoder alike

    int32_t read_packed(uint8_t* dst, int32_t count) override;
    int32_t write_unpacked(const uint8_t* src, int32_t count) override;
};

}  // namespace qarn
