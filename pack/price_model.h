// Estimated bit costs of every way to code a piece of data, for the parsers' choices. Prices
// are in sixteenths of a bit and come either from code lengths (the tables the data will
// most likely be coded with) or from a neutral start for data with no statistics yet.
#pragma once
#include <cstdint>

#include "pack/token.h"

namespace qarn {

inline constexpr uint32_t kPriceScale = 16;

struct SymbolCounts {
    uint32_t literal[kLiteralSymbols];
    uint32_t distance[kDistanceSymbols];
    uint32_t repeat[kRepeatSymbols];

    void clear();
    void add(const SymbolCounts& other);
    void count(const Token& t) {
        ++literal[t.symbol];
        if (t.symbol >= kSymLongMatch) {
            ++distance[t.distance_code];
        } else if (t.symbol > kSymRepeatLast && t.symbol < kSymShortMatch) {
            ++repeat[t.length_code];
        }
    }
};

struct PriceModel {
    uint32_t literal[kLiteralSymbols];
    uint32_t distance[kDistanceSymbols];
    uint32_t repeat[kRepeatSymbols];
    // Derived: symbol plus extra bits, by length value (0..255) or distance code. The length
    // tables have kLengthPadding more entries (zero, never a real price), so that the parser
    // may read four lengths at a time past the last one it offers.
    static constexpr uint32_t kLengthPadding = 4;
    uint32_t long_length[256 + kLengthPadding];
    uint32_t rep_length[256 + kLengthPadding];
    uint32_t distance_slot[kDistanceSymbols];
    uint32_t short_distance[kShortMaxDistance + 1];

    void set_neutral();
    // From the code lengths of a table header (374 lengths); symbols without a code are
    // priced as if a new table gave them one of the longest codes.
    void set_from_lengths(const uint8_t* lengths);
    // From counts, through the code lengths that those counts would get.
    void set_from_counts(const SymbolCounts& counts);

    uint32_t long_match(uint32_t length, uint32_t dist) const {
        return long_length[length - 3 - long_bonus(dist)] + distance_slot[distance_code_of(dist)];
    }
    uint32_t rep_match(uint32_t rep_index, uint32_t length, uint32_t dist) const {
        return literal[kSymOldDistance + rep_index] + rep_length[length - 2 - rep_bonus(dist)];
    }
    uint32_t short_match(uint32_t dist) const { return short_distance[dist]; }
    uint32_t repeat_last() const { return literal[kSymRepeatLast]; }

private:
    void derive();
};

}  // namespace qarn
