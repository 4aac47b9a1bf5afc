// Bit input: the packed data of one entry as a stream of bits, most significant bit first.
//
// Invariants relied on everywhere:
//  - read_pos indexes the byte holding the next unread bit; 0 <= bit_pos <= 7.
//  - Callers compare read_pos with a refill threshold before a group of reads, and each
//    group reads few enough bits that no window is formed past index 8191. The buffer's
//    padding makes the 4-byte load of a window at up to index 8191 safe; the fourth byte
//    only ever supplies bits below the window's 16.
#pragma once
#include <cstdint>
#include <cstring>

#include "unpack/unpack_state.h"

namespace qarn {

void refill_input(UnpackState& s, bool first);

inline uint32_t load_be32(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The next 16 bits, not consumed.
inline uint32_t peek_bits(const UnpackState& s) {
    return (load_be32(s.input_buffer + s.read_pos) << s.bit_pos) >> 16;
}

inline void skip_bits(UnpackState& s, uint32_t n) {
    const uint32_t bits = s.bit_pos + n;
    s.read_pos += bits >> 3;
    s.bit_pos = bits & 7;
}

// n from 1 to 16.
inline uint32_t read_bits(UnpackState& s, uint32_t n) {
    const uint32_t value = peek_bits(s) >> (16 - n);
    skip_bits(s, n);
    return value;
}

inline uint32_t decode_symbol(UnpackState& s, const DecodeTable& table) {
    const uint32_t window = peek_bits(s);
    const uint32_t fast = table.fast[window >> (16 - kFastBits)];
    if (fast & 15) {
        skip_bits(s, fast & 15);
        return fast >> 4;
    }
    const uint32_t len = code_length_of(table, window, kFastBits + 1);
    skip_bits(s, len);
    return symbol_of(table, window, len);
}

// Bits consumed so far beyond the entry's packed data (0 while inside it).
inline bool input_overrun(const UnpackState& s) {
    const uint64_t consumed_bits =
        (uint64_t{s.input_base} + s.read_pos) * 8 + s.bit_pos;
    return consumed_bits > uint64_t{s.packed_size} * 8;
}

}  // namespace qarn
