#include "pack/optimal_parser.h"

namespace qarn {
namespace {

// Positions per stretch: long enough that the cut at its end costs next to nothing, short
// enough that prices follow the data.
constexpr uint32_t kSpan = 1u << 15;
// The longest matches of a position are kept; shorter lengths are covered by them, since a
// match of length n can be used at every length up to n.
constexpr uint32_t kCachedMatches = 16;
constexpr uint32_t kUnreached = UINT32_MAX;

}  // namespace

bool OptimalParser::init(uint32_t passes, uint32_t nice_length) {
    passes_ = passes != 0 ? passes : 1;
    nice_length_ = nice_length;
    start_stream();
    return nodes_.allocate(kSpan + 1) && matches_.allocate(size_t{kSpan} * kCachedMatches) &&
           match_count_.allocate(kSpan) && steps_.allocate(kSpan + 1);
}

void OptimalParser::start_stream() {
    prices_.set_neutral();
    learned_ = false;
}

size_t OptimalParser::memory_bytes() const {
    return nodes_.size() * sizeof(Node) + matches_.size() * sizeof(Match) + match_count_.size() +
           steps_.size() * sizeof(uint32_t);
}

void OptimalParser::find_matches(ParseContext& c, uint32_t pos, uint32_t count) {
    uint32_t skip_until = 0;
    for (uint32_t i = 0; i < count; ++i) {
        match_count_[i] = 0;
        const uint32_t p = pos + i;
        // Inside a match long enough to be taken whole, searching again only costs time,
        // and so does indexing: the match's earlier copy is indexed already.
        if (i < skip_until) {
            c.finder->skip_up_to(p + 1);
            continue;
        }
        const uint32_t room = c.match_end - p;
        const uint32_t max_length = room < kMaxMatch ? room : kMaxMatch;
        if (max_length < 2) continue;
        const uint32_t n = c.finder->find(c.buf, p, c.data_end, max_length, c.lowest, found_);
        const uint32_t first = n > kCachedMatches ? n - kCachedMatches : 0;
        Match* out = matches_.get() + size_t{i} * kCachedMatches;
        for (uint32_t k = first; k < n; ++k) *out++ = found_[k];
        match_count_[i] = static_cast<uint8_t>(n - first);
        if (n != 0 && found_[n - 1].length >= nice_length_) skip_until = i + found_[n - 1].length;
    }
}

void OptimalParser::shortest_path(ParseContext& c, uint32_t pos, uint32_t count,
                                  const PriceModel& prices) {
    Node* nodes = nodes_.get();
    for (uint32_t j = 1; j <= count; ++j) nodes[j].price = kUnreached;
    nodes[0].price = 0;
    nodes[0].length = 0;
    nodes[0].history = *c.history;

    uint32_t literal_only_until = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Node& node = nodes[i];
        if (i != 0) {
            // The history after the best path to here, from the node the path came from.
            const Node& from = nodes[i - node.length];
            node.history = from.history;
            if (node.kind != static_cast<uint8_t>(MatchKind::kNone)) {
                node.history.push(node.distance, node.length);
            }
        }
        const uint32_t base = node.price;
        const uint32_t p = pos + i;
        const uint8_t* cur = c.buf + p;
        auto relax = [&](uint32_t length, uint32_t price, MatchKind kind, uint32_t rep_index,
                         uint32_t distance) {
            Node& to = nodes[i + length];
            if (price < to.price) {
                to.price = price;
                to.length = static_cast<uint16_t>(length);
                to.kind = static_cast<uint8_t>(kind);
                to.rep_index = static_cast<uint8_t>(rep_index);
                to.distance = distance;
            }
        };
        relax(1, base + prices.literal[*cur], MatchKind::kNone, 0, 0);
        if (i < literal_only_until) continue;

        const uint32_t room_span = count - i;
        const uint32_t room_entry = c.match_end - p;
        uint32_t room = room_span < room_entry ? room_span : room_entry;
        if (room > kMaxMatch) room = kMaxMatch;
        if (room < 2) continue;

        // Matches at the recent distances.
        const MatchHistory& h = node.history;
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
                relax(h.last_length, base + prices.repeat_last(), MatchKind::kRepeatLast, 0, d);
            }
            const uint32_t cap = rep_max_length(d);
            const uint32_t top = len < cap ? len : cap;
            const uint32_t bonus = rep_bonus(d);
            const uint32_t symbol = base + prices.literal[kSymOldDistance + k];
            for (uint32_t l = rep_min_length(d); l <= top; ++l) {
                relax(l, symbol + prices.rep_length[l - 2 - bonus], MatchKind::kRep, k, d);
            }
        }

        // Matches the finder found; a match of length n serves every length up to n.
        const Match* m = matches_.get() + size_t{i} * kCachedMatches;
        uint32_t covered = 1;
        for (uint32_t k = 0; k < match_count_[i] && covered < room; ++k) {
            const uint32_t d = m[k].distance;
            uint32_t len = m[k].length < room ? m[k].length : room;
            if (len > longest) longest = len;
            if (covered < 2 && len >= 2 && d <= kShortMaxDistance) {
                relax(2, base + prices.short_match(d), MatchKind::kShort, 0, d);
            }
            const uint32_t cap = long_max_length(d);
            if (len > cap) len = cap;
            const uint32_t bonus = long_bonus(d);
            const uint32_t dist_price = base + prices.distance_slot[distance_code_of(d)];
            uint32_t l = long_min_length(d);
            if (l <= covered) l = covered + 1;
            for (; l <= len; ++l) {
                relax(l, dist_price + prices.long_length[l - 3 - bonus], MatchKind::kLong, 0, d);
            }
            if (len > covered) covered = len;
        }
        // A match long enough is taken as it is: the positions it covers get no choices of
        // their own, which keeps long repeats from costing time per byte and length.
        if (longest >= nice_length_) literal_only_until = i + longest;
    }
}

uint32_t OptimalParser::collect_steps(uint32_t count) {
    uint32_t n = 0;
    for (uint32_t j = count; j > 0; j -= nodes_[j].length) steps_[n++] = j;
    for (uint32_t a = 0, b = n - 1; a < b; ++a, --b) {
        const uint32_t t = steps_[a];
        steps_[a] = steps_[b];
        steps_[b] = t;
    }
    return n;
}

uint32_t OptimalParser::parse(ParseContext& c, uint32_t pos, uint32_t limit) {
    while (pos < limit) {
        const uint32_t count = limit - pos < kSpan ? limit - pos : kSpan;
        find_matches(c, pos, count);
        // A stream's first stretch has no statistics before it to be priced by: it is parsed
        // again with the prices of its own parse, twice. Later stretches are priced by the
        // one before, which follows the data closely enough for one parse. Small stretches
        // are cheap to parse again, and their prices matter most.
        const uint32_t passes = !learned_ || count < 4096 ? passes_ + 2 : passes_;
        learned_ = true;
        for (uint32_t pass = 1;; ++pass) {
            shortest_path(c, pos, count, prices_);
            const uint32_t steps = collect_steps(count);
            SymbolCounts counts{};
            counts.clear();
            MatchHistory h = *c.history;
            uint32_t at = 0;
            for (uint32_t s = 0; s < steps; ++s) {
                const Node& node = nodes_[steps_[s]];
                Token t;
                if (node.kind == static_cast<uint8_t>(MatchKind::kNone)) {
                    t = literal_token(c.buf[pos + at]);
                } else {
                    const MatchCoding coding{0, static_cast<MatchKind>(node.kind), node.rep_index};
                    t = match_token(coding, node.length, node.distance);
                    h.push(node.distance, node.length);
                }
                counts.count(t);
                if (pass == passes) c.coder->add(t);
                at += node.length;
            }
            prices_.set_from_counts(counts);
            if (pass == passes) {
                *c.history = h;
                break;
            }
        }
        pos += count;
    }
    return pos;
}

}  // namespace qarn
