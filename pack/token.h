// What the parsers produce and the block coder writes: one symbol of the literal/length
// alphabet with everything that follows it in the bit stream. The decoder's match history
// (the ring of recent distances and the last match) is mirrored here, because which symbols
// a match may use, and the length the decoder adds on its own, depend on it.
#pragma once
#include <bit>
#include <cstdint>

#include "unpack/rar20_format.h"

namespace qarn {

struct Token {
    uint16_t symbol;          // 0..255 literal, 256..268 and 270..297 matches
    uint8_t length_code;      // 257..260: repeat-table symbol; 270..297: unused (symbol - 270)
    uint8_t length_extra;     // extra bits of the length code
    uint8_t distance_code;    // 270..297: distance-table symbol
    uint8_t short_extra;      // 261..268: extra bits of the short distance
    uint16_t distance_extra;  // 270..297: extra bits of the distance
};

// Longest match a single symbol can produce: 255 + 3 plus 2 for a far long match, or
// 255 + 2 plus 3 for a far repeated distance.
inline constexpr uint32_t kMaxMatch = 260;
inline constexpr uint32_t kMaxDistance = kWindowSize;  // code 47 with all extra bits set

// The decoder's ring of the last four distances (most recent first) and its last length.
// The most recent distance is also the last match's distance, since every match enters it.
struct MatchHistory {
    uint32_t reps[4];
    uint32_t last_length;

    void push(uint32_t distance, uint32_t length) {
        reps[3] = reps[2];
        reps[2] = reps[1];
        reps[1] = reps[0];
        reps[0] = distance;
        last_length = length;
    }
};

// Lengths the decoder adds on its own: a long match (270..297) gains 1 from 0x2000 and
// 1 more from 0x40000; a match at a recent distance (257..260) gains 1 each from 0x101,
// 0x2000 and 0x40000.
inline uint32_t long_bonus(uint32_t distance) {
    return (distance >= kMidDistance ? 1u : 0u) + (distance >= kFarDistance ? 1u : 0u);
}
inline uint32_t rep_bonus(uint32_t distance) {
    return (distance >= kNearDistance ? 1u : 0u) + long_bonus(distance);
}

// Shortest and longest lengths each kind of symbol can express at a distance.
inline uint32_t long_min_length(uint32_t distance) { return 3 + long_bonus(distance); }
inline uint32_t long_max_length(uint32_t distance) { return 258 + long_bonus(distance); }
inline uint32_t rep_min_length(uint32_t distance) { return 2 + rep_bonus(distance); }
inline uint32_t rep_max_length(uint32_t distance) { return 257 + rep_bonus(distance); }
inline constexpr uint32_t kShortMaxDistance = 256;

// Length value (0..255) to its length code (0..27).
inline uint32_t length_code_of(uint32_t value) {
    if (value < 8) return value;
    const uint32_t top = static_cast<uint32_t>(std::bit_width(value)) - 1;  // 3..7
    return 4 * top - 4 + ((value >> (top - 2)) & 3);
}

// Distance (1..0x100000) to its distance code (0..47).
inline uint32_t distance_code_of(uint32_t distance) {
    const uint32_t v = distance - 1;
    if (v < 4) return v;
    if (v >= kFarDistance) return 32 + (v >> 16);
    const uint32_t top = static_cast<uint32_t>(std::bit_width(v)) - 1;  // 2..17
    return 2 * top + ((v >> (top - 1)) & 1);
}

// Short-match code (0..7) of a distance 1..256.
inline uint32_t short_code_of(uint32_t distance) {
    const uint32_t v = distance - 1;
    if (v < 8) return v >> 2;
    if (v < 16) return 2;
    if (v < 32) return 3;
    if (v < 64) return 4;
    if (v < 128) return 5;
    return v < 192 ? 6 : 7;
}

inline Token literal_token(uint8_t byte) { return Token{byte, 0, 0, 0, 0, 0}; }

inline Token repeat_last_token() { return Token{kSymRepeatLast, 0, 0, 0, 0, 0}; }

// A match at the rep_index-th most recent distance; `length` must lie within
// rep_min_length..rep_max_length of that distance.
inline Token rep_token(uint32_t rep_index, uint32_t length, uint32_t distance) {
    const uint32_t value = length - 2 - rep_bonus(distance);
    const uint32_t code = length_code_of(value);
    return Token{static_cast<uint16_t>(kSymOldDistance + rep_index),
                 static_cast<uint8_t>(code),
                 static_cast<uint8_t>(value - kLengthBases[code]),
                 0,
                 0,
                 0};
}

// Length 2 at distance 1..256.
inline Token short_token(uint32_t distance) {
    const uint32_t code = short_code_of(distance);
    return Token{static_cast<uint16_t>(kSymShortMatch + code),           0, 0, 0,
                 static_cast<uint8_t>(distance - 1 - kShortBases[code]), 0};
}

// `length` within long_min_length..long_max_length of `distance`.
inline Token long_token(uint32_t length, uint32_t distance) {
    const uint32_t value = length - 3 - long_bonus(distance);
    const uint32_t lcode = length_code_of(value);
    const uint32_t dcode = distance_code_of(distance);
    return Token{static_cast<uint16_t>(kSymLongMatch + lcode),
                 static_cast<uint8_t>(lcode),
                 static_cast<uint8_t>(value - kLengthBases[lcode]),
                 static_cast<uint8_t>(dcode),
                 0,
                 static_cast<uint16_t>(distance - 1 - kDistanceBases[dcode])};
}

}  // namespace qarn
