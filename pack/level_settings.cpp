#include "pack/level_settings.h"

namespace qarn {
namespace {

// Tokens between two decisions on where a block ends, for the lazy levels.
constexpr uint32_t kLazy = 1u << 14;
constexpr uint32_t kAll = kAllPositions;
constexpr SolidOrder kFolder = SolidOrder::kFolder;
constexpr SolidOrder kContent = SolidOrder::kContent;

// Levels 1 to 3 find matches in small buckets (plus an eight-byte table for long matches),
// which keeps them near the speed of a 32 KB-window deflate while searching the whole
// megabyte; level 4 follows hash chains with two steps of lazy look-ahead. Levels 5 and 6
// parse optimally by price, with the match search on a second thread where there is one.
// Level 5 searches buckets of eight recent positions (sixteen find 0.6% less output at a
// fifth less speed), and parses each stretch once with the prices of the stretch before:
// the speed level, a quarter of zlib -6's speed or better. Level 6 searches binary trees,
// which find longer matches sooner than chains or buckets but wait on memory at every node,
// parses every stretch twice (the second time by the prices of the first) and a stream's
// first stretch and small ones four times, weighs a match, a literal or two and the same
// distance again as one step, and decides block ends more finely: the size level. From
// level 4 on the files are chained by content (solid_order.h); it costs one more reading of
// the files, which the faster levels are not to pay.
//
// finder: hash bits, chain depth, nice length, bucket ways (0: chains or trees), short
//         tables, long hash bits, binary tree
// lazy:   look-ahead steps, nice length, positions indexed inside a taken match
constexpr LevelSettings kLevels[kMaxLevel] = {
    // finder                      lazy           optimal passes extra lit.rep chunk method order
    {{16, 0, 32, 1, 1, 16, 0},     {0, 32, 0},    false, 0, 0, false, kLazy,   '1', kFolder},
    {{16, 0, 64, 2, 1, 16, 0},     {1, 24, 4},    false, 0, 0, false, kLazy,   '2', kFolder},
    {{16, 0, 96, 4, 1, 16, 0},     {1, 32, 4},    false, 0, 0, false, kLazy,   '3', kFolder},
    {{18, 48, 128, 0, 2, 0, 0},    {2, 64, kAll}, false, 0, 0, false, kLazy,   '4', kContent},
    {{17, 0, 96, 8, 2, 20, 0},     {0, 0, kAll},  true,  1, 0, false, 1u << 12, '5', kContent},
    {{18, 128, 258, 0, 2, 0, 1},   {0, 0, kAll},  true,  2, 2, true,  1u << 11, '5', kContent},
};

}  // namespace

const LevelSettings& settings_for_level(int level) {
    if (level < kMinLevel || level > kMaxLevel) level = kDefaultLevel;
    return kLevels[level - kMinLevel];
}

}  // namespace qarn
