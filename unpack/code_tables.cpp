#include "unpack/code_tables.h"

#include <cstring>

#include "unpack/bit_input.h"

namespace qarn {

void read_tables(UnpackState& s) {
    if (s.read_pos > kRefillBeforeHeader) refill_input(s, false);

    const uint32_t w = peek_bits(s);
    s.audio_block = w & 0x8000;
    if ((w & 0x4000) == 0) std::memset(s.old_lengths, 0, sizeof s.old_lengths);
    skip_bits(s, 2);

    uint32_t table_size = kNormalTableSize;
    if (s.audio_block != 0) {
        s.channel_count = static_cast<int32_t>(((w >> 12) & 3) + 1);
        if (s.current_channel >= s.channel_count) s.current_channel = 0;
        skip_bits(s, 2);
        table_size = static_cast<uint32_t>(s.channel_count) * kAudioSymbols;
    }

    uint8_t precode_lengths[kPrecodeSymbols];
    for (uint8_t& len : precode_lengths) len = static_cast<uint8_t>(read_bits(s, 4));
    build_decode_table(precode_lengths, s.precode_table, kPrecodeSymbols);

    // Positions a header does not reach keep the lengths of the previous header, so that a
    // later header with the keep flag set builds on defined values.
    uint8_t new_lengths[kMaxTableSize];
    std::memcpy(new_lengths, s.old_lengths, sizeof new_lengths);

    uint32_t i = 0;
    while (i < table_size) {
        if (s.read_pos > kRefillBeforeLength) refill_input(s, false);
        const uint32_t sym = decode_symbol(s, s.precode_table);
        if (sym <= 15) {
            new_lengths[i] = static_cast<uint8_t>((s.old_lengths[i] + sym) & 15);
            ++i;
            continue;
        }
        uint32_t run;
        uint8_t value = 0;
        if (sym == 16) {
            run = read_bits(s, 2) + 3;
            // A repeat at the very first position has nothing before it: it repeats 0.
            value = i > 0 ? new_lengths[i - 1] : 0;
        } else if (sym == 17) {
            run = read_bits(s, 3) + 3;
        } else {
            run = read_bits(s, 7) + 11;
        }
        for (; run > 0 && i < table_size; --run) new_lengths[i++] = value;
    }

    if (s.audio_block != 0) {
        for (int32_t c = 0; c < s.channel_count; ++c) {
            build_decode_table(new_lengths + c * kAudioSymbols, s.audio_tables[c], kAudioSymbols);
        }
    } else {
        build_decode_table(new_lengths, s.literal_table, kLiteralSymbols, TableKind::kLiteral);
        build_decode_table(new_lengths + kLiteralSymbols, s.distance_table, kDistanceSymbols,
                           TableKind::kDistance);
        build_decode_table(new_lengths + kLiteralSymbols + kDistanceSymbols, s.repeat_table,
                           kRepeatSymbols, TableKind::kRepeat);
    }
    std::memcpy(s.old_lengths, new_lengths, sizeof new_lengths);
}

void read_final_tables(UnpackState& s) {
    if (s.read_top < s.read_pos + 5) return;
    if (s.audio_block != 0) {
        if (decode_symbol(s, s.audio_tables[s.current_channel]) == kAudioSymbols - 1) read_tables(s);
    } else {
        if (decode_symbol(s, s.literal_table) == kSymTableChange) read_tables(s);
    }
}

}  // namespace qarn
