// Level 5: price-based optimal parsing. A stretch of the input is parsed as a shortest path:
// every position is a node, every literal and every codable match an edge priced in bits
// by the statistics of the data just before (or by the stretch's own first parse, which is
// then repeated with its own prices). Which recent distances a match can use depends on
// the path taken, so each node carries the match history of the best path to it, as the
// usual approximation.
#pragma once
#include <cstdint>

#include "pack/heap_buffer.h"
#include "pack/parse_context.h"

namespace qarn {

class OptimalParser {
public:
    // `passes`: parses of each stretch, each priced by the one before (at least 1).
    bool init(uint32_t passes, uint32_t nice_length);
    // A new stream: prices start neutral.
    void start_stream();
    // Parses from `pos` up to exactly `limit`; returns `limit`.
    uint32_t parse(ParseContext& c, uint32_t pos, uint32_t limit);
    size_t memory_bytes() const;

private:
    struct Node {
        uint32_t price;   // bits (in price units) of the best path from the stretch's start
        uint16_t length;  // the step arriving here: 1 for a literal
        uint8_t kind;     // MatchKind of that step
        uint8_t rep_index;
        uint32_t distance;
        MatchHistory history;  // after the best path to here (set when the node is expanded)
    };
    void find_matches(ParseContext& c, uint32_t pos, uint32_t count);
    void shortest_path(ParseContext& c, uint32_t pos, uint32_t count, const PriceModel& prices);
    // Walks the best path back from the stretch's end and lists its steps in order.
    uint32_t collect_steps(uint32_t count);

    uint32_t passes_ = 1;
    bool learned_ = false;  // prices_ come from the stream's own data
    uint32_t nice_length_ = 96;
    HeapArray<Node> nodes_;
    HeapArray<Match> matches_;  // per position, up to kCachedMatches each
    HeapArray<uint8_t> match_count_;
    HeapArray<uint32_t> steps_;  // node indexes of the best path, in order
    PriceModel prices_{};
    Match found_[kMaxMatchesPerPosition];
};

}  // namespace qarn
