// The decoder against a plain model of the format written straight from its rules: random
// symbol streams (literals, long and short matches, repeats, recent distances, distances
// up to a whole window, output wrapping at the window's end) must decode to the model's
// bytes. This pins the decoder's fast paths (wide copies, lookup tables) to the rules.
#include <gtest/gtest.h>

#include <random>
#include <utility>

#include "tests/unpack/stream_builder.h"

namespace qarn::test {
namespace {

class Model {
public:
    std::vector<uint8_t> out;
    void literal(uint8_t b) { out.push_back(b); }
    void match(uint32_t distance, uint32_t length) {
        ring_[count_++ & 3] = distance;
        last_distance_ = distance;
        last_length_ = length;
        // Distances act modulo the window: 0 and a whole window both name the byte written
        // one window earlier. Before anything was written there, the window holds zeros.
        const size_t back = ((distance - 1) & (kWindowSize - 1)) + 1;
        for (uint32_t i = 0; i < length; ++i) {
            const size_t at = out.size();
            out.push_back(at >= back ? out[at - back] : 0);
        }
    }
    uint32_t recent(uint32_t k) const { return ring_[(count_ - k) & 3]; }
    uint32_t last_distance() const { return last_distance_; }
    uint32_t last_length() const { return last_length_; }

private:
    uint32_t ring_[4] = {};
    uint32_t count_ = 0;
    uint32_t last_distance_ = 0;
    uint32_t last_length_ = 0;
};

struct Generator {
    FlatTables flat;
    BitWriter w;
    Model model;
    std::mt19937 rng;

    explicit Generator(uint32_t seed, FlatTables tables = FlatTables())
        : flat(std::move(tables)), rng(seed) {
        put_table_header(w, flat.lengths);
    }
    uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng() % n); }

    void literal() {
        const auto b = static_cast<uint8_t>(pick(4) == 0 ? pick(256) : 'a' + pick(4));
        flat.literal.put(w, b);
        model.literal(b);
    }
    void long_match(uint32_t dist_code, uint32_t dist_extra) {
        const uint32_t k = pick(28);
        const uint32_t len_extra = kLengthBits[k] ? pick(1u << kLengthBits[k]) : 0;
        flat.literal.put(w, kSymLongMatch + k);
        if (kLengthBits[k]) w.put(len_extra, kLengthBits[k]);
        flat.distance.put(w, dist_code);
        if (kDistanceBits[dist_code]) w.put(dist_extra, kDistanceBits[dist_code]);
        const uint32_t distance = kDistanceBases[dist_code] + 1 + dist_extra;
        uint32_t length = kLengthBases[k] + 3 + len_extra;
        if (distance >= 0x40000) ++length;
        if (distance >= 0x2000) ++length;
        model.match(distance, length);
    }
    void random_long_match(bool far) {
        const uint32_t d = far ? 36 + pick(12) : pick(20);
        const uint32_t bits = kDistanceBits[d];
        // Favour the extremes of each code's range: they are where the bonuses and the
        // window's end lie.
        uint32_t extra = 0;
        if (bits) extra = pick(3) == 0 ? (1u << bits) - 1 - pick(8 < (1u << bits) ? 8 : 1) : pick(1u << bits);
        long_match(d, extra);
    }
    void short_match() {
        const uint32_t j = pick(8);
        const uint32_t extra = pick(1u << kShortBits[j]);
        flat.literal.put(w, kSymShortMatch + j);
        w.put(extra, kShortBits[j]);
        model.match(kShortBases[j] + 1 + extra, 2);
    }
    void recent_match() {
        const uint32_t k = 1 + pick(4);
        const uint32_t r = pick(28);
        const uint32_t extra = kLengthBits[r] ? pick(1u << kLengthBits[r]) : 0;
        flat.literal.put(w, kSymRepeatLast + k);
        flat.repeat.put(w, r);
        if (kLengthBits[r]) w.put(extra, kLengthBits[r]);
        const uint32_t distance = model.recent(k);
        uint32_t length = kLengthBases[r] + 2 + extra;
        if (distance >= 0x40000) ++length;
        if (distance >= 0x2000) ++length;
        if (distance >= 0x101) ++length;
        model.match(distance, length);
    }
    void repeat_last() {
        flat.literal.put(w, kSymRepeatLast);
        model.match(model.last_distance(), model.last_length());
    }
    void random_symbol(bool far) {
        switch (pick(6)) {
            case 0: literal(); break;
            case 1: random_long_match(far); break;
            case 2: short_match(); break;
            case 3: recent_match(); break;
            case 4: repeat_last(); break;
            default: literal(); break;
        }
    }
};

TEST(ReferenceModel, RandomStreamsWithNearDistancesMatchTheModel) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        Generator g(seed);
        for (int i = 0; i < 50; ++i) g.literal();
        for (int i = 0; i < 3000; ++i) g.random_symbol(false);
        Decoder d;
        const auto out = d.decode(g.w.bytes(), static_cast<int32_t>(g.model.out.size()), false);
        ASSERT_EQ(out, g.model.out) << "seed " << seed;
    }
}

// Every code 15 bits long (an incomplete code, which the format allows): a far match is
// then the longest step, 51 bits, after which fewer bits are left than a lookup reads.
TEST(ReferenceModel, StepsOfTheLongestCodesMatchTheModel) {
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        Generator g(seed, FlatTables(15, 15, 15));
        for (int i = 0; i < 50; ++i) g.literal();
        for (int i = 0; i < 3000; ++i) g.random_symbol(seed % 2 == 0);
        Decoder d;
        const auto out = d.decode(g.w.bytes(), static_cast<int32_t>(g.model.out.size()), false);
        ASSERT_EQ(out, g.model.out) << "seed " << seed;
    }
}

TEST(ReferenceModel, DistancesUpToAWholeWindowAcrossTheWrapMatchTheModel) {
    // About 1 MB of matches first, so that the output wraps at the window's end while
    // matches reach back nearly (or exactly) a window.
    Generator g(77);
    for (int i = 0; i < 300; ++i) g.literal();
    while (g.model.out.size() < kWindowSize - 5000) g.long_match(12, 31);  // 96 back
    for (int i = 0; i < 6000; ++i) g.random_symbol(true);
    // The largest distances, each with a few lengths: 0x100000 - k for k = 0..9.
    for (uint32_t k = 0; k < 10; ++k) g.long_match(47, 0xFFFF - k);
    for (int i = 0; i < 2000; ++i) g.random_symbol(true);
    Decoder d;
    const auto out = d.decode(g.w.bytes(), static_cast<int32_t>(g.model.out.size()), false);
    ASSERT_EQ(out.size(), g.model.out.size());
    size_t first_difference = out.size();
    for (size_t i = 0; i < out.size(); ++i) {
        if (out[i] != g.model.out[i]) {
            first_difference = i;
            break;
        }
    }
    EXPECT_EQ(first_difference, out.size()) << "outputs differ";
}

// Size of the first difference between two outputs, or the outputs' size when they agree.
size_t first_difference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
    for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
        if (a[i] != b[i]) return i;
    }
    return a.size() == b.size() ? a.size() : std::min(a.size(), b.size());
}

TEST(ReferenceModel, EarlierEntriesBytesReadAsZeroAfterANonSolidStartAcrossTheWrap) {
    // The window is not cleared when a non-solid entry starts, yet every byte before the
    // entry's start must read as zero, for the entry itself, for the solid entries that
    // follow it, and for matches whose source straddles the window's end.
    Decoder d;
    {
        // More than a window of nonzero bytes, so that every position holds a leftover.
        Generator dirt(5);
        for (int i = 0; i < 300; ++i) dirt.literal();
        while (dirt.model.out.size() < kWindowSize + 200000) dirt.long_match(12, 31);
        const auto out = d.decode(dirt.w.bytes(), static_cast<int32_t>(dirt.model.out.size()), false);
        ASSERT_EQ(out.size(), dirt.model.out.size());
    }
    Generator g(78);
    for (int i = 0; i < 100; ++i) g.literal();
    for (int i = 0; i < 2000; ++i) g.random_symbol(true);  // far matches: before the start
    g.long_match(47, 0xFFFF);                              // a whole window back
    size_t done = 0;
    auto decode_part = [&](bool solid) {
        const size_t size = g.model.out.size() - done;
        const auto out = d.decode(g.w.bytes(), static_cast<int32_t>(size), solid);
        const std::vector<uint8_t> expected(g.model.out.begin() + static_cast<long>(done),
                                            g.model.out.end());
        done = g.model.out.size();
        g.w = BitWriter();
        return first_difference(out, expected) == expected.size();
    };
    ASSERT_TRUE(decode_part(false)) << "the non-solid entry itself";
    // A solid entry up to close to the window's end, reaching back before the first start.
    while (g.model.out.size() < kWindowSize - 3000) g.long_match(12, 31);
    for (int i = 0; i < 200; ++i) g.random_symbol(true);
    ASSERT_TRUE(decode_part(true)) << "a solid entry after it";
    // Across the end: sources straddle the window's end, half of them never written.
    while (g.model.out.size() < kWindowSize - 40) g.literal();
    for (uint32_t k = 0; k < 6; ++k) g.long_match(47, 0xFFFF - 20 - k);
    for (int i = 0; i < 3000; ++i) g.random_symbol(true);
    ASSERT_TRUE(decode_part(true)) << "a solid entry across the wrap";
}

}  // namespace
}  // namespace qarn::test
