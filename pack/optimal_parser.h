// Levels 5 and 6: price-based optimal parsing. A stretch of the input is parsed as a
// shortest path: every position is a node, every literal and every codable match an edge
// priced in bits by the statistics of the data just before (or by the stretch's own first
// parse, which is then repeated with its own prices). Which recent distances a match can use
// depends on the path taken, so each node carries the match history of the best path to it,
// as the usual approximation; a match, a literal or two and the same distance again may be
// weighed as one step, which that approximation would otherwise miss. The matches of each
// position are searched first, on a second thread where there is one, which keeps a little
// ahead of the parse.
#pragma once
#include <cstdint>

#include "pack/heap_buffer.h"
#include "pack/match_worker.h"
#include "pack/parse_context.h"
#include "pack/stretch_matches.h"

namespace qarn {

class OptimalParser {
public:
    // `passes`: parses of each stretch, each priced by the one before (at least 1);
    // `extra_passes` more for a stream's first stretch and for small ones. `threads`: 2 lets
    // a second thread search for matches while the parser works (the output is the same
    // either way); 1 keeps to the caller's thread. `literal_rep`: also weigh a match, a
    // literal or two and the rest at the same distance as one step.
    bool init(uint32_t passes, uint32_t extra_passes, uint32_t nice_length, bool literal_rep,
              uint32_t threads);
    // A new stream: prices start neutral.
    void start_stream();
    // Parses from `pos` up to exactly `limit`; returns `limit`.
    uint32_t parse(ParseContext& c, uint32_t pos, uint32_t limit);
    size_t memory_bytes() const;

private:
    // How the best path known so far arrives at a position; its price is kept apart, in
    // prices_of_, where the relaxation of many lengths at once compares four at a time.
    struct Arrival {
        uint16_t length;  // the step arriving here: 1 for a literal
        uint8_t kind;     // MatchKind of that step
        uint8_t rep_index;
        uint32_t distance;
        // Nonzero: the step is a match of this length (of `kind`), `literals` literals, and
        // the rest of `length` at the same distance again, as recent distance 0.
        uint16_t first;
        uint8_t literals;
    };
    // Literals tried between a match and its distance again: two find most of what more find.
    static constexpr uint32_t kMaxLiteralsBetween = 2;
    static constexpr uint32_t kMaxTokensPerStep = kMaxLiteralsBetween + 2;
    FindJob job_for(const ParseContext& c, uint32_t pos, uint32_t count, StretchMatches& out) const;
    // With `wait`, the matches of a position are waited for as the parse reaches it.
    void shortest_path(ParseContext& c, uint32_t pos, uint32_t count, const PriceModel& prices,
                       const StretchMatches& found, bool wait);
    // Offers position `to`, reached at `offered` by the step `how`.
    [[gnu::always_inline]] void offer(uint32_t to, uint32_t offered, const Arrival& how);
    // The steps from position `i` (of the stretch at `pos`, `count` long) at the recent
    // distances, and those of the matches the finder found, at most `room` long; each
    // returns the longest match it saw.
    [[gnu::always_inline]] uint32_t relax_rep_matches(const ParseContext& c, uint32_t pos,
                                                      uint32_t i, uint32_t count, uint32_t room,
                                                      const PriceModel& prices);
    [[gnu::always_inline]] uint32_t relax_found_matches(const ParseContext& c, uint32_t pos,
                                                        uint32_t i, uint32_t count,
                                                        uint32_t room, const PriceModel& prices,
                                                        const StretchMatches& found);
    // Offers position `to_base` + l for every l from `first` to `last`, at `add` plus
    // `length_price`[l - `skip`], as one kind of step (`first` is at least `skip`).
    [[gnu::always_inline]] void relax_lengths(uint32_t to_base, uint32_t first, uint32_t last,
                                              const uint32_t* length_price, uint32_t skip,
                                              uint32_t add, Arrival how);
    // Offers a match of `first` bytes (priced `first_price`, as `how`), one or more literals
    // after it, and the longest continuation at the same distance, from position `i`.
    void relax_literal_rep(const ParseContext& c, uint32_t pos, uint32_t i, uint32_t count,
                           uint32_t first, uint32_t first_price, const PriceModel& prices,
                           Arrival how);
    // The tokens of one step of the best path, whose bytes start at `at`, into `out`
    // (kMaxTokensPerStep); `h` follows them.
    static uint32_t tokens_of(const Arrival& step, const uint8_t* at, MatchHistory& h,
                              Token* out);
    // Updates the match history `h` by a step of the path.
    static void follow(const Arrival& step, MatchHistory& h);
    // Walks the best path back from the stretch's end and lists its steps in order.
    uint32_t collect_steps(uint32_t count);

    uint32_t passes_ = 1;
    uint32_t extra_passes_ = 0;
    bool learned_ = false;  // prices_ come from the stream's own data
    uint32_t nice_length_ = 96;
    bool literal_rep_ = false;  // try match, literals, match again at the same distance
    HeapArray<uint32_t> prices_of_;      // bits (in price units) of the best path to each position
    HeapArray<Arrival> arrivals_;
    HeapArray<MatchHistory> histories_;  // after the best path to a position (set when expanded)
    StretchMatches stretches_[2];  // the stretch being parsed, and the next one being searched
    MatchWorker worker_;
    HeapArray<uint32_t> steps_;  // positions the best path's steps end at, in order
    PriceModel prices_{};
    Match found_[kMaxMatchesPerPosition];
};

}  // namespace qarn
