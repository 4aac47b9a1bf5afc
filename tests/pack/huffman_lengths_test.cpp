// Code lengths: never longer than 15 bits, always a complete code, canonical values that
// the decoder's table reads back symbol for symbol.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "pack/bit_writer.h"
#include "pack/huffman_lengths.h"
#include "unpack/bit_input.h"
#include "unpack/decode_table.h"

namespace qarn {
namespace {

uint64_t kraft_sum(const uint8_t* lengths, uint32_t n) {
    uint64_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (lengths[i] != 0) sum += uint64_t{1} << (15 - lengths[i]);
    }
    return sum;
}

TEST(HuffmanLengths, FibonacciFrequenciesAreLimitedTo15BitsAndStayComplete) {
    // Fibonacci weights make the deepest unlimited Huffman tree: 40 symbols would need 39 bits.
    std::vector<uint32_t> freqs(40);
    freqs[0] = 1;
    freqs[1] = 1;
    for (size_t i = 2; i < freqs.size(); ++i) freqs[i] = freqs[i - 1] + freqs[i - 2];
    uint8_t lengths[40];
    build_code_lengths(freqs.data(), 40, 15, lengths);
    for (uint8_t len : lengths) {
        EXPECT_GE(len, 1);
        EXPECT_LE(len, 15);
    }
    EXPECT_EQ(kraft_sum(lengths, 40), 1u << 15);
    // The most frequent symbol keeps the shortest code.
    EXPECT_EQ(lengths[39], *std::min_element(lengths, lengths + 40));
}

TEST(HuffmanLengths, OneUsedSymbolGetsAPartnerSoTheCodeIsComplete) {
    uint32_t freqs[48] = {};
    freqs[0] = 7;
    uint8_t lengths[48];
    build_code_lengths(freqs, 48, 15, lengths);
    EXPECT_EQ(lengths[0], 1);
    EXPECT_EQ(kraft_sum(lengths, 48), 1u << 15);
    freqs[0] = 0;
    freqs[30] = 3;
    build_code_lengths(freqs, 48, 15, lengths);
    EXPECT_EQ(lengths[30], 1);
    EXPECT_EQ(lengths[0], 1);
}

TEST(HuffmanLengths, NoUsedSymbolGivesNoCodes) {
    uint32_t freqs[28] = {};
    uint8_t lengths[28];
    build_code_lengths(freqs, 28, 15, lengths);
    for (uint8_t len : lengths) EXPECT_EQ(len, 0);
}

TEST(HuffmanLengths, EqualFrequenciesGiveEqualLengths) {
    uint32_t freqs[256];
    for (uint32_t& f : freqs) f = 5;
    uint8_t lengths[256];
    build_code_lengths(freqs, 256, 15, lengths);
    for (uint8_t len : lengths) EXPECT_EQ(len, 8);
}

// Every symbol, written with assign_codes' values, comes back through the decoder's table.
TEST(HuffmanLengths, CanonicalCodesDecodeThroughTheDecodersTable) {
    std::vector<uint32_t> freqs(298);
    for (size_t i = 0; i < freqs.size(); ++i)
        freqs[i] = static_cast<uint32_t>((i * 7919) % 1000 + (i % 3 == 0 ? 0 : 1));
    freqs[5] = 100000;  // a short code
    uint8_t lengths[298];
    build_code_lengths(freqs.data(), 298, 15, lengths);
    EXPECT_EQ(kraft_sum(lengths, 298), 1u << 15);
    uint16_t codes[298];
    assign_codes(lengths, 298, codes);

    BitWriter w;
    std::vector<uint32_t> sent;
    for (uint32_t s = 0; s < 298; ++s) {
        if (lengths[s] == 0) continue;
        w.put(codes[s], lengths[s]);
        sent.push_back(s);
    }
    w.pad_to_byte();
    ASSERT_TRUE(w.ok());
    ASSERT_LE(w.whole_byte_count(), kInputBufferSize - 8);

    auto s = std::make_unique<UnpackState>();
    std::memset(s.get(), 0, sizeof(UnpackState));
    std::memcpy(s->input_buffer, w.whole_bytes(), w.whole_byte_count());
    DecodeTable table{};
    build_decode_table(lengths, table, 298);
    for (uint32_t expected : sent) EXPECT_EQ(decode_symbol(*s, table), expected);
}

}  // namespace
}  // namespace qarn
