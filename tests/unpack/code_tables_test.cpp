#include <gtest/gtest.h>

#include <cstring>

#include "tests/unpack/stream_builder.h"
#include "unpack/bit_input.h"
#include "unpack/code_tables.h"

namespace qarn::test {
namespace {

struct TablesTest : ::testing::Test {
    std::unique_ptr<UnpackState> s = std::make_unique<UnpackState>();
    std::unique_ptr<MemoryReader> reader;

    void load(const BitWriter& w) {
        reader = std::make_unique<MemoryReader>(w.bytes());
        s->reader = reader.get();
        s->bit_pos = 0;  // every entry starts at a byte boundary
        refill_input(*s, true);
    }
    // Pre-code where every symbol has 5 bits, so each code-length symbol is its number.
    static void flat_precode(BitWriter& w) {
        for (int i = 0; i < 19; ++i) w.put(5, 4);
    }
};

TEST_F(TablesTest, FreshHeaderTakesTheSymbolsAsLengths) {
    std::memset(s->old_lengths, 9, sizeof s->old_lengths);
    BitWriter w;
    put_table_header(w, FlatTables::make());
    load(w);
    read_tables(*s);
    EXPECT_EQ(s->audio_block, 0u);
    EXPECT_EQ(s->old_lengths[0], 9);
    EXPECT_EQ(s->old_lengths[300], 6);
    EXPECT_EQ(s->old_lengths[373], 5);
    EXPECT_EQ(s->old_lengths[374], 0) << "positions past the table were cleared with the rest";
    EXPECT_EQ(s->literal_table.symbol_count, 298u);
    EXPECT_EQ(s->distance_table.symbol_count, 48u);
    EXPECT_EQ(s->repeat_table.symbol_count, 28u);
}

TEST_F(TablesTest, KeepFlagAddsToTheOldLengthsModulo16) {
    std::memset(s->old_lengths, 0, sizeof s->old_lengths);
    s->old_lengths[0] = 14;
    s->old_lengths[500] = 7;  // beyond the normal table: kept as it was
    BitWriter w;
    w.put(0, 1);
    w.put(1, 1);
    flat_precode(w);
    w.put(5, 5);  // position 0: 14 + 5 = 19 -> 3
    w.put(18, 5);
    w.put(127, 7);  // 138 zero positions: 1..138
    w.put(18, 5);
    w.put(127, 7);  // 139..276
    w.put(18, 5);
    w.put(127, 7);  // 277..373, the rest of the count dropped
    load(w);
    read_tables(*s);
    EXPECT_EQ(s->old_lengths[0], 3);
    EXPECT_EQ(s->old_lengths[1], 0);
    EXPECT_EQ(s->old_lengths[373], 0);
    EXPECT_EQ(s->old_lengths[500], 7);
}

TEST_F(TablesTest, ZeroRunAtPosition300FillsToTheEndAndStops) {
    BitWriter w;
    w.put(0, 2);
    flat_precode(w);
    for (int i = 0; i < 300; ++i) w.put(4, 5);
    w.put(18, 5);
    w.put(127, 7);
    w.put(0x1FF, 9);  // a marker after the header
    load(w);
    read_tables(*s);
    EXPECT_EQ(s->old_lengths[299], 4);
    EXPECT_EQ(s->old_lengths[300], 0);
    EXPECT_EQ(s->old_lengths[373], 0);
    EXPECT_EQ(read_bits(*s, 9), 0x1FFu) << "the header ended exactly after the run";
}

TEST_F(TablesTest, RepeatRunCopiesThePreviousLength) {
    BitWriter w;
    w.put(0, 2);
    flat_precode(w);
    w.put(7, 5);
    w.put(16, 5);
    w.put(0, 2);  // three more sevens
    for (int i = 4; i < 374; ++i) w.put(1, 5);
    load(w);
    read_tables(*s);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s->old_lengths[i], 7) << i;
    EXPECT_EQ(s->old_lengths[4], 1);
}

TEST_F(TablesTest, RepeatAtTheFirstPositionRepeatsZero) {
    BitWriter w;
    w.put(0, 2);
    flat_precode(w);
    w.put(16, 5);
    w.put(3, 2);  // six positions
    for (int i = 6; i < 374; ++i) w.put(2, 5);
    load(w);
    read_tables(*s);
    for (int i = 0; i < 6; ++i) EXPECT_EQ(s->old_lengths[i], 0) << i;
    EXPECT_EQ(s->old_lengths[6], 2);
}

TEST_F(TablesTest, AudioHeaderBuildsOnlyTheChannelTables) {
    BitWriter first;
    put_table_header(first, FlatTables::make());
    load(first);
    read_tables(*s);
    const uint32_t literal_limit = s->literal_table.limits[9];

    s->current_channel = 2;
    BitWriter w;
    w.put(1, 1);  // audio
    w.put(0, 1);
    w.put(3, 2);  // four channels
    flat_precode(w);
    for (int i = 0; i < 4 * 257; ++i) w.put(8, 5);
    load(w);
    read_tables(*s);
    EXPECT_NE(s->audio_block, 0u);
    EXPECT_EQ(s->channel_count, 4);
    EXPECT_EQ(s->current_channel, 2);
    EXPECT_EQ(s->audio_tables[3].symbol_count, 257u);
    EXPECT_EQ(s->literal_table.limits[9], literal_limit) << "the literal table stays as it was";

    BitWriter two;
    two.put(1, 1);
    two.put(0, 1);
    two.put(1, 2);  // two channels
    flat_precode(two);
    for (int i = 0; i < 2 * 257; ++i) two.put(8, 5);
    load(two);
    read_tables(*s);
    EXPECT_EQ(s->channel_count, 2);
    EXPECT_EQ(s->current_channel, 0) << "a channel past the new count starts over";
}

TEST_F(TablesTest, FinalCheckNeedsFiveBytesOfTheLastFill) {
    BitWriter w;
    put_table_header(w, FlatTables::make());
    load(w);
    read_tables(*s);
    FlatTables flat;

    // Four bytes left: nothing is read.
    s->read_pos = 10;
    s->bit_pos = 0;
    s->read_top = 14;
    read_final_tables(*s);
    EXPECT_EQ(s->read_pos, 10u);

    // Five bytes left: one symbol is decoded; it is not a table change, so that is all.
    BitWriter lit;
    flat.literal.put(lit, 'A');
    const auto bytes = lit.bytes();
    std::memcpy(s->input_buffer + 10, bytes.data(), bytes.size());
    s->read_top = 15;
    read_final_tables(*s);
    EXPECT_EQ(s->read_pos * 8 + s->bit_pos, 10u * 8 + 9);
}

TEST_F(TablesTest, FinalCheckReadsAHeaderAfterTheTableChangeSymbol) {
    FlatTables flat;
    BitWriter w;
    put_table_header(w, flat.lengths);
    flat.literal.put(w, kSymTableChange);
    std::vector<uint8_t> next = flat.lengths;
    next[0] = 3;
    put_table_header(w, next);
    load(w);
    read_tables(*s);
    read_final_tables(*s);
    EXPECT_EQ(s->old_lengths[0], 3) << "the closing header replaced the tables";
}

}  // namespace
}  // namespace qarn::test
