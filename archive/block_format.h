// The archive's block format in one place, for the reader and the writer alike: the marker,
// the field layout of the main, file and end headers, their flags, and the decoding and
// encoding of each. All multi-byte fields are little-endian; offsets count from the start
// of the block.
//
// Every block starts with the same seven bytes:
//   0 head_crc (2)   low 16 bits of the complemented CRC-32 of the header from offset 2
//   2 head_type (1)
//   3 head_flags (2) 0x8000: a 4-byte add_size follows, and that many data bytes follow
//                    the header
//   5 head_size (2)  the whole header, head_crc included
// The next block starts at the block's start + head_size (+ add_size with 0x8000).
#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

// The marker, "Rar!" 1A 07 00. It is stored with three zero bytes after it: the installer's
// scan wants the main-header type 0x73 two bytes after a marker, so the program's own copy
// can never pass for an archive, whatever the linker places behind it.
struct StoredMarker {
    uint8_t bytes[7];
    uint8_t guard[3];
};
inline constexpr StoredMarker kStoredMarker = {{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00},
                                               {0, 0, 0}};
inline constexpr const uint8_t (&kMarker)[7] = kStoredMarker.bytes;
inline constexpr uint8_t kOldMarker[4] = {0x52, 0x45, 0x7E, 0x5E};                // "RE~^"
inline constexpr uint8_t kOldSfxSignature[4] = {0x52, 0x53, 0x46, 0x58};          // "RSFX"
inline constexpr uint32_t kMarkerBytes = sizeof kMarker;

// Block types.
inline constexpr uint8_t kMainHeadType = 0x73;
inline constexpr uint8_t kFileHeadType = 0x74;
inline constexpr uint8_t kSubBlockType = 0x77;
inline constexpr uint8_t kEndHeadType = 0x7B;

// Generic header flags.
inline constexpr uint16_t kFlagHasAddSize = 0x8000;
inline constexpr uint16_t kFlagSkipIfUnknown = 0x4000;

// Main header flags (other bits are not interpreted).
inline constexpr uint16_t kMainFlagVolume = 0x0001;
inline constexpr uint16_t kMainFlagSolid = 0x0008;

// The main header's reserved2 field as the writer sets it: "QEND", the promise that the
// archive ends with the writer's end mark. An archive that promises it and ends otherwise
// (the end of the file, a broken chain) was cut short or damaged, and installs nothing.
// Other readers pass over the field: it only means something beside a flag (0x0020) this
// writer never sets.
inline constexpr uint32_t kEndMarkPromise = 0x444E4551;  // 'Q' 'E' 'N' 'D', little-endian

// File header flags.
inline constexpr uint16_t kFileFlagFromPrevious = 0x01;
inline constexpr uint16_t kFileFlagToNext = 0x02;
inline constexpr uint16_t kFileFlagEncrypted = 0x04;
inline constexpr uint16_t kFileFlagSolid = 0x10;
inline constexpr uint16_t kFileFlagDirectoryMask = 0xE0;  // all three bits: a folder
// The window the data needs (1 MB); readers that size their window by it look at it.
inline constexpr uint16_t kFileFlagWindow1M = 0x0080;

// File attributes the reader interprets.
inline constexpr uint32_t kAttrReadOnly = 0x01;
inline constexpr uint32_t kAttrVolumeLabel = 0x08;
inline constexpr uint32_t kAttrDirectory = 0x10;
inline constexpr uint32_t kAttrArchive = 0x20;

// Sizes of the fixed parts.
inline constexpr uint32_t kBlockHeaderBytes = 7;   // the smallest valid head_size
inline constexpr uint32_t kMainHeaderBytes = 13;
inline constexpr uint32_t kFileHeaderFixedBytes = 32;  // the name follows
inline constexpr uint32_t kEndHeaderBytes = 7;

// Field offsets of the generic header, shared by every block.
namespace block_field {
inline constexpr uint32_t kCrc = 0;
inline constexpr uint32_t kType = 2;
inline constexpr uint32_t kFlags = 3;
inline constexpr uint32_t kSize = 5;
// Main header.
inline constexpr uint32_t kReserved1 = 7;
inline constexpr uint32_t kReserved2 = 9;
// File header; pack_size is the block's add_size.
inline constexpr uint32_t kPackSize = 7;
inline constexpr uint32_t kUnpSize = 11;
inline constexpr uint32_t kHostOs = 15;
inline constexpr uint32_t kFileCrc = 16;
inline constexpr uint32_t kTime = 20;
inline constexpr uint32_t kUnpVer = 24;
inline constexpr uint32_t kMethod = 25;
inline constexpr uint32_t kNameSize = 26;
inline constexpr uint32_t kAttr = 28;
}  // namespace block_field

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
    uint8_t host_os;    // 0 MS-DOS, 1 OS/2, 2 Windows: attributes in the Windows form
    uint32_t file_crc;
    uint32_t ftime;     // MS-DOS date (high 16 bits) and time, local time
    uint8_t unp_ver;    // 10 * major + minor
    uint8_t method;     // '0' stored, '1'..'5' compressed
    uint16_t name_size;
    uint32_t attr;
};

// The generic header of the last block a search stopped at.
struct BlockHeader {
    uint16_t head_crc;
    uint8_t head_type;
    uint16_t head_flags;
    uint16_t head_size;
    uint32_t add_size;
};

void decode_main_header(const uint8_t raw[kMainHeaderBytes], MainHeader& header);
void decode_file_header(const uint8_t raw[kFileHeaderFixedBytes], FileHeader& header);

// The encoders write the fields as given, head_crc included; seal_header computes it.
void encode_main_header(const MainHeader& header, uint8_t out[kMainHeaderBytes]);
void encode_file_header(const FileHeader& header, uint8_t out[kFileHeaderFixedBytes]);

struct Crc32Table;
// Puts the checksum of the header's bytes from offset 2 to `size` into its head_crc field.
void seal_header(const Crc32Table& table, uint8_t* header, size_t size);

// What ends every archive the writer makes: the format's end-of-archive block, for readers
// that know it, then a header whose head_size is below the smallest valid one, which ends
// a walk right there. Whatever follows (a signature appended to a setup file, padding)
// is never read as blocks.
inline constexpr uint32_t kEndMarkBytes = kEndHeaderBytes + kBlockHeaderBytes;
void encode_end_mark(const Crc32Table& table, uint8_t out[kEndMarkBytes]);

}  // namespace qarn
