#include <gtest/gtest.h>

#include <cstring>

#include "tests/unpack/stream_builder.h"
#include "unpack/bit_input.h"
#include "unpack/decode_table.h"

namespace qarn::test {
namespace {

// Decodes one symbol from a 16-bit window placed at the start of the buffer.
struct Decode {
    std::unique_ptr<UnpackState> s = std::make_unique<UnpackState>();
    uint32_t symbol(const DecodeTable& t, uint32_t window, uint32_t* consumed) {
        s->read_pos = 0;
        s->bit_pos = 0;
        s->input_buffer[0] = static_cast<uint8_t>(window >> 8);
        s->input_buffer[1] = static_cast<uint8_t>(window);
        s->input_buffer[2] = 0;
        const uint32_t sym = decode_symbol(*s, t);
        *consumed = s->read_pos * 8 + s->bit_pos;
        return sym;
    }
};

TEST(DecodeTable, OneTwoTwoCodeDecodesEveryWindow) {
    auto t = std::make_unique<DecodeTable>();
    const uint8_t lengths[3] = {1, 2, 2};
    build_decode_table(lengths, *t, 3);
    EXPECT_EQ(t->limits[1], 0x8000u);
    for (int n = 2; n < 16; ++n) EXPECT_EQ(t->limits[n], 0xFFFFu) << n;
    EXPECT_EQ(t->starts[1], 0u);
    EXPECT_EQ(t->starts[2], 1u);
    EXPECT_EQ(t->symbols[0], 0);
    EXPECT_EQ(t->symbols[1], 1);
    EXPECT_EQ(t->symbols[2], 2);
    Decode d;
    uint32_t bits = 0;
    for (uint32_t w : {0x0000u, 0x7FFFu}) {
        EXPECT_EQ(d.symbol(*t, w, &bits), 0u);
        EXPECT_EQ(bits, 1u);
    }
    for (uint32_t w : {0x8000u, 0xBFFFu}) {
        EXPECT_EQ(d.symbol(*t, w, &bits), 1u);
        EXPECT_EQ(bits, 2u);
    }
    for (uint32_t w : {0xC000u, 0xFFFFu}) {
        EXPECT_EQ(d.symbol(*t, w, &bits), 2u);
        EXPECT_EQ(bits, 2u);
    }
}

TEST(DecodeTable, AllLengthsZeroDecodeAsFifteenBitCodes) {
    auto t = std::make_unique<DecodeTable>();
    std::memset(t.get(), 0, sizeof *t);
    t->symbols[0] = 7;  // what an earlier build might have left
    t->symbols[3] = 11;
    const uint8_t lengths[5] = {};
    build_decode_table(lengths, *t, 5);
    for (int n = 0; n < 16; ++n) EXPECT_EQ(t->limits[n], 0u);
    Decode d;
    uint32_t bits = 0;
    EXPECT_EQ(d.symbol(*t, 0x0006, &bits), 11u);  // index 3, left over from before
    EXPECT_EQ(bits, 15u);
    EXPECT_EQ(d.symbol(*t, 0x00FF, &bits), 7u);   // index 127 >= 5: symbols[0]
    EXPECT_EQ(bits, 15u);
}

// The fast table must agree with the reference rule for every window, for complete,
// incomplete and over-full sets of lengths alike.
TEST(DecodeTable, FastLookupAgreesWithTheReferenceRuleForEveryWindow) {
    std::vector<std::vector<uint8_t>> cases;
    cases.push_back(std::vector<uint8_t>(298, 9));                  // incomplete
    cases.push_back({1, 1, 1, 3, 15, 15, 2});                        // over-full
    std::vector<uint8_t> deep(298, 0);
    for (int i = 0; i < 15; ++i) deep[static_cast<size_t>(i)] = static_cast<uint8_t>(i + 1);
    deep[15] = 15;                                                   // complete, depth 15
    cases.push_back(deep);
    std::vector<uint8_t> mixed(298);
    for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<uint8_t>((i * 37 + 5) % 16);
    cases.push_back(mixed);                                          // lengths 0..15 at random
    Decode d;
    for (const auto& lengths : cases) {
        auto t = std::make_unique<DecodeTable>();
        build_decode_table(lengths.data(), *t, static_cast<uint32_t>(lengths.size()));
        for (uint32_t w = 0; w < 0x10000; ++w) {
            const uint32_t v = w & 0xFFFE;
            uint32_t len = 1;
            while (len < 15 && v >= t->limits[len]) ++len;
            uint32_t index = t->starts[len] + ((v - t->limits[len - 1]) >> (16 - len));
            if (index >= t->symbol_count) index = 0;
            uint32_t bits = 0;
            const uint32_t sym = d.symbol(*t, w, &bits);
            ASSERT_EQ(bits, len) << "window " << w;
            ASSERT_EQ(sym, t->symbols[index]) << "window " << w;
        }
    }
}

TEST(DecodeTable, CanonicalCodesRoundTrip) {
    std::vector<uint8_t> lengths(48, 0);
    const uint8_t used[] = {2, 3, 3, 4, 4, 4, 5, 5, 6, 6, 6, 6};
    for (size_t i = 0; i < sizeof used; ++i) lengths[i * 4] = used[i];
    auto t = std::make_unique<DecodeTable>();
    build_decode_table(lengths.data(), *t, 48);
    CanonicalCode code(lengths);
    BitWriter w;
    std::vector<uint32_t> symbols;
    for (size_t i = 0; i < sizeof used; ++i) {
        symbols.push_back(static_cast<uint32_t>(i * 4));
        code.put(w, static_cast<uint32_t>(i * 4));
    }
    auto s = std::make_unique<UnpackState>();
    const auto bytes = w.bytes();
    std::memcpy(s->input_buffer, bytes.data(), bytes.size());
    for (uint32_t expected : symbols) EXPECT_EQ(decode_symbol(*s, *t), expected);
}

}  // namespace
}  // namespace qarn::test
