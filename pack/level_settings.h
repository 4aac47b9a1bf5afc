// What each compression level does: one row per level in level_settings.cpp, its
// parameters in columns. Level 3 is the default.
#pragma once
#include <cstdint>

#include "pack/lazy_parser.h"
#include "pack/match_finder.h"
#include "pack/solid_order.h"

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
    // The method byte of the file headers: '1' to '5'; level 6, a slower way to the same
    // format, is marked as the best method, '5'.
    uint8_t method;
    SolidOrder order;  // of the files in the stream, unless the caller chooses
};

// `level` from kMinLevel to kMaxLevel.
const LevelSettings& settings_for_level(int level);

inline uint8_t method_for_level(int level) { return settings_for_level(level).method; }

}  // namespace qarn
