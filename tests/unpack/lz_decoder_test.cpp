// The LZ decoder on hand-made streams: each test states the symbols and checks the bytes.
#include <gtest/gtest.h>

#include "tests/unpack/stream_builder.h"

namespace qarn::test {
namespace {

struct LzTest : ::testing::Test {
    FlatTables flat;
    Decoder d;
    BitWriter w;

    void header() { put_table_header(w, flat.lengths); }
    void literal(uint8_t b) { flat.literal.put(w, b); }
    void symbol(uint32_t s) { flat.literal.put(w, s); }
    // A long match by its length code and distance code with their extra bits.
    void long_match(uint32_t length_code, uint32_t length_extra, uint32_t dist_code, uint32_t dist_extra) {
        symbol(kSymLongMatch + length_code);
        if (kLengthBits[length_code]) w.put(length_extra, kLengthBits[length_code]);
        flat.distance.put(w, dist_code);
        if (kDistanceBits[dist_code]) w.put(dist_extra, kDistanceBits[dist_code]);
    }
    std::vector<uint8_t> run(int32_t size, bool solid = false) { return d.decode(w.bytes(), size, solid); }
};

TEST_F(LzTest, EmptyEntryReadsItsHeaderAndProducesNothing) {
    header();
    const auto out = run(0);
    EXPECT_TRUE(out.empty());
    EXPECT_EQ(d.state->remaining_size, -1);
    EXPECT_EQ(d.state->literal_table.symbol_count, 298u);
}

TEST_F(LzTest, LiteralsComeOutInOrder) {
    header();
    for (char c : std::string("hello")) literal(static_cast<uint8_t>(c));
    const auto out = run(5);
    EXPECT_EQ(std::string(out.begin(), out.end()), "hello");
}

TEST_F(LzTest, RepeatOfLastMatchAtTheStartCopiesNothingButEntersTheRing) {
    header();
    symbol(kSymRepeatLast);
    literal('x');
    const auto out = run(1);
    EXPECT_EQ(std::string(out.begin(), out.end()), "x");
    EXPECT_EQ(d.state->old_distance_count, 1);
    EXPECT_EQ(d.state->old_distances[0], 0u);
}

TEST_F(LzTest, ShortMatchWithThreeExtraBitsHasDistanceFourLengthTwo) {
    header();
    for (char c : std::string("abcd")) literal(static_cast<uint8_t>(c));
    symbol(kSymShortMatch);
    w.put(3, 2);
    const auto out = run(6);
    EXPECT_EQ(std::string(out.begin(), out.end()), "abcdab");
    EXPECT_EQ(d.state->last_length, 2u);
    EXPECT_EQ(d.state->last_distance, 4u);
}

TEST_F(LzTest, ShortestLongMatchRepeatsTheLastByteThreeTimes) {
    header();
    literal('q');
    long_match(0, 0, 0, 0);
    const auto out = run(4);
    EXPECT_EQ(std::string(out.begin(), out.end()), "qqqq");
}

TEST_F(LzTest, OverlappingMatchRepeatsItsOwnOutput) {
    header();
    literal(0x78);
    long_match(2, 0, 0, 0);  // length 5, distance 1
    const auto out = run(6);
    EXPECT_EQ(out, std::vector<uint8_t>(6, 0x78));
}

TEST_F(LzTest, RecentDistanceMatchGetsItsLengthBonuses) {
    // Distance code 25 with all 11 extra bits set is 6144 + 1 + 2047 = 0x2000.
    header();
    std::vector<uint8_t> expected;
    for (int i = 0; i < 0x2000; ++i) {
        const auto b = static_cast<uint8_t>(i * 31 + (i >> 8));
        literal(b);
        expected.push_back(b);
    }
    long_match(1, 0, 25, 0x7FF);  // coded length 4, +1 for distance 0x2000 = 5
    symbol(kSymOldDistance);      // the most recent distance, repeat code 0: 2 + 1 + 1 = 4
    flat.repeat.put(w, 0);
    for (int k = 0; k < 9; ++k) expected.push_back(expected[expected.size() - 0x2000]);
    const auto out = run(static_cast<int32_t>(expected.size()));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(d.state->last_distance, 0x2000u);
    EXPECT_EQ(d.state->last_length, 4u);
}

TEST_F(LzTest, RepeatedDistanceBonusStartsAt0x101) {
    header();
    std::vector<uint8_t> expected;
    for (int i = 0; i < 0x101; ++i) {
        literal(static_cast<uint8_t>(i));
        expected.push_back(static_cast<uint8_t>(i));
    }
    long_match(0, 0, 16, 0);  // distance 256 + 1 = 0x101, length 3 (no bonus for long matches)
    symbol(kSymOldDistance);
    flat.repeat.put(w, 0);    // 2 + 1 for 0x101
    for (int k = 0; k < 6; ++k) expected.push_back(expected[expected.size() - 0x101]);
    EXPECT_EQ(run(static_cast<int32_t>(expected.size())), expected);
}

TEST_F(LzTest, LargestDistanceIsTheWholeWindow) {
    // Distance code 47 with all 16 extra bits: 0xF0000 + 1 + 0xFFFF = 0x100000. Masked, each
    // byte is copied onto itself: the window's zeros in a fresh entry. Length bonus +2.
    header();
    literal(1);
    long_match(0, 0, 47, 0xFFFF);
    literal(2);
    const auto out = run(7);
    EXPECT_EQ(out, (std::vector<uint8_t>{1, 0, 0, 0, 0, 0, 2}));
    EXPECT_EQ(d.state->last_distance, 0x100000u);
}

TEST_F(LzTest, TableChangeToAnAudioBlockKeepsDecodingWithTheLiteralTable) {
    header();
    literal('a');
    symbol(kSymTableChange);
    w.put(1, 1);
    w.put(0, 1);
    w.put(0, 2);
    for (int i = 0; i < 19; ++i) w.put(5, 4);
    for (int i = 0; i < 257; ++i) w.put(8, 5);
    literal('b');
    const auto out = run(2);
    EXPECT_EQ(std::string(out.begin(), out.end()), "ab");
    EXPECT_NE(d.state->audio_block, 0u);
}

TEST_F(LzTest, SolidEntryContinuesWindowAndDistanceRing) {
    header();
    for (char c : std::string("solid!")) literal(static_cast<uint8_t>(c));
    long_match(0, 0, 5, 1);  // length 3, distance 6 + 1 + 1 = 8
    // That distance reaches before the entry's start: two zeros of the fresh window, then 's'.
    const auto first = run(9);
    EXPECT_EQ(first.size(), 9u);

    BitWriter second;
    flat.literal.put(second, kSymOldDistance);  // most recent distance: 8
    flat.repeat.put(second, 1);                 // length 3
    const auto out = d.decode(second.bytes(), 3, true);
    // Bytes 9..11 copy bytes 1..3 of the previous entry's output.
    EXPECT_EQ(out, std::vector<uint8_t>(first.begin() + 1, first.begin() + 4));
}

TEST_F(LzTest, NonSolidEntryStartsFromAClearedWindow) {
    header();
    for (char c : std::string("abc")) literal(static_cast<uint8_t>(c));
    run(3);
    w = BitWriter();
    header();
    long_match(0, 0, 2, 0);  // distance 3: in a fresh window, zeros
    EXPECT_EQ(run(3), std::vector<uint8_t>(3, 0));
}

TEST_F(LzTest, OutputWrapsAtTheWindowEndAndFlushesInOrder) {
    // 1 MB + 300 bytes of output: the write position wraps, the flush hands on the tail of
    // the window first and then its start.
    header();
    std::vector<uint8_t> expected;
    for (int i = 0; i < 96; ++i) {
        literal(static_cast<uint8_t>(i));
        expected.push_back(static_cast<uint8_t>(i));
    }
    const size_t total = kWindowSize + 300;
    while (expected.size() < total) {
        // Length code 27 with 5 extra bits 31: 224 + 3 + 31 = 258 bytes at distance 96.
        const size_t n = std::min<size_t>(258, total - expected.size());
        if (n < 258) {
            for (size_t k = 0; k < n; ++k) {
                const uint8_t b = expected[expected.size() - 96];
                literal(b);
                expected.push_back(b);
            }
            break;
        }
        long_match(27, 31, 12, 31);  // distance code 12: 64 + 1 + 31 = 96
        for (size_t k = 0; k < 258; ++k) expected.push_back(expected[expected.size() - 96]);
    }
    const auto out = run(static_cast<int32_t>(expected.size()));
    ASSERT_EQ(out.size(), expected.size());
    EXPECT_TRUE(out == expected);
    EXPECT_GE(d.writer.calls, 3) << "at least the wrap's two pieces and the final flush";
}

TEST_F(LzTest, MatchPastTheEndIsCopiedWholeAndHandedOn) {
    header();
    literal('z');
    long_match(7, 0, 0, 0);  // length 10 where only 4 remain
    const auto out = run(5);
    EXPECT_EQ(out.size(), 11u) << "the excess is handed on; the entry's length check catches it";
    EXPECT_LT(d.state->remaining_size, -1);
}

}  // namespace
}  // namespace qarn::test
