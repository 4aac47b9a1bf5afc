// Damaged and hostile packed data: every case ends promptly, inside its bounds, and shows
// only as wrong or missing output.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/support/test_support.h"
#include "tests/unpack/stream_builder.h"
#include "unpack/lz_decoder.h"

namespace qarn::test {
namespace {

using Clock = std::chrono::steady_clock;

struct HostileTest : ::testing::Test {
    Decoder d;
    // Decoding must stop near the end of the packed data, not at the unpacked size.
    std::vector<uint8_t> decode_bounded(const std::vector<uint8_t>& packed, int32_t size) {
        const auto start = Clock::now();
        auto out = d.decode(packed, size, false);
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
        return out;
    }
};

TEST_F(HostileTest, LiteralTableThatCodesOnlyTheTableChangeEndsAtTheDataEnd) {
    std::vector<uint8_t> lengths(kNormalTableSize, 0);
    lengths[kSymTableChange] = 1;
    BitWriter w;
    put_table_header(w, lengths);
    // The data goes on with the same header again and again, then ends.
    for (int i = 0; i < 20; ++i) {
        w.put(0, 1);  // symbol 269
        put_table_header(w, lengths);
    }
    const auto out = decode_bounded(w.bytes(), 0x7FFFFFFF);
    EXPECT_TRUE(out.empty());
    EXPECT_GT(d.state->remaining_size, 0) << "stopped by the bound, not by the size";
}

TEST_F(HostileTest, RepeatOfAnEmptyLastMatchForeverEndsAtTheDataEnd) {
    std::vector<uint8_t> lengths(kNormalTableSize, 0);
    lengths[kSymRepeatLast] = 1;
    lengths['a'] = 1;
    BitWriter w;
    put_table_header(w, lengths);
    for (int i = 0; i < 4000; ++i) w.put(1, 1);  // symbol 256 with last_length 0
    const auto out = decode_bounded(w.bytes(), 1000);
    // Only the padding bits of the last byte may still decode (as 'a').
    EXPECT_LT(out.size(), 8u);
}

TEST_F(HostileTest, HugeUnpackedSizeWithFewPackedBytesProducesLittle) {
    const Bytes packed = random_bytes(64, 5);
    const auto out = decode_bounded(packed, 0x7FFFFFFF);
    EXPECT_LT(out.size(), 64u * 8 * 261) << "at most one symbol per bit of packed data";
}

TEST_F(HostileTest, PackedSizeClaimedBeyondTheDataEndsWhereTheDataEnds) {
    // A truncated file: the header claims nearly 2 GB of packed data, the reader runs dry
    // after 200 bytes. Counting from the claim would keep the decoder busy for gigabytes.
    MemoryReader reader(random_bytes(200, 9));
    d.state->reader = &reader;
    d.state->writer = &d.writer;
    d.state->packed_size = 0x7FFFFFF0;
    d.state->remaining_size = 0x7FFFFFF0;
    const auto start = Clock::now();
    decompress(*d.state, d.window.get(), false);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_LT(d.writer.out.size(), 200u * 8 * 261);
}

TEST_F(HostileTest, SizeWithTheTopBitSetDecodesNothingAndNeverSpins) {
    const Bytes packed = random_bytes(200, 6);
    for (uint32_t size : {0x80000000u, 0xFFFFFFFFu, 0x80000001u}) {
        const auto out = decode_bounded(packed, static_cast<int32_t>(size));
        EXPECT_LT(out.size(), 200u * 8 * 261) << size;
    }
}

TEST_F(HostileTest, TruncatedStreamFailsToProduceTheRightBytesButEnds) {
    FlatTables flat;
    BitWriter w;
    put_table_header(w, flat.lengths);
    for (int i = 0; i < 5000; ++i) flat.literal.put(w, static_cast<uint32_t>(i & 0xFF));
    Bytes packed = w.bytes();
    packed.resize(packed.size() / 3);
    const auto out = decode_bounded(packed, 5000);
    EXPECT_LE(out.size(), 5000u + kLongestDecoderStep);
}

TEST_F(HostileTest, EmptyPackedDataForANonEmptyEntryEnds) {
    const auto out = decode_bounded({}, 100000);
    EXPECT_LT(out.size(), 100000u);
}

TEST_F(HostileTest, RandomStreamsOfManySizesNeverHangOrOverrun) {
    for (uint32_t seed = 1; seed <= 60; ++seed) {
        const Bytes packed = random_bytes(seed * 97, seed);
        const auto out = decode_bounded(packed, static_cast<int32_t>(seed * 10007));
        EXPECT_LE(out.size(), seed * 10007u + 260u) << seed;
        // A solid continuation on top of whatever the damaged entry left behind.
        const auto more = d.decode(random_bytes(300, seed + 1000), 5000, true);
        EXPECT_LE(more.size(), 5000u + 260u);
    }
}

}  // namespace
}  // namespace qarn::test
