#include "pack/lazy_parser.h"

namespace qarn {

void LazyParser::prices_changed(const PriceModel& prices, const SymbolCounts& counts) {
    uint64_t total = 0;
    uint64_t weighted = 0;
    for (uint32_t s = 0; s < 256; ++s) {
        total += counts.literal[s];
        weighted += uint64_t{counts.literal[s]} * prices.literal[s];
    }
    literal_price_ = total != 0 ? static_cast<uint32_t>(weighted / total) : 8 * kPriceScale;
}

LazyParser::Choice LazyParser::best_at(ParseContext& c, uint32_t pos) {
    Choice best{0, 0, {UINT32_MAX, MatchKind::kNone, 0}, 0};
    const uint32_t room = c.match_end - pos;
    const uint32_t max_length = room < kMaxMatch ? room : kMaxMatch;
    const uint32_t n = c.finder->find(c.buf, pos, c.data_end, max_length, c.lowest, matches_);
    if (max_length < 2) return best;
    const PriceModel& prices = *c.prices;
    auto consider = [&](uint32_t length, uint32_t distance, uint32_t price, MatchKind kind,
                        uint32_t rep_index) {
        const int32_t gain =
            static_cast<int32_t>(length * literal_price_) - static_cast<int32_t>(price);
        if (gain > best.gain || (gain == best.gain && length > best.length)) {
            best = {length, distance, {price, kind, static_cast<uint8_t>(rep_index)}, gain};
        }
    };

    // Recent distances first: they cost the fewest bits.
    const MatchHistory& h = *c.history;
    const uint32_t reach = pos - c.lowest;
    const uint8_t* cur = c.buf + pos;
    for (uint32_t k = 0; k < 4; ++k) {
        const uint32_t d = h.reps[k];
        if (d == 0 || d > reach || cur[0] != cur[-static_cast<ptrdiff_t>(d)] ||
            cur[1] != cur[1 - static_cast<ptrdiff_t>(d)]) {
            continue;
        }
        const uint32_t len = match_length_at(c.buf, pos, d, max_length);
        if (k == 0 && h.last_length >= 2 && h.last_length <= len) {
            consider(h.last_length, d, prices.repeat_last(), MatchKind::kRepeatLast, 0);
        }
        if (len >= rep_min_length(d)) {
            const uint32_t cap = rep_max_length(d);
            const uint32_t use = len < cap ? len : cap;
            consider(use, d, prices.rep_match(k, use, d), MatchKind::kRep, k);
        }
    }
    for (uint32_t i = 0; i < n; ++i) {
        const uint32_t d = matches_[i].distance;
        uint32_t len = matches_[i].length;
        if (len >= long_min_length(d)) {
            const uint32_t cap = long_max_length(d);
            if (len > cap) len = cap;
            consider(len, d, prices.long_match(len, d), MatchKind::kLong, 0);
        } else if (len == 2 && d <= kShortMaxDistance) {
            consider(2, d, prices.short_match(d), MatchKind::kShort, 0);
        }
    }
    return best;
}

uint32_t LazyParser::parse(ParseContext& c, uint32_t pos, uint32_t limit) {
    while (pos < limit) {
        Choice cur = best_at(c, pos);
        if (cur.length == 0 || cur.gain <= 0) {
            emit_literal(c, c.buf[pos]);
            ++pos;
            continue;
        }
        for (uint32_t step = 0; step < settings_.lazy_steps; ++step) {
            if (cur.length >= settings_.nice_length || pos + 1 >= limit) break;
            const Choice next = best_at(c, pos + 1);
            // A literal first pays when the later match saves more than this one; the
            // small margin keeps equal choices with the earlier match.
            if (next.length == 0 || next.gain <= cur.gain + static_cast<int32_t>(kPriceScale))
                break;
            emit_literal(c, c.buf[pos]);
            ++pos;
            cur = next;
        }
        emit_match(c, cur.coding, cur.length, cur.distance);
        const uint32_t keep = settings_.insert_in_matches;
        if (keep != kAllPositions && cur.length > 2 * keep) {
            c.finder->insert_up_to(c.buf, pos + keep, c.data_end);
            c.finder->skip_up_to(pos + cur.length - keep);
        }
        pos += cur.length;
    }
    return pos;
}

}  // namespace qarn
