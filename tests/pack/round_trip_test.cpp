// Round trips through the project's decoder: every kind of input, sizes around every
// boundary of the decoder's buffers, solid chains, every level.
#include <gtest/gtest.h>

#include <string>

#include "pack/level_settings.h"
#include "tests/support/round_trip.h"

namespace qarn::test {
namespace {

class EveryLevel : public ::testing::TestWithParam<int> {};

TEST_P(EveryLevel, SmallInputs) {
    const int level = GetParam();
    expect_round_trip({Bytes{0x41}}, level);
    expect_round_trip({Bytes(2, 0)}, level);
    expect_round_trip({Bytes(300, 0x55)}, level);
    expect_round_trip({text_sample(100, 1)}, level);
    expect_round_trip({random_bytes(1000, 3)}, level);  // does not shrink: stored
}

TEST_P(EveryLevel, KindsOfInput) {
    const int level = GetParam();
    expect_round_trip({Bytes(200000, 0)}, level);
    expect_round_trip({text_sample(150000, 2)}, level);
    expect_round_trip({binary_sample(150000, 3)}, level);
    Bytes mixed = text_sample(40000, 4);
    const Bytes noise = random_bytes(30000, 5);
    mixed.insert(mixed.end(), noise.begin(), noise.end());
    const Bytes bin = binary_sample(40000, 6);
    mixed.insert(mixed.end(), bin.begin(), bin.end());
    expect_round_trip({mixed}, level);
}

// Copies of a block with one or two bytes changed every few dozen, near and far: the shape
// where a match, a literal or two and the same distance again win, at every distance band in
// which the decoder adds its own length to a repeated distance.
TEST_P(EveryLevel, CopiesWithChangedBytes) {
    const int level = GetParam();
    for (const size_t gap : {size_t{0}, size_t{9000}, size_t{300000}}) {
        for (const size_t block : {size_t{120}, size_t{3000}}) {
            const Bytes original = random_bytes(block, static_cast<uint32_t>(block + gap));
            Bytes data = original;
            for (uint32_t copy = 1; copy <= 4; ++copy) {
                const Bytes filler = random_bytes(gap, copy);
                data.insert(data.end(), filler.begin(), filler.end());
                Bytes changed = original;
                for (size_t at = 17 * copy; at < changed.size(); at += 29 + copy) {
                    changed[at] ^= 0x5A;
                    if (copy > 2 && at + 1 < changed.size()) changed[at + 1] ^= 0x3C;
                }
                data.insert(data.end(), changed.begin(), changed.end());
            }
            SCOPED_TRACE("block " + std::to_string(block) + ", gap " + std::to_string(gap));
            expect_round_trip({data}, level);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, EveryLevel, ::testing::Range(kMinLevel, kMaxLevel + 1));

}  // namespace
}  // namespace qarn::test
