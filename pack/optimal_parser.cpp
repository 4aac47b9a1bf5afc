#include "pack/optimal_parser.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qarn {
namespace {

// Positions per stretch: long enough that the cut at its end costs next to nothing, short
// enough that prices follow the data.
constexpr uint32_t kSpan = 1u << 15;
// Above every price a path can have, and still positive as a signed number, so that prices
// compare as signed 32-bit lanes.
constexpr uint32_t kUnreached = 0x7FFFFFFF;

}  // namespace

bool OptimalParser::init(uint32_t passes, uint32_t extra_passes, uint32_t nice_length,
                         bool literal_rep, uint32_t threads) {
    passes_ = passes != 0 ? passes : 1;
    extra_passes_ = extra_passes;
    nice_length_ = nice_length;
    literal_rep_ = literal_rep;
    start_stream();
    // Prices and arrivals have room for four lengths read past the stretch's end.
    if (!prices_of_.allocate(kSpan + 5) || !arrivals_.allocate(kSpan + 5) ||
        !histories_.allocate(kSpan + 1) || !stretches_[0].allocate(kSpan) ||
        !steps_.allocate(kSpan + 1)) {
        return false;
    }
    // The second stretch buffer only serves a worker; without a thread, one search at a time.
    if (threads > 1 && stretches_[1].allocate(kSpan)) worker_.start();
    return true;
}

void OptimalParser::start_stream() {
    prices_.set_neutral();
    learned_ = false;
}

size_t OptimalParser::memory_bytes() const {
    return prices_of_.size() * sizeof(uint32_t) + arrivals_.size() * sizeof(Arrival) +
           histories_.size() * sizeof(MatchHistory) + stretches_[0].memory_bytes() +
           stretches_[1].memory_bytes() + steps_.size() * sizeof(uint32_t);
}

FindJob OptimalParser::job_for(const ParseContext& c, uint32_t pos, uint32_t count,
                               StretchMatches& out) const {
    return {c.finder, c.buf, c.lowest, c.data_end, c.match_end, pos, count, nice_length_, &out};
}

inline void OptimalParser::relax_lengths(uint32_t to_base, uint32_t first, uint32_t last,
                                  const uint32_t* length_price, uint32_t skip, uint32_t add,
                                  Arrival how) {
    uint32_t* const price = prices_of_.get() + to_base;
    Arrival* const arrival = arrivals_.get() + to_base;
#if defined(__SSE2__)
    // Four lengths at a time, lanes past `last` masked off (the tables and the prices have
    // room to be read past it): nearly every offer loses to the price already there, so the
    // common case is a comparison of four lanes and no store at all, and a short range of
    // lengths, the most common, is one pass without a loop to mispredict.
    const __m128i offset = _mm_set1_epi32(static_cast<int>(add));
    const __m128i end = _mm_set1_epi32(static_cast<int>(last + 1));
    __m128i lane = _mm_add_epi32(_mm_set1_epi32(static_cast<int>(first)), _mm_set_epi32(3, 2, 1, 0));
    const __m128i four = _mm_set1_epi32(4);
    for (uint32_t l = first; l <= last; l += 4, lane = _mm_add_epi32(lane, four)) {
        const __m128i offered = _mm_add_epi32(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(length_price + (l - skip))), offset);
        const __m128i known = _mm_loadu_si128(reinterpret_cast<const __m128i*>(price + l));
        const __m128i better =
            _mm_and_si128(_mm_cmplt_epi32(offered, known), _mm_cmplt_epi32(lane, end));
        int mask = _mm_movemask_ps(_mm_castsi128_ps(better));
        if (mask == 0) continue;
        _mm_storeu_si128(reinterpret_cast<__m128i*>(price + l),
                         _mm_or_si128(_mm_and_si128(better, offered), _mm_andnot_si128(better, known)));
        do {
            const auto k = static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask)));
            arrival[l + k] = how;
            arrival[l + k].length = static_cast<uint16_t>(l + k);
            mask &= mask - 1;
        } while (mask != 0);
    }
#else
    for (uint32_t l = first; l <= last; ++l) {
        const uint32_t offered = add + length_price[l - skip];
        if (offered < price[l]) {
            price[l] = offered;
            arrival[l] = how;
            arrival[l].length = static_cast<uint16_t>(l);
        }
    }
#endif
}

namespace {

// Whether a match of `first` bytes at `p` (at distance `d`) could go on at the same distance
// after one or two literals: the two bytes after each literal must repeat. Cheaper than a
// call for the many matches where neither does.
inline bool may_repeat_after_literals(const ParseContext& c, uint32_t p, uint32_t first,
                                      uint32_t d) {
    const uint32_t after = p + first + 1;  // after one literal
    if (after + 3 > c.match_end) return after + 2 <= c.match_end;  // near the end: let it look
    const uint8_t* q = c.buf + after;
    const uint8_t* r = q - d;
    return (q[0] == r[0] && q[1] == r[1]) || (q[1] == r[1] && q[2] == r[2]);
}

}  // namespace

void OptimalParser::relax_literal_rep(const ParseContext& c, uint32_t pos, uint32_t i,
                                     uint32_t count, uint32_t first, uint32_t first_price,
                                     const PriceModel& prices, Arrival how) {
    const uint32_t d = how.distance;
    uint32_t offered = prices_of_[i] + first_price + prices.literal[kSymOldDistance];
    for (uint32_t literals = 1; literals <= kMaxLiteralsBetween; ++literals) {
        const uint32_t after = i + first + literals;  // where the continuation starts
        const uint32_t p = pos + after;
        if (after + 2 > count || p + 2 > c.match_end) return;
        offered += prices.literal[c.buf[p - 1]];
        uint32_t room = count - after;
        if (c.match_end - p < room) room = c.match_end - p;
        const uint32_t cap = rep_max_length(d);
        if (room > cap) room = cap;
        const uint32_t len = match_length_at(c.buf, p, d, room);
        if (len < rep_min_length(d)) continue;
        const uint32_t total = offered + prices.rep_length[len - 2 - rep_bonus(d)];
        const uint32_t to = after + len;
        if (total < prices_of_[to]) {
            prices_of_[to] = total;
            how.length = static_cast<uint16_t>(after + len - i);
            how.first = static_cast<uint16_t>(first);
            how.literals = static_cast<uint8_t>(literals);
            arrivals_[to] = how;
        }
    }
}

inline void OptimalParser::offer(uint32_t to, uint32_t offered, const Arrival& how) {
    if (offered < prices_of_[to]) {
        prices_of_[to] = offered;
        arrivals_[to] = how;
    }
}

inline uint32_t OptimalParser::relax_rep_matches(const ParseContext& c, uint32_t pos, uint32_t i,
                                                 uint32_t count, uint32_t room,
                                                 const PriceModel& prices) {
    const uint32_t base = prices_of_[i];
    const uint32_t p = pos + i;
    const uint8_t* cur = c.buf + p;
    const MatchHistory& h = histories_[i];
    const uint32_t reach = p - c.lowest;
    uint32_t longest = 0;
    for (uint32_t k = 0; k < 4; ++k) {
        const uint32_t d = h.reps[k];
        if (d == 0 || d > reach || cur[0] != cur[-static_cast<ptrdiff_t>(d)] ||
            cur[1] != cur[1 - static_cast<ptrdiff_t>(d)]) {
            continue;
        }
        bool seen = false;
        for (uint32_t j = 0; j < k; ++j) seen = seen || h.reps[j] == d;
        if (seen) continue;
        const uint32_t len = match_length_at(c.buf, p, d, room);
        if (len > longest) longest = len;
        if (k == 0 && h.last_length >= 2 && h.last_length <= len) {
            offer(i + h.last_length, base + prices.repeat_last(),
                  {static_cast<uint16_t>(h.last_length),
                   static_cast<uint8_t>(MatchKind::kRepeatLast), 0, d, 0, 0});
        }
        const uint32_t cap = rep_max_length(d);
        const uint32_t top = len < cap ? len : cap;
        // rep_length is indexed by the length less 2 and the decoder's bonus.
        const Arrival rep_how{0, static_cast<uint8_t>(MatchKind::kRep), static_cast<uint8_t>(k),
                              d, 0, 0};
        relax_lengths(i, rep_min_length(d), top, prices.rep_length, 2 + rep_bonus(d),
                      base + prices.literal[kSymOldDistance + k], rep_how);
        if (literal_rep_ && top == len && top >= rep_min_length(d) &&
            may_repeat_after_literals(c, p, top, d)) {
            relax_literal_rep(c, pos, i, count, top,
                              prices.literal[kSymOldDistance + k] +
                                  prices.rep_length[top - 2 - rep_bonus(d)],
                              prices, rep_how);
        }
    }
    return longest;
}

inline uint32_t OptimalParser::relax_found_matches(const ParseContext& c, uint32_t pos,
                                                   uint32_t i, uint32_t count, uint32_t room,
                                                   const PriceModel& prices,
                                                   const StretchMatches& found) {
    const uint32_t base = prices_of_[i];
    const uint32_t p = pos + i;
    const Match* m = found.matches.get() + found.start[i];
    uint32_t longest = 0;
    // A match of length n serves every length up to n.
    uint32_t covered = 1;
    for (uint32_t k = 0; k < found.count[i] && covered < room; ++k) {
        const uint32_t d = m[k].distance;
        uint32_t len = m[k].length < room ? m[k].length : room;
        if (len > longest) longest = len;
        if (covered < 2 && len >= 2 && d <= kShortMaxDistance) {
            offer(i + 2, base + prices.short_match(d),
                  {2, static_cast<uint8_t>(MatchKind::kShort), 0, d, 0, 0});
        }
        const uint32_t cap = long_max_length(d);
        if (len > cap) len = cap;
        uint32_t l = long_min_length(d);
        if (l <= covered) l = covered + 1;
        // long_length is indexed by the length less 3 and the decoder's bonus.
        const Arrival long_how{0, static_cast<uint8_t>(MatchKind::kLong), 0, d, 0, 0};
        relax_lengths(i, l, len, prices.long_length, 3 + long_bonus(d),
                      base + prices.distance_slot[distance_code_of(d)], long_how);
        if (literal_rep_ && len == m[k].length && len >= long_min_length(d) &&
            may_repeat_after_literals(c, p, len, d)) {
            relax_literal_rep(c, pos, i, count, len, prices.long_match(len, d), prices, long_how);
        }
        if (len > covered) covered = len;
    }
    return longest;
}

void OptimalParser::shortest_path(ParseContext& c, uint32_t pos, uint32_t count,
                                  const PriceModel& prices, const StretchMatches& found,
                                  bool wait) {
    uint32_t* const price = prices_of_.get();
    Arrival* const arrival = arrivals_.get();
    MatchHistory* const history = histories_.get();
    for (uint32_t j = 1; j <= count; ++j) price[j] = kUnreached;
    price[0] = 0;
    arrival[0].length = 0;
    history[0] = *c.history;

    uint32_t literal_only_until = 0;
    uint32_t ready = wait ? 0 : count;  // positions whose matches are known to be in
    for (uint32_t i = 0; i < count; ++i) {
        if (i >= ready) ready = wait_for_matches(found.ready, i + 1);
        if (i != 0) {
            // The history after the best path to here, from the position the path came from.
            const Arrival& a = arrival[i];
            history[i] = history[i - a.length];
            follow(a, history[i]);
        }
        const uint32_t p = pos + i;
        offer(i + 1, price[i] + prices.literal[c.buf[p]],
              {1, static_cast<uint8_t>(MatchKind::kNone), 0, 0, 0, 0});
        if (i < literal_only_until) continue;

        const uint32_t room_span = count - i;
        const uint32_t room_entry = c.match_end - p;
        uint32_t room = room_span < room_entry ? room_span : room_entry;
        if (room > kMaxMatch) room = kMaxMatch;
        if (room < 2) continue;

        const uint32_t rep_longest = relax_rep_matches(c, pos, i, count, room, prices);
        const uint32_t found_longest = relax_found_matches(c, pos, i, count, room, prices, found);
        const uint32_t longest = rep_longest > found_longest ? rep_longest : found_longest;
        // A match long enough is taken as it is: the positions it covers get no choices of
        // their own, which keeps long repeats from costing time per byte and length.
        if (longest >= nice_length_) literal_only_until = i + longest;
    }
}

uint32_t OptimalParser::tokens_of(const Arrival& step, const uint8_t* at, MatchHistory& h,
                                  Token* out) {
    const auto kind = static_cast<MatchKind>(step.kind);
    if (kind == MatchKind::kNone) {
        out[0] = literal_token(at[0]);
        return 1;
    }
    const MatchCoding coding{0, kind, step.rep_index};
    follow(step, h);
    if (step.first == 0) {
        out[0] = match_token(coding, step.length, step.distance);
        return 1;
    }
    uint32_t n = 0;
    out[n++] = match_token(coding, step.first, step.distance);
    for (uint32_t k = 0; k < step.literals; ++k) out[n++] = literal_token(at[step.first + k]);
    out[n++] = rep_token(0, step.length - step.first - step.literals, step.distance);
    return n;
}

void OptimalParser::follow(const Arrival& step, MatchHistory& h) {
    if (step.kind == static_cast<uint8_t>(MatchKind::kNone)) return;
    if (step.first == 0) {
        h.push(step.distance, step.length);
        return;
    }
    h.push(step.distance, step.first);
    h.push(step.distance, step.length - step.first - step.literals);
}

uint32_t OptimalParser::collect_steps(uint32_t count) {
    uint32_t n = 0;
    for (uint32_t j = count; j > 0; j -= arrivals_[j].length) steps_[n++] = j;
    for (uint32_t a = 0, b = n - 1; a < b; ++a, --b) {
        const uint32_t t = steps_[a];
        steps_[a] = steps_[b];
        steps_[b] = t;
    }
    return n;
}

uint32_t OptimalParser::parse(ParseContext& c, uint32_t pos, uint32_t limit) {
    const bool worker = worker_.running();
    auto stretch_at = [&](uint32_t at) { return limit - at < kSpan ? limit - at : kSpan; };
    if (worker && pos < limit) worker_.post(job_for(c, pos, stretch_at(pos), stretches_[0]));
    for (uint32_t stretch = 0; pos < limit; ++stretch) {
        const uint32_t count = stretch_at(pos);
        StretchMatches& found = stretches_[worker ? stretch & 1 : 0];
        if (worker) {
            // The next stretch is searched as soon as this one's search ends.
            const uint32_t next = pos + count;
            if (next < limit) {
                worker_.post(job_for(c, next, stretch_at(next), stretches_[(stretch + 1) & 1]));
            }
        } else {
            find_stretch_matches(job_for(c, pos, count, found), found_);
        }
        // A stream's first stretch has no statistics before it to be priced by: it may be
        // parsed again with the prices of its own parse (extra_passes_ times). Later
        // stretches are priced by the one before, which follows the data closely. Small
        // stretches are cheap to parse again, and their prices matter most.
        const uint32_t passes = !learned_ || count < 4096 ? passes_ + extra_passes_ : passes_;
        learned_ = true;
        for (uint32_t pass = 1;; ++pass) {
            shortest_path(c, pos, count, prices_, found, worker && pass == 1);
            const uint32_t steps = collect_steps(count);
            SymbolCounts counts{};
            counts.clear();
            MatchHistory h = *c.history;
            uint32_t at = 0;
            for (uint32_t s = 0; s < steps; ++s) {
                const Arrival& step = arrivals_[steps_[s]];
                Token tokens[kMaxTokensPerStep];
                const uint32_t n = tokens_of(step, c.buf + pos + at, h, tokens);
                for (uint32_t k = 0; k < n; ++k) {
                    counts.count(tokens[k]);
                    if (pass == passes) c.coder->add(tokens[k]);
                }
                at += step.length;
            }
            prices_.set_from_counts(counts);
            if (pass == passes) {
                *c.history = h;
                break;
            }
        }
        pos += count;
    }
    if (worker) worker_.wait_idle();
    return pos;
}

}  // namespace qarn
