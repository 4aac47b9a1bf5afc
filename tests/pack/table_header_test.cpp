// Table headers read back by the decoder's own header reader give exactly the lengths that
// were planned, with changes coded against the old lengths or against zero, and runs.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "pack/bit_writer.h"
#include "pack/table_header_writer.h"
#include "tests/support/test_support.h"
#include "unpack/code_tables.h"

namespace qarn {
namespace {

class NoInput final : public PackedReader {
public:
    int32_t read_packed(uint8_t*, int32_t) override { return 0; }
};

// Writes the header for `target` against `old`, reads it with the decoder whose old lengths
// are `old`, and returns the header's plan.
TableHeaderPlan read_back(const uint8_t* target, const uint8_t* old) {
    TableHeaderPlan plan;
    plan_table_header(target, old, plan);
    BitWriter w;
    write_table_header(w, plan);
    EXPECT_EQ(w.bit_count(), plan.bits);
    w.pad_to_byte();
    auto s = std::make_unique<UnpackState>();
    std::memset(s.get(), 0, sizeof(UnpackState));
    NoInput none;
    s->reader = &none;
    std::memcpy(s->input_buffer, w.whole_bytes(), w.whole_byte_count());
    s->read_top = static_cast<uint32_t>(w.whole_byte_count());
    std::memcpy(s->old_lengths, old, kNormalTableSize);
    read_tables(*s);
    EXPECT_EQ(std::memcmp(s->old_lengths, target, kNormalTableSize), 0);
    EXPECT_EQ(s->audio_block, 0u);
    // The header used exactly its planned bits.
    EXPECT_EQ(uint64_t{s->read_pos} * 8 + s->bit_pos, plan.bits);
    return plan;
}

TEST(TableHeader, FirstHeaderAgainstZeroWithRunsAtTheEnd) {
    uint8_t target[kNormalTableSize] = {};
    uint8_t old[kNormalTableSize] = {};
    for (uint32_t i = 0; i < 256; ++i) target[i] = static_cast<uint8_t>(7 + (i % 5));
    target[269] = 12;
    for (uint32_t i = 270; i < 280; ++i) target[i] = 6;  // a repeat run
    target[298] = 3;
    target[299] = 3;
    // Everything after 299 stays zero: a run that the decoder cuts at the table's end.
    const TableHeaderPlan plan = read_back(target, old);
    EXPECT_FALSE(plan.keep_old);
}

TEST(TableHeader, SmallChangesAreCodedAgainstTheOldLengths) {
    uint8_t old[kNormalTableSize];
    uint8_t target[kNormalTableSize];
    const test::Bytes noise = test::random_bytes(kNormalTableSize, 7);
    for (uint32_t i = 0; i < kNormalTableSize; ++i) {
        old[i] = static_cast<uint8_t>(1 + noise[i] % 15);
        target[i] = old[i];
    }
    target[10] = static_cast<uint8_t>(old[10] == 15 ? 1 : old[10] + 1);
    target[200] = 0;
    const TableHeaderPlan plan = read_back(target, old);
    EXPECT_TRUE(plan.keep_old);
}

TEST(TableHeader, UnrelatedLengthsAreCodedAgainstZero) {
    uint8_t old[kNormalTableSize] = {};
    uint8_t target[kNormalTableSize] = {};
    const test::Bytes noise = test::random_bytes(kNormalTableSize, 11);
    for (uint32_t i = 0; i < kNormalTableSize; ++i) old[i] = static_cast<uint8_t>(noise[i] % 16);
    for (uint32_t i = 0; i < 64; ++i) target[i] = 6;
    target[300] = 1;
    target[301] = 1;
    const TableHeaderPlan plan = read_back(target, old);
    EXPECT_FALSE(plan.keep_old);
}

TEST(TableHeader, RandomTablesReadBackExactly) {
    for (uint32_t seed = 1; seed <= 40; ++seed) {
        const test::Bytes a = test::random_bytes(kNormalTableSize, seed);
        const test::Bytes b = test::random_bytes(kNormalTableSize, seed + 1000);
        uint8_t old[kNormalTableSize];
        uint8_t target[kNormalTableSize];
        for (uint32_t i = 0; i < kNormalTableSize; ++i) {
            // Mostly zeros and a few repeated values, so that every kind of run occurs.
            old[i] = a[i] < 100 ? 0 : static_cast<uint8_t>(a[i] % 16);
            target[i] = b[i] < 120 ? 0
                                   : (b[i] < 200 ? static_cast<uint8_t>(seed % 16)
                                                 : static_cast<uint8_t>(b[i] % 16));
        }
        read_back(target, old);
    }
}

}  // namespace
}  // namespace qarn
