// What a parser works on: the buffer with its history, the bounds of the current entry's
// data, and the shared pieces it feeds (match finder, block coder, match history).
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

#include "pack/block_coder.h"
#include "pack/match_finder.h"
#include "pack/price_model.h"
#include "pack/token.h"

namespace qarn {

struct ParseContext {
    const uint8_t* buf;
    uint32_t lowest;     // oldest buffer position of the stream still in the buffer
    uint32_t data_end;   // bytes loaded
    uint32_t match_end;  // no match may run past this: the entry's end, or the loaded end
    MatchFinder* finder;
    BlockCoder* coder;
    MatchHistory* history;
    PriceModel* prices;
};

// Common length of the bytes at `pos` and `distance` back, up to `limit`.
inline uint32_t match_length_at(const uint8_t* buf, uint32_t pos, uint32_t distance,
                                uint32_t limit) {
    const uint8_t* a = buf + pos - distance;
    const uint8_t* b = buf + pos;
    uint32_t n = 0;
    while (n + 8 <= limit) {
        uint64_t x;
        uint64_t y;
        std::memcpy(&x, a + n, 8);
        std::memcpy(&y, b + n, 8);
        if (x != y) return n + static_cast<uint32_t>(std::countr_zero(x ^ y)) / 8;
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

enum class MatchKind : uint8_t { kNone, kRepeatLast, kRep, kShort, kLong };

struct MatchCoding {
    uint32_t price;  // in price units
    MatchKind kind;
    uint8_t rep_index;
};

inline Token match_token(const MatchCoding& c, uint32_t length, uint32_t distance) {
    switch (c.kind) {
        case MatchKind::kRepeatLast: return repeat_last_token();
        case MatchKind::kRep: return rep_token(c.rep_index, length, distance);
        case MatchKind::kShort: return short_token(distance);
        default: return long_token(length, distance);
    }
}

// Records a match: its token goes to the block coder, its distance into the history.
inline void emit_match(ParseContext& c, const MatchCoding& coding, uint32_t length,
                       uint32_t distance) {
    c.coder->add(match_token(coding, length, distance));
    c.history->push(distance, length);
}

inline void emit_literal(ParseContext& c, uint8_t byte) { c.coder->add(literal_token(byte)); }

}  // namespace qarn
