// Round trips at the edges of the decoder's buffers: packed data that ends around the
// 8,192 and 8,160-byte input fills (where the end-of-entry check looks at what is left),
// unpacked sizes around them, matches that reach back exactly one window, entries that end
// near the 270-byte flush margin of the window, and entries larger than the compressor's
// buffer, stored ones among them.
#include <gtest/gtest.h>

#include <set>

#include "pack/level_settings.h"
#include "tests/support/round_trip.h"

namespace qarn::test {
namespace {

// Random bytes (incompressible) followed by zeros: the packed size follows the random part
// almost byte for byte.
Bytes noise_then_zeros(size_t noise, size_t zeros, uint32_t seed) {
    Bytes b = random_bytes(noise, seed);
    b.resize(noise + zeros, 0);
    return b;
}

// Random symbols from a smaller alphabet: compressible, but without matches.
Bytes narrow_noise(size_t n, uint32_t seed, uint8_t symbols) {
    Bytes b = random_bytes(n, seed);
    for (uint8_t& v : b) v = static_cast<uint8_t>(v % symbols);
    return b;
}

// Every packed size from `low` to `high` is produced by some entry, and each one decodes,
// alone and as the first entry of a solid pair.
void cover_packed_sizes(size_t low, size_t high, int level) {
    std::set<size_t> seen;
    for (size_t noise = low - 200; noise < high + 40 && seen.size() <= high - low; ++noise) {
        const std::vector<Bytes> inputs = {noise_then_zeros(noise, 3000, 77), text_sample(2000, 5)};
        const std::vector<PackedEntry> packed = pack_entries(inputs, level);
        ASSERT_FALSE(packed[0].stored);
        const std::vector<Bytes> out = unpack_entries(inputs, packed);
        ASSERT_EQ(out[0], inputs[0]) << "packed size " << packed[0].packed.size();
        ASSERT_EQ(out[1], inputs[1]) << "after packed size " << packed[0].packed.size();
        const size_t size = packed[0].packed.size();
        if (size >= low && size <= high) seen.insert(size);
    }
    for (size_t s = low; s <= high; ++s)
        EXPECT_EQ(seen.count(s), 1u) << "packed size " << s << " not produced";
}

TEST(Boundaries, PackedDataEndingAroundTheFirstInputFill) { cover_packed_sizes(8180, 8200, 1); }

TEST(Boundaries, PackedDataEndingAroundTheSecondInputFill) {
    // The second fill brings up to 8,160 more bytes: it ends at 16,352.
    cover_packed_sizes(16340, 16360, 1);
}

TEST(Boundaries, PackedDataEndingAroundTheFirstFillAtTheBestLevel) {
    cover_packed_sizes(8186, 8194, 5);
}

TEST(Boundaries, UnpackedSizesAroundTheInputFills) {
    for (int level : {1, 3, 5}) {
        for (size_t n : {8159u, 8160u, 8161u, 8191u, 8192u, 8193u, 16351u, 16352u, 16353u}) {
            expect_round_trip({text_sample(n, static_cast<uint32_t>(n)), binary_sample(n, 3)},
                              level);
        }
    }
}

TEST(Boundaries, MatchesReachBackExactlyOneWindow) {
    // The tail repeats the entry's start from exactly 1,048,576 bytes back, the longest
    // distance a symbol can give; only matches that far back make the tail cheap. The fast
    // levels' small tables have forgotten most positions a megabyte of noise ago, so only
    // the others must find them.
    const Bytes head = narrow_noise(kWindowSize, 12, 128);
    Bytes data = head;
    data.insert(data.end(), head.begin(), head.begin() + 200000);
    for (int level : {1, 3, 4, 5}) {
        const uint64_t packed = expect_round_trip({data}, level);
        if (level >= 3) {
            EXPECT_LT(packed, kWindowSize) << "level " << level;
        }
    }
}

TEST(Boundaries, SolidEntriesEndingAroundTheFlushMargin) {
    // The first entry leaves the decoder's write position just before, at and after the
    // point where fewer than 270 bytes of the window are free; the next entry continues.
    for (int delta = -2; delta <= 2; ++delta) {
        const size_t first = kWindowSize - 270 + static_cast<size_t>(delta);
        expect_round_trip({text_sample(first, 3), text_sample(5000, 3), binary_sample(3000, 1)}, 1);
    }
}

TEST(Boundaries, EntriesLargerThanTheCompressorsBuffer) {
    // Text, then 5 MB that does not shrink (stored, and slid through the buffer before it
    // was given up), then text that repeats the first.
    const Bytes text = text_sample(300000, 8);
    const std::vector<Bytes> inputs = {text, random_bytes(5u << 20, 4), text,
                                       binary_sample(2u << 20, 2)};
    const std::vector<PackedEntry> packed = pack_entries(inputs, 1);
    EXPECT_FALSE(packed[0].stored);
    EXPECT_TRUE(packed[1].stored);
    EXPECT_FALSE(packed[2].stored);
    const std::vector<Bytes> out = unpack_entries(inputs, packed);
    for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(out[i], inputs[i]) << "entry " << i;
}

TEST(Boundaries, AStoredEntryLeavesNoTraceInTheHistory) {
    // Were the stored entry's bytes in the compressor's window, its copy would pack to
    // almost nothing, and decode to garbage.
    const Bytes text = text_sample(20000, 4);
    const Bytes noise = random_bytes(20000, 5);
    for (int level = kMinLevel; level <= kMaxLevel; ++level) {
        const std::vector<Bytes> inputs = {text, noise, noise, text};
        const std::vector<PackedEntry> packed = pack_entries(inputs, level);
        EXPECT_TRUE(packed[1].stored);
        EXPECT_TRUE(packed[2].stored);
        ASSERT_FALSE(packed[3].stored);
        EXPECT_LT(packed[3].packed.size(), 200u) << "level " << level;
        const std::vector<Bytes> out = unpack_entries(inputs, packed);
        for (size_t i = 0; i < inputs.size(); ++i) EXPECT_EQ(out[i], inputs[i]) << "entry " << i;
    }
}

TEST(Boundaries, LongSolidChainsWithEmptyAndStoredEntries) {
    for (int level = kMinLevel; level <= kMaxLevel; ++level) {
        std::vector<Bytes> inputs;
        uint32_t x = 17u * static_cast<uint32_t>(level);
        for (int i = 0; i < 60; ++i) {
            x = x * 1103515245u + 12345u;
            const size_t n = (x >> 8) % 4000;
            switch ((x >> 20) % 5) {
                case 0: inputs.push_back({}); break;
                case 1: inputs.push_back(random_bytes(n, x)); break;
                case 2: inputs.push_back(binary_sample(n, x)); break;
                case 3: inputs.push_back(Bytes(n, static_cast<uint8_t>(x))); break;
                default: inputs.push_back(text_sample(n, x % 7)); break;
            }
        }
        expect_round_trip(inputs, level);
    }
}

}  // namespace
}  // namespace qarn::test
