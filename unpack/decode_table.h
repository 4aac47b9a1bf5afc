// Canonical Huffman decoding tables.
//
// A table is described by `limits` (the exclusive upper bound, as a left-justified 16-bit
// value, of all codes of length n or less, capped at 0xFFFF), `starts` and `symbols`. Those
// three fully define how a 16-bit bit window decodes, including for incomplete and over-full
// sets of lengths, which damaged data may carry and which must decode exactly as the format's
// reference rules say.
//
// Speed comes from `fast`: for each value of the window's top kFastBits bits it holds the
// decoded symbol and its code length, precomputed from the same limits, so that the common
// case is one lookup. Codes longer than kFastBits fall back to a short search over `limits`.
#pragma once
#include <cstdint>

#include "unpack/rar20_format.h"

namespace qarn {

inline constexpr uint32_t kFastBits = 10;
inline constexpr uint32_t kDecodeCapacity = kLiteralSymbols;  // the largest alphabet, 298

struct DecodeTable {
    uint32_t symbol_count;      // alphabet size given to the builder
    uint32_t limits[16];
    uint32_t starts[16];
    uint16_t symbols[kDecodeCapacity];  // coded symbols by length, then by number
    // (symbol << 4) | length; a length of 0 marks a code longer than kFastBits.
    uint16_t fast[1u << kFastBits];
};

// Builds `table` from `count` code-length bytes (low 4 bits used, 0 = no code); count <= 298.
// Entries of `symbols` beyond the coded ones keep what an earlier build left there.
void build_decode_table(const uint8_t* lengths, DecodeTable& table, uint32_t count);

// Code length of the left-justified 16-bit window `window` by the reference rule: the
// smallest n in 1..14 with (window & 0xFFFE) < limits[n], else 15.
inline uint32_t code_length_of(const DecodeTable& table, uint32_t window, uint32_t first_len) {
    const uint32_t v = window & 0xFFFE;
    uint32_t len = first_len;
    while (len < 15 && v >= table.limits[len]) ++len;
    return len;
}

// Symbol of a code of length `len` found in `window`.
inline uint32_t symbol_of(const DecodeTable& table, uint32_t window, uint32_t len) {
    const uint32_t v = window & 0xFFFE;
    uint32_t index = table.starts[len] + ((v - table.limits[len - 1]) >> (16 - len));
    if (index >= table.symbol_count) index = 0;
    return table.symbols[index];
}

}  // namespace qarn
