// Levels 1 to 4: at each position the best-paying match (found by the hash chains or at a
// recent distance) is taken, unless looking one or two positions ahead finds one that pays
// more, in which case a literal goes first ("lazy" matching).
#pragma once
#include <cstdint>

#include "pack/parse_context.h"

namespace qarn {

inline constexpr uint32_t kAllPositions = 0xFFFFFFFFu;

struct LazySettings {
    uint32_t lazy_steps;   // 0: greedy
    uint32_t nice_length;  // a match this long is taken without looking ahead
    // Positions inside a taken match that are indexed, at each of its ends; the middle of a
    // long match is passed over (0: none; kAllPositions: every one).
    uint32_t insert_in_matches;
};

class LazyParser {
public:
    void configure(const LazySettings& settings) { settings_ = settings; }
    // Parses from `pos`; no token starts at or after `limit`, though the last match may
    // run past it. Returns the position after the last token.
    uint32_t parse(ParseContext& c, uint32_t pos, uint32_t limit);
    // The price model changed: refresh the estimate of what a literal costs.
    void prices_changed(const PriceModel& prices, const SymbolCounts& counts);

private:
    struct Choice {
        uint32_t length;  // 0: none
        uint32_t distance;
        MatchCoding coding;
        int32_t gain;  // bits saved against literals, in price units
    };
    Choice best_at(ParseContext& c, uint32_t pos);

    LazySettings settings_{};
    uint32_t literal_price_ = 8 * kPriceScale;
    Match matches_[kMaxMatchesPerPosition];
};

}  // namespace qarn
