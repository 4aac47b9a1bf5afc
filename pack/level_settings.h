// What each compression level does. Level 3 is the default.
#pragma once
#include <cstdint>

#include "pack/lazy_parser.h"
#include "pack/match_finder.h"

namespace qarn {

inline constexpr int kMinLevel = 1;
inline constexpr int kMaxLevel = 6;
inline constexpr int kDefaultLevel = 3;

struct LevelSettings {
    MatchFinderConfig finder;
    LazySettings lazy;
    bool optimal;             // price-based optimal parsing
    uint32_t optimal_passes;  // parses of each stretch, each priced by the one before
    // Parses added for a stream's first stretch (no statistics before it) and small ones.
    uint32_t optimal_extra_passes;
    // The optimal parser also weighs a match, a literal or two, and the same distance again
    // (a common shape in tables and code: a field or an operand changed, the rest repeated).
    bool literal_rep;
    uint32_t chunk_tokens;  // tokens between two decisions on where a block ends
};

LevelSettings settings_for_level(int level);

// The method byte of the file headers: '1' to '5' by level; level 6, a slower way to the
// same format, is marked as the best method, '5'.
inline uint8_t method_for_level(int level) {
    return static_cast<uint8_t>('0' + (level < 5 ? level : 5));
}

}  // namespace qarn
