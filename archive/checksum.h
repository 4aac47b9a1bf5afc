// Data and header checksums: the standard reflected CRC-32 (polynomial 0xEDB88320) for
// archives of the new kind, and a 16-bit add-and-rotate sum for archives of the old kind.
#pragma once
#include <cstddef>
#include <cstdint>

namespace qarn {

enum ArchiveKind : uint32_t { kKindUnknown = 0, kKindOld = 1, kKindNew = 2 };

// slice[0] is the byte-wise table; tables 1 to 15 extend it so that sixteen bytes are
// folded per step (slicing by sixteen). Built at run time, once per extraction run: nothing
// of it is in the program image. Where the processor multiplies without carries
// (PCLMULQDQ, asked of the processor when the table is built), long pieces are folded
// sixty-four bytes at a time instead, and the tables serve the short ends; every other
// processor uses the tables alone. The installer, built for size, builds and uses the
// byte-wise table only: the folding serves it on every processor made in the last decade.
struct Crc32Table {
    uint32_t slice[16][256];
    uint32_t carryless;  // nonzero: the processor has PCLMULQDQ and SSE2
};

// Fills the tables and looks at the processor. `allow_carryless` false keeps to the tables
// (for tests that compare both ways).
void build_crc32_table(Crc32Table& table, bool allow_carryless = true);

// Running CRC-32 without start value or final complement: the caller supplies both.
uint32_t crc32_update(const Crc32Table& table, uint32_t running, const uint8_t* data,
                      size_t length);

uint16_t old_checksum(uint16_t running, const uint8_t* data, size_t length);

// CRC-32 for any kind but the old one, whose sum is kept zero-extended to 32 bits.
uint32_t update_checksum(const Crc32Table& table, uint32_t running, const uint8_t* data,
                         size_t length, uint32_t kind);

// The whole CRC-32 of a buffer (start 0xFFFFFFFF, final complement), as stored in file headers.
uint32_t crc32_of(const Crc32Table& table, const uint8_t* data, size_t length);

}  // namespace qarn
