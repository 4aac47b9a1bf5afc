// Match finding over the compressor's sliding buffer, in one of three forms:
//
//  - A binary tree per four-byte hash (level 5): each position becomes the root of its
//    hash's tree, the older positions sorted below it by the bytes that follow, so a
//    search descends towards ever longer matches and meets few candidates that are not
//    longer than the best so far. Inserting walks the same path, so every position is
//    inserted, also inside long matches; a match of the tree's nice length ends the walk.
//  - Hash chains on four bytes (level 4): every position links to the previous one with the
//    same hash, so a search can follow as many candidates as it likes. Over a 1 MB window
//    nearly every link is a cache miss, which makes chains thorough but slow.
//  - Buckets (levels 1 to 3): each four-byte hash owns a few slots holding its most recent
//    positions side by side, so one cache line serves both the insertion and the search.
//    Each slot also keeps nine more bits of the bytes' hash, so most candidates that merely
//    share the bucket are dismissed without touching the buffer. A second table on eight
//    bytes keeps the long matches within reach.
//
// Both add one recent position per three-byte and per two-byte hash, for the short matches
// that only pay at small distances.
//
// Inside a run of one byte value only the run's first positions are indexed: the others
// would find nothing the first ones do not, and would flood their chain or bucket.
//
// Positions are indexes into the caller's buffer, inserted once each, in order. An entry
// that turns out not to shrink is stored, and its bytes must leave no trace in the history:
// the chains are wound back exactly (see rollback); the trees, whose reshaping cannot be
// undone, are rebuilt from the window's worth of positions before the entry. Buckets and the short tables hold plain
// positions, which every search checks against the bytes anyway, so a stale slot can cost a
// missed match but never a wrong one; they need no winding back.
#pragma once
#include <cstdint>

#include "pack/heap_buffer.h"

namespace qarn {

struct Match {
    uint32_t length;
    uint32_t distance;
};

struct MatchFinderConfig {
    uint32_t hash_bits;    // of the four-byte chain heads, tree roots or buckets
    uint32_t chain_depth;  // chain links or tree nodes visited per search
    uint32_t nice_length;  // a match this long ends the search
    uint32_t bucket_ways;  // 0: chains; else the slots per bucket (1, 2, 4, 8 or 16)
    // Which positions the two- and three-byte tables learn: 0 none (no short matches
    // found), 1 only the searched ones, 2 every inserted position.
    uint32_t short_tables;
    // Buckets only: bits of a table of the last position of each eight-byte hash (0: none).
    // Where four bytes recur everywhere (text of few words), the buckets fill with near
    // repeats; eight bytes still lead to the far copy of a whole file.
    uint32_t long_hash_bits;
    uint32_t binary_tree;  // nonzero (with bucket_ways 0): trees instead of chains
};

inline constexpr uint32_t kNoPosition = 0xFFFFFFFFu;
inline constexpr uint32_t kMaxMatchesPerPosition = 64;

class MatchFinder {
public:
    // `buffer_size`: the caller's buffer, of which positions 0..buffer_size-1 may be used.
    bool init(uint32_t buffer_size, const MatchFinderConfig& config);
    // Forgets every position (a stream starts afresh).
    void reset();

    // Inserts the positions from the next one not yet inserted up to `pos` (exclusive), as
    // far as their four bytes lie below `end`.
    void insert_up_to(const uint8_t* buf, uint32_t pos, uint32_t end);
    // Passes over positions up to `pos` without inserting them (the fast levels skip the
    // inside of long matches). Only positions after every inserted one may be skipped.
    void skip_up_to(uint32_t pos);

    // Matches at `pos` (the next position to insert; it is inserted), at most `max_length`
    // long and not reaching below `lowest`: strictly increasing lengths, each with the
    // smallest distance found for it. Returns the count (up to kMaxMatchesPerPosition).
    uint32_t find(const uint8_t* buf, uint32_t pos, uint32_t end, uint32_t max_length,
                  uint32_t lowest, Match* out);

    // The buffer moved down by `shift` bytes: positions move with it, and those that fall
    // off the front are forgotten.
    void slide(uint32_t shift);

    // Undo: everything inserted after `checkpoint()` is wound back. The bytes of the
    // positions to undo must still be in the buffer as they were when inserted.
    struct Checkpoint {
        uint32_t next_insert;
        uint64_t slid;
    };
    Checkpoint checkpoint() const { return {next_insert_, slid_}; }
    void rollback(const uint8_t* buf, const Checkpoint& checkpoint);

    size_t memory_bytes() const;

private:
    uint32_t head_of(uint64_t spread) const;  // the chain head, tree root or bucket
    uint32_t long_of(uint64_t spread) const;  // the eight-byte table's slot
    void insert_long(const uint8_t* buf, uint32_t p);
    void insert(const uint8_t* buf, uint32_t p, uint64_t spread);
    template <uint32_t Ways>
    void insert_run(const uint8_t* buf, uint32_t stop);
    // The parts of a search: the near two- and three-byte repeats, then the four-byte
    // candidates of the buckets, the chain or the tree. Each records the matches longer than
    // `best` in `out` from `count` on.
    struct Search {
        const uint8_t* buf;
        uint32_t pos;
        uint32_t end;
        uint32_t max_length;
        uint32_t lowest;
        Match* out;
        uint32_t count;
        uint32_t best;
        [[gnu::always_inline]] void consider(uint32_t cand, uint32_t max_distance);
    };
    // Inlined into find: the search's state then stays in registers.
    [[gnu::always_inline]] void find_short(Search& q);
    [[gnu::always_inline]] void find_in_buckets(Search& q, uint64_t spread);
    [[gnu::always_inline]] void find_in_chain(Search& q, uint64_t spread);
    // Inserts `p` into its tree; with `q`, also records the matches the walk meets.
    void tree_insert(const uint8_t* buf, uint32_t p, uint32_t end, Search* q);
    void rebuild_trees(const uint8_t* buf, uint32_t from);

    MatchFinderConfig config_{};
    uint32_t buffer_size_ = 0;
    HeapArray<uint32_t> head4_;  // chain heads, or the buckets' slots
    HeapArray<uint32_t> long_;   // slots of the eight-byte table
    // Chains: by buffer position, the chain's link, or kSkipped. Trees: two links by buffer
    // position, the smaller subtree at 2 * position and the larger one after it, so that
    // both lie in one cache line and the walk picks one by index.
    HeapArray<uint32_t> prev_;
    // The short tables keep the low 16 bits of a position: they only serve distances far
    // below 65,536, and small tables stay in the processor's cache.
    HeapArray<uint16_t> head3_;
    HeapArray<uint16_t> head2_;
    uint32_t next_insert_ = 0;
    uint32_t long_limit_ = 0;  // loaded end, for the eight-byte table
    uint64_t slid_ = 0;        // total shift, to map checkpoints across slides
};

}  // namespace qarn
