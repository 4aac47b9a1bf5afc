#include <gtest/gtest.h>

#include <cstring>

#include "tests/unpack/stream_builder.h"
#include "unpack/bit_input.h"

namespace qarn::test {
namespace {

struct BitInputTest : ::testing::Test {
    std::unique_ptr<UnpackState> s = std::make_unique<UnpackState>();
};

TEST_F(BitInputTest, ReadsMostSignificantBitFirst) {
    s->input_buffer[0] = 0x80;
    EXPECT_EQ(peek_bits(*s), 0x8000u);
    EXPECT_EQ(read_bits(*s, 1), 1u);
    EXPECT_EQ(read_bits(*s, 7), 0u);
    EXPECT_EQ(s->read_pos, 1u);
    EXPECT_EQ(s->bit_pos, 0u);
}

TEST_F(BitInputTest, WindowSpansThreeBytesAtAnyBitPosition) {
    s->read_pos = 10;
    s->bit_pos = 7;
    s->input_buffer[10] = 0x01;
    s->input_buffer[11] = 0xFF;
    s->input_buffer[12] = 0xFF;
    EXPECT_EQ(peek_bits(*s), 0xFFFFu);
    skip_bits(*s, 16);
    EXPECT_EQ(s->read_pos, 12u);
    EXPECT_EQ(s->bit_pos, 7u);
}

TEST_F(BitInputTest, ValuesOfEveryWidthComeOutWhole) {
    BitWriter w;
    for (uint32_t n = 1; n <= 16; ++n) w.put((0xA5A5u >> (16 - n)), n);
    const auto bytes = w.bytes();
    std::memcpy(s->input_buffer, bytes.data(), bytes.size());
    for (uint32_t n = 1; n <= 16; ++n) EXPECT_EQ(read_bits(*s, n), 0xA5A5u >> (16 - n)) << n;
}

TEST_F(BitInputTest, FirstFillTakesUpTo8192BytesAndRecordsTheCount) {
    MemoryReader reader(std::vector<uint8_t>(100, 0x5A));
    s->reader = &reader;
    refill_input(*s, true);
    EXPECT_EQ(s->read_top, 100u);
    EXPECT_EQ(s->read_pos, 0u);

    MemoryReader big(std::vector<uint8_t>(20000, 1));
    s->reader = &big;
    refill_input(*s, true);
    EXPECT_EQ(s->read_top, 8192u);
    EXPECT_EQ(big.delivered(), 8192u);
}

TEST_F(BitInputTest, LaterFillMovesTheLast32BytesToTheFront) {
    std::vector<uint8_t> data(8192 + 10);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i * 7);
    MemoryReader reader(data);
    s->reader = &reader;
    refill_input(*s, true);
    s->read_pos = 8163;
    s->bit_pos = 5;
    refill_input(*s, false);
    EXPECT_EQ(s->read_pos, 3u);
    EXPECT_EQ(s->bit_pos, 5u);
    EXPECT_EQ(s->read_top, 42u);  // 10 new bytes behind the 32 kept
    for (size_t i = 0; i < 42; ++i) ASSERT_EQ(s->input_buffer[i], data[8160 + i]) << i;
}

TEST_F(BitInputTest, FillAfterTheDataEndsLeavesReadTopAtTheReadPosition) {
    MemoryReader reader(std::vector<uint8_t>(8192, 9));
    s->reader = &reader;
    refill_input(*s, true);
    s->read_pos = 8163;
    refill_input(*s, false);
    EXPECT_EQ(s->read_pos, 3u);
    EXPECT_EQ(s->read_top, 3u);
}

TEST_F(BitInputTest, OverrunIsCountedInBitsAcrossFills) {
    s->packed_size = 2;
    s->read_pos = 2;
    EXPECT_FALSE(input_overrun(*s));
    s->bit_pos = 1;
    EXPECT_TRUE(input_overrun(*s));
    s->packed_size = 8200;
    s->input_base = 8160;
    s->read_pos = 40;
    s->bit_pos = 0;
    EXPECT_FALSE(input_overrun(*s));
    s->read_pos = 41;
    EXPECT_TRUE(input_overrun(*s));
}

TEST_F(BitInputTest, RegisterBufferReadsWhatTheRecordReadsAndKeepsItsPosition) {
    // The decoding loop's 64-bit buffer against the record's own reads: the same values for
    // every width from 0 to 16 at every bit position, the same position when stored, and a
    // load from a stored position goes on where it left off.
    for (uint32_t i = 0; i < 600; ++i) s->input_buffer[i] = static_cast<uint8_t>(i * 151u + (i >> 3));
    auto reference = std::make_unique<UnpackState>();
    std::memcpy(reference->input_buffer, s->input_buffer, sizeof s->input_buffer);
    s->read_pos = 3;
    s->bit_pos = 5;
    reference->read_pos = 3;
    reference->bit_pos = 5;
    BitBuffer in{};
    in.load(*s);
    uint32_t width = 0;
    for (int step = 0; step < 400; ++step) {
        if (step % 3 == 0) in.refill();
        width = (width * 7 + 3) % 17;  // 0 to 16, in a scrambled order
        const uint32_t expected = width == 0 ? 0 : read_bits(*reference, width);
        ASSERT_EQ(in.take(width), expected) << "step " << step << ", width " << width;
        if (step % 50 == 49) {
            in.store(*s);
            ASSERT_EQ(s->read_pos, reference->read_pos) << step;
            ASSERT_EQ(s->bit_pos, reference->bit_pos) << step;
            in.load(*s);
        }
    }
}

}  // namespace
}  // namespace qarn::test
