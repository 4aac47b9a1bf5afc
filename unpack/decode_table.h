// Canonical Huffman decoding tables.
//
// A table is described by `limits` (the exclusive upper bound, as a left-justified 16-bit
// value, of all codes of length n or less, capped at 0xFFFF), `starts` and `symbols`. Those
// three fully define how a 16-bit bit window decodes, including for incomplete and over-full
// sets of lengths, which damaged data may carry and which must decode exactly as the format's
// reference rules say.
//
// Speed comes from `fast`: for each value of the window's top kFastBits bits it holds the
// decoded symbol with everything the decoding loop needs to know about it (see
// DecodeEntry), precomputed from the same limits, so that the common case is one lookup.
// Codes longer than kFastBits fall back to a short search over `limits`.
#pragma once
#include <cstdint>

#include "unpack/rar20_format.h"

namespace qarn {

inline constexpr uint32_t kFastBits = 10;
inline constexpr uint32_t kDecodeCapacity = kLiteralSymbols;  // the largest alphabet, 298

// What a table's symbols mean to the decoding loop, which decides what a decode entry says
// beyond the symbol itself.
enum class TableKind : uint8_t { kPlain, kLiteral, kDistance, kRepeat };

// A decode entry (32 bits) is a symbol and its code length together with the extra bits that
// follow its code, so that the loop consumes both with one shift and finds the extra bits'
// value in the bits it shifted out, off the chain of dependent shifts that the bit stream is:
//   bits 0-4    total: code length plus extra-bit count (0 in `fast`: a longer code)
//   bits 5-9    extra-bit count
//   bits 10-18  symbol
//   bits 19-26  base the extra bits are added to (literal and repeat tables), or the byte
//   bits 27-31  what the symbol does (literal table; DecodeKind)
// Literals carry kind 0, so every entry below kKindLong is a literal.
namespace decode_entry {
inline constexpr uint32_t kExtraShift = 5;
inline constexpr uint32_t kSymbolShift = 10;
inline constexpr uint32_t kBaseShift = 19;
inline constexpr uint32_t kKindShift = 27;
inline constexpr uint32_t kKindLong = 1u << kKindShift;     // 270..297
inline constexpr uint32_t kKindRecent = 2u << kKindShift;   // 257..260, base = 1..4
inline constexpr uint32_t kKindShort = 3u << kKindShift;    // 261..268, base = distance base + 1
inline constexpr uint32_t kKindOther = 4u << kKindShift;    // 256 and 269

inline uint32_t total(uint32_t e) { return e & 31; }
inline uint32_t extra_count(uint32_t e) { return (e >> kExtraShift) & 31; }
inline uint32_t symbol(uint32_t e) { return (e >> kSymbolShift) & 511; }
inline uint32_t base(uint32_t e) { return (e >> kBaseShift) & 255; }
}  // namespace decode_entry

// The entry of `symbol` of a table of `kind` before its code length is added to the total.
uint32_t decode_entry_of(TableKind kind, uint32_t symbol);

struct DecodeTable {
    uint32_t symbol_count;      // alphabet size given to the builder
    uint32_t limits[16];
    uint32_t starts[16];
    uint16_t symbols[kDecodeCapacity];  // coded symbols by length, then by number
    TableKind kind;
    uint32_t fast[1u << kFastBits];     // decode entries by the window's top kFastBits bits
};

// Builds `table` from `count` code-length bytes (low 4 bits used, 0 = no code); count <= 298.
// Entries of `symbols` beyond the coded ones keep what an earlier build left there.
void build_decode_table(const uint8_t* lengths, DecodeTable& table, uint32_t count,
                        TableKind kind = TableKind::kPlain);

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

// The decode entry of a window whose code is longer than kFastBits. Inline in the decoding
// loop: a call there would take the registers that the loop's bit buffer lives in.
inline uint32_t slow_decode_entry(const DecodeTable& table, uint32_t window) {
    const uint32_t len = code_length_of(table, window, kFastBits + 1);
    return decode_entry_of(table.kind, symbol_of(table, window, len)) + len;
}

}  // namespace qarn
