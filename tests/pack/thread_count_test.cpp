// The levels that search for matches on a second thread write exactly what one thread
// writes: several entries of one solid stream, one of them spanning many parse stretches,
// one that does not shrink (stored, its traces wound back), packed with one and with two
// threads, byte for byte.
#include <gtest/gtest.h>

#include <vector>

#include "pack/level_settings.h"
#include "pack/rar20_encoder.h"
#include "tests/support/round_trip.h"

namespace qarn::test {
namespace {

struct PackedStream {
    std::vector<Bytes> entries;
    std::vector<PackStatus> statuses;
};

PackedStream pack_with_threads(const std::vector<Bytes>& inputs, int level, uint32_t threads) {
    PackedStream out;
    Rar20Encoder encoder;
    EXPECT_EQ(encoder.init(level, threads), PackStatus::kOk);
    for (const Bytes& input : inputs) {
        MemorySource source(input, 70001);  // short reads, as a file may deliver them
        MemorySink sink;
        EntryPackResult result{};
        out.statuses.push_back(encoder.compress_entry(source, input.size(), sink, result));
        out.entries.push_back(sink.bytes);
    }
    return out;
}

std::vector<Bytes> sample_stream() {
    Bytes big = text_sample(300000, 11);  // about ten stretches of the optimal parser
    const Bytes bin = binary_sample(200000, 12);
    big.insert(big.end(), bin.begin(), bin.end());
    return {text_sample(5000, 13), big, random_bytes(20000, 14), binary_sample(3000, 15),
            text_sample(70000, 16)};
}

class OptimalLevels : public ::testing::TestWithParam<int> {};

TEST_P(OptimalLevels, OneAndTwoThreadsWriteTheSameBytes) {
    const int level = GetParam();
    ASSERT_TRUE(settings_for_level(level).optimal);
    const std::vector<Bytes> inputs = sample_stream();
    const PackedStream one = pack_with_threads(inputs, level, 1);
    const PackedStream two = pack_with_threads(inputs, level, 2);
    ASSERT_EQ(one.statuses, two.statuses);
    EXPECT_EQ(one.statuses[2], PackStatus::kNotSmaller);  // the noise is given up
    for (size_t i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(one.entries[i], two.entries[i]) << "entry " << i;
    }
}

TEST_P(OptimalLevels, TwoThreadsRoundTrip) {
    // The round trip itself, with the thread count the encoder picks for this machine.
    expect_round_trip(sample_stream(), GetParam());
}

INSTANTIATE_TEST_SUITE_P(Levels, OptimalLevels, ::testing::Values(5, 6));

}  // namespace
}  // namespace qarn::test
