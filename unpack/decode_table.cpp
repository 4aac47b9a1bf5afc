#include "unpack/decode_table.h"

namespace qarn {

uint32_t decode_entry_of(TableKind kind, uint32_t symbol) {
    using namespace decode_entry;
    uint32_t extra = 0;
    uint32_t base = 0;
    uint32_t what = 0;
    if (kind == TableKind::kLiteral) {
        if (symbol < 256) {
            base = symbol;
        } else if (symbol >= kSymLongMatch) {
            what = kKindLong;
            extra = kLengthBits[symbol - kSymLongMatch];
            base = kLengthBases[symbol - kSymLongMatch] + 3u;
        } else if (symbol >= kSymShortMatch && symbol < kSymTableChange) {
            what = kKindShort;
            extra = kShortBits[symbol - kSymShortMatch];
            base = kShortBases[symbol - kSymShortMatch] + 1u;
        } else if (symbol > kSymRepeatLast && symbol < kSymShortMatch) {
            what = kKindRecent;
            base = symbol - kSymRepeatLast;
        } else {
            what = kKindOther;
        }
    } else if (kind == TableKind::kDistance && symbol < kDistanceSymbols) {
        extra = kDistanceBits[symbol];
    } else if (kind == TableKind::kRepeat && symbol < kRepeatSymbols) {
        extra = kLengthBits[symbol];
        base = kLengthBases[symbol] + 2u;
    }
    return what | base << kBaseShift | symbol << kSymbolShift | extra << kExtraShift | extra;
}

void build_decode_table(const uint8_t* lengths, DecodeTable& table, uint32_t count,
                        TableKind kind) {
    if (count > kDecodeCapacity) count = kDecodeCapacity;  // callers never ask for more

    uint32_t count_of[16] = {};
    for (uint32_t i = 0; i < count; ++i) ++count_of[lengths[i] & 15];
    count_of[0] = 0;

    uint32_t next[16];
    table.limits[0] = 0;
    table.starts[0] = 0;
    next[0] = 0;
    // N stays far below 2^31: at most 298 symbols, each adding at most 2^15 to limits[n].
    uint32_t n_value = 0;
    for (uint32_t n = 1; n < 16; ++n) {
        n_value = 2 * (n_value + count_of[n]);
        uint32_t m = n_value << (15 - n);
        table.limits[n] = m > 0xFFFF ? 0xFFFF : m;
        table.starts[n] = table.starts[n - 1] + count_of[n - 1];
        next[n] = table.starts[n];
    }
    for (uint32_t i = 0; i < count; ++i) {
        const uint32_t len = lengths[i] & 15;
        if (len != 0) table.symbols[next[len]++] = static_cast<uint16_t>(i);
    }
    table.symbol_count = count;
    table.kind = kind;

    // The fast table. The windows that decode with length n are exactly those from
    // limits[n - 1] up to limits[n] (the last length whose limit was capped at 0xFFFF takes
    // the rest). Limits of lengths up to kFastBits are multiples of 2^(16 - kFastBits)
    // unless capped, so each such range is a whole run of prefixes, in which the symbol
    // index steps by one every 2^(kFastBits - n) prefixes. Prefixes past the last of these
    // ranges hold longer codes and are marked for the slow path.
    constexpr uint32_t shift = 16 - kFastBits;
    constexpr uint32_t prefixes = 1u << kFastBits;
    uint32_t prefix = 0;
    for (uint32_t n = 1; n <= kFastBits && prefix < prefixes; ++n) {
        const uint32_t end = table.limits[n] >= 0xFFFF ? prefixes : table.limits[n] >> shift;
        const uint32_t step = 1u << (kFastBits - n);
        uint32_t index = table.starts[n] + (((prefix << shift) - table.limits[n - 1]) >> (16 - n));
        while (prefix < end) {
            const uint32_t entry = decode_entry_of(kind, table.symbols[index < count ? index : 0]) + n;
            const uint32_t group_end = (prefix / step + 1) * step;
            const uint32_t stop = group_end < end ? group_end : end;
            while (prefix < stop) table.fast[prefix++] = entry;
            ++index;
        }
    }
    while (prefix < prefixes) table.fast[prefix++] = 0;
}

}  // namespace qarn
