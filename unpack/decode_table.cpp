#include "unpack/decode_table.h"

namespace qarn {

void build_decode_table(const uint8_t* lengths, DecodeTable& table, uint32_t count) {
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

    // The fast table. Limits of lengths up to kFastBits are multiples of 2^(16 - kFastBits)
    // unless capped at 0xFFFF, so every window sharing a top-kFastBits prefix has the same
    // length when that length is kFastBits or less. Lengths never decrease with the window,
    // so one pass with a moving length suffices.
    constexpr uint32_t shift = 16 - kFastBits;
    uint32_t len = 1;
    for (uint32_t prefix = 0; prefix < (1u << kFastBits); ++prefix) {
        const uint32_t v = prefix << shift;
        while (len < 15 && v >= table.limits[len]) ++len;
        if (len <= kFastBits) {
            table.fast[prefix] = static_cast<uint16_t>((symbol_of(table, v, len) << 4) | len);
        } else {
            table.fast[prefix] = 0;
        }
    }
}

}  // namespace qarn
