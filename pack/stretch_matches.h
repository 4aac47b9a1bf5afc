// The matches of every position of one stretch, as the optimal parser reads them: found in
// order by the match finder, possibly on another thread, which says how far it has come.
#pragma once
#include <cstdint>

#include "pack/heap_buffer.h"
#include "pack/match_finder.h"
#include "pack/progress_counter.h"

namespace qarn {

// The longest matches of a position are kept; shorter lengths are covered by them, since a
// match of length n can be used at every length up to n.
inline constexpr uint32_t kCachedMatches = 16;

struct StretchMatches {
    HeapArray<Match> matches;     // of the stretch's positions, one after the other
    HeapArray<uint32_t> start;    // by position: its first entry in matches
    HeapArray<uint8_t> count;     // by position: its entries
    ProgressCounter ready;        // positions from the stretch's start whose matches are in

    bool allocate(uint32_t span) {
        return matches.allocate(size_t{span} * kCachedMatches) && start.allocate(span) &&
               count.allocate(span);
    }
    size_t memory_bytes() const {
        return matches.size() * sizeof(Match) + start.size() * sizeof(uint32_t) + count.size();
    }
};

// One stretch's search: positions pos to pos + count - 1 of `buf`.
struct FindJob {
    MatchFinder* finder;
    const uint8_t* buf;
    uint32_t lowest;
    uint32_t data_end;
    uint32_t match_end;
    uint32_t pos;
    uint32_t count;
    uint32_t nice_length;  // inside a match this long, positions are neither searched nor indexed
    StretchMatches* out;
};

// Runs the finder over the job's positions in order, publishing progress in out->ready as
// it goes. `found` holds kMaxMatchesPerPosition matches.
void find_stretch_matches(const FindJob& job, Match* found);

}  // namespace qarn
