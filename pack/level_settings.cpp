#include "pack/level_settings.h"

namespace qarn {
namespace {

// Tokens between two decisions on where a block ends, for the lazy levels.
constexpr uint32_t kLazyChunkTokens = 1u << 14;

}  // namespace

// Levels 1 to 3 find matches in small buckets (plus an eight-byte table for long matches),
// which keeps them near the speed of a 32 KB-window deflate while searching the whole
// megabyte; level 4 follows hash chains. Levels 5 and 6 parse optimally by price, with the
// match search on a second thread where there is one. Level 5 searches buckets of eight
// recent positions (sixteen find 0.6% less output at a fifth less speed), and parses each
// stretch once with the prices of the stretch before: the speed level. Level 6 searches
// binary trees, which find longer matches sooner than chains or buckets but wait on memory
// at every node, parses every stretch twice (the second time by the prices of the first)
// and a stream's first stretch and small ones four times, weighs a match, a literal or two
// and the same distance again as one step, and decides block ends more finely: the size
// level.
LevelSettings settings_for_level(int level) {
    switch (level) {
        case 1:  // greedy, one slot per bucket, nothing indexed inside matches
            return {.finder = {.hash_bits = 16,
                               .chain_depth = 0,
                               .nice_length = 32,
                               .bucket_ways = 1,
                               .short_tables = 1,
                               .long_hash_bits = 16,
                               .binary_tree = 0},
                    .lazy = {.lazy_steps = 0, .nice_length = 32, .insert_in_matches = 0},
                    .optimal = false,
                    .optimal_passes = 0,
                    .optimal_extra_passes = 0,
                    .literal_rep = false,
                    .chunk_tokens = kLazyChunkTokens};
        case 2:
            return {.finder = {.hash_bits = 16,
                               .chain_depth = 0,
                               .nice_length = 64,
                               .bucket_ways = 2,
                               .short_tables = 1,
                               .long_hash_bits = 16,
                               .binary_tree = 0},
                    .lazy = {.lazy_steps = 1, .nice_length = 24, .insert_in_matches = 4},
                    .optimal = false,
                    .optimal_passes = 0,
                    .optimal_extra_passes = 0,
                    .literal_rep = false,
                    .chunk_tokens = kLazyChunkTokens};
        case 4:  // chains, two steps of lazy look-ahead
            return {
                .finder = {.hash_bits = 18,
                           .chain_depth = 48,
                           .nice_length = 128,
                           .bucket_ways = 0,
                           .short_tables = 2,
                           .long_hash_bits = 0,
                               .binary_tree = 0},
                .lazy = {.lazy_steps = 2, .nice_length = 64, .insert_in_matches = kAllPositions},
                .optimal = false,
                .optimal_passes = 0,
                .optimal_extra_passes = 0,
                .literal_rep = false,
                .chunk_tokens = kLazyChunkTokens};
        case 5:  // eight-way buckets, optimal parsing: a quarter of zlib -6's speed or better
            return {.finder = {.hash_bits = 17,
                               .chain_depth = 0,
                               .nice_length = 96,
                               .bucket_ways = 8,
                               .short_tables = 2,
                               .long_hash_bits = 20,
                               .binary_tree = 0},
                    .lazy = {.lazy_steps = 0, .nice_length = 0, .insert_in_matches = kAllPositions},
                    .optimal = true,
                    .optimal_passes = 1,
                    .optimal_extra_passes = 0,
                    .literal_rep = false,
                    .chunk_tokens = 1u << 12};
        case 6:  // deeper trees, every stretch parsed twice
            return {.finder = {.hash_bits = 18,
                               .chain_depth = 128,
                               .nice_length = 258,
                               .bucket_ways = 0,
                               .short_tables = 2,
                               .long_hash_bits = 0,
                               .binary_tree = 1},
                    .lazy = {.lazy_steps = 0, .nice_length = 0, .insert_in_matches = kAllPositions},
                    .optimal = true,
                    .optimal_passes = 2,
                    .optimal_extra_passes = 2,
                    .literal_rep = true,
                    .chunk_tokens = 1u << 11};
        default:  // 3: four slots per bucket, one step of lazy look-ahead
            return {.finder = {.hash_bits = 16,
                               .chain_depth = 0,
                               .nice_length = 96,
                               .bucket_ways = 4,
                               .short_tables = 1,
                               .long_hash_bits = 16,
                               .binary_tree = 0},
                    .lazy = {.lazy_steps = 1, .nice_length = 32, .insert_in_matches = 4},
                    .optimal = false,
                    .optimal_passes = 0,
                    .optimal_extra_passes = 0,
                    .literal_rep = false,
                    .chunk_tokens = kLazyChunkTokens};
    }
}

}  // namespace qarn
