// The whole state of the RAR 2.0 decoder: one record, zero-filled when the extraction run
// creates it, carried from entry to entry so that the entries of a solid archive decode as
// one stream.
#pragma once
#include <cstdint>

#include "unpack/byte_streams.h"
#include "unpack/decode_table.h"
#include "unpack/rar20_format.h"

namespace qarn {

inline constexpr uint32_t kInputBufferSize = 8192;
inline constexpr uint32_t kInputKeep = 32;  // bytes a refill moves from the end to the front
inline constexpr uint32_t kInputRefillSize = kInputBufferSize - kInputKeep;  // 8,160
// Refill thresholds: a group of reads starting at or below them never reads past index 8191.
inline constexpr uint32_t kRefillBeforeSymbol = 8162;
inline constexpr uint32_t kRefillBeforeHeader = 8167;
inline constexpr uint32_t kRefillBeforeLength = 8187;

struct UnpackState {
    // --- Bit input --------------------------------------------------------------------
    // The byte at read_pos holds the next unread bit; bit_pos bits of it (from the most
    // significant) are consumed. The padding lets a bit window be read with one 32-bit load;
    // it never contributes bits to a window.
    uint8_t input_buffer[kInputBufferSize + 8];
    uint32_t read_pos;
    uint32_t bit_pos;
    uint32_t read_top;     // valid bytes after the last fill
    // Bound on running past the packed data: input_base counts the stream bytes that lie
    // before input_buffer[0]; packed_size is what the entry holds (lowered to where the data
    // really ended when a fill comes back short). Once more bits have been consumed than
    // that, the entry is damaged and decoding stops.
    uint32_t input_base;
    uint32_t packed_size;

    // --- Code-length tables ----------------------------------------------------------------
    uint8_t old_lengths[kMaxTableSize];
    uint32_t audio_block;   // nonzero after a header for an audio block
    int32_t channel_count;
    int32_t current_channel;
    DecodeTable precode_table;
    DecodeTable literal_table;
    DecodeTable distance_table;
    DecodeTable repeat_table;
    DecodeTable audio_tables[4];

    // --- LZ window -----------------------------------------------------------------------
    uint8_t* window;        // 1 MB, owned by the caller
    uint32_t write_pos;
    // Nonzero from the start of a non-solid entry until the output first reaches the
    // window's end: the bytes from write_pos to the end have not been written since, hold
    // whatever earlier entries left there, and read as zero. The window is thus cleared
    // without touching it.
    uint32_t window_unwritten;
    uint32_t flush_pos;
    uint32_t old_distances[4];
    int32_t old_distance_count;
    uint32_t last_length;
    uint32_t last_distance;
    int32_t remaining_size;  // unpacked bytes still to produce; counted down while decoding

    // --- Channels --------------------------------------------------------------------------
    PackedReader* reader;
    UnpackedWriter* writer;
};

}  // namespace qarn
