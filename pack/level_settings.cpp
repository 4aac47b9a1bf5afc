#include "pack/level_settings.h"

namespace qarn {

// Levels 1 to 3 find matches in small buckets (plus an eight-byte table for long matches),
// which keeps them near the speed of a 32 KB-window deflate while searching the whole
// megabyte; level 4 follows hash chains; level 5 searches binary trees, which find longer
// matches sooner than chains, and parses optimally by price, each stretch once with the
// prices of the stretch before (a stream's first stretch three times, by its own prices).
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
                    .optimal_passes = 0};
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
                    .optimal_passes = 0};
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
                .optimal_passes = 0};
        case 5:  // binary trees, optimal parsing
            return {.finder = {.hash_bits = 18,
                               .chain_depth = 48,
                               .nice_length = 96,
                               .bucket_ways = 0,
                               .short_tables = 2,
                               .long_hash_bits = 0,
                               .binary_tree = 1},
                    .lazy = {.lazy_steps = 0, .nice_length = 0, .insert_in_matches = kAllPositions},
                    .optimal = true,
                    .optimal_passes = 1};
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
                    .optimal_passes = 0};
    }
}

}  // namespace qarn
