// Finding the archive in a setup file and walking its block headers.
#pragma once
#include <cstdint>

#include "archive/archive_context.h"

namespace qarn {

// How far into the setup file the scan for an appended archive reaches: it reads from file
// offset 7 up to 249,999 bytes, so the last byte it can see is at offset 250,005.
inline constexpr uint32_t kScanBufferSize = 250000;
inline constexpr uint32_t kScanReadSize = kScanBufferSize - 1;
inline constexpr uint32_t kScanLastOffset = 7 + kScanReadSize - 1;  // 250,005

// The marker is stored with three zero bytes after it: the scan wants the main-header type
// 0x73 two bytes after a marker, so the program's own copy can never pass for an archive,
// whatever the linker places behind it.
struct StoredMarker {
    uint8_t bytes[7];
    uint8_t guard[3];
};
inline constexpr StoredMarker kStoredMarker = {{0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00}, {0, 0, 0}};
inline constexpr const uint8_t (&kMarker)[7] = kStoredMarker.bytes;
inline constexpr uint8_t kOldMarker[4] = {0x52, 0x45, 0x7E, 0x5E};    // "RE~^"
inline constexpr uint8_t kOldSfxSignature[4] = {0x52, 0x53, 0x46, 0x58};  // "RSFX" at offset 28

bool is_path_separator(char c);

// ctx.archive_file must be open at its start. Returns (and stores) the LocateResult; leaves
// the file just after the 13 main-header bytes.
int32_t locate_archive(ArchiveContext& ctx);

// Reads 13 (main) or 32 (file) header bytes and decodes them; returns the count read.
uint32_t read_block_header(ArchiveContext& ctx, uint8_t type);

// Finds the next block of the requested type (low 8 bits), stopping at sub-blocks too when
// bit 0x8000 is set. Returns the bytes consumed, 0 at the end of the archive or when the
// block chain is broken.
uint32_t read_next_header(ArchiveContext& ctx, uint32_t request);

void normalise_file_header(ArchiveContext& ctx);
void apply_host_attributes(ArchiveContext& ctx);

}  // namespace qarn
