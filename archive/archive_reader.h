// Finding the archive in a setup file and walking its block headers.
#pragma once
#include <cstdint>

#include "archive/archive_context.h"

namespace qarn {

// How far into the setup file the scan for an appended archive reaches: it reads from file
// offset 7 up to 249,999 bytes, so the last byte it can see is at offset 250,005.
inline constexpr uint32_t kScanBufferSize = 250000;
inline constexpr uint32_t kScanReadSize = kScanBufferSize - 1;

bool is_path_separator(char c);

// ctx.archive_file must be open at its start. Returns (and stores) the LocateResult; leaves
// the file just after the 13 main-header bytes.
int32_t locate_archive(ArchiveContext& ctx);

// Reads what is left of the main header (it may be longer than its 13 fixed bytes),
// judges its checksum and leaves the file at the first block after it. False when the
// file cannot be positioned there.
bool finish_main_header(ArchiveContext& ctx);

// Reads 13 (main) or 32 (file) header bytes and decodes them; returns the count read.
uint32_t read_block_header(ArchiveContext& ctx, uint8_t type);

// Finds the next block of the requested type (low 8 bits), stopping at sub-blocks too when
// kRequestWithSubBlocks is set. Returns the bytes consumed, 0 at the end of the archive,
// when the block chain is broken or does not move forward, or when a seek failed (then
// ctx.seek_failed is set). A file header found is judged in ctx.header_damage.
uint32_t read_next_header(ArchiveContext& ctx, uint32_t request);

void normalise_file_header(ArchiveContext& ctx);
void apply_host_attributes(ArchiveContext& ctx);

// Seeks and records a failure in ctx.seek_failed.
bool seek_checked(ArchiveContext& ctx, int64_t offset);

}  // namespace qarn
