#include <gtest/gtest.h>

#include <cstring>

#include "archive/checksum.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

class ChecksumTest : public ::testing::Test {
protected:
    void SetUp() override { build_crc32_table(table_); }
    Crc32Table table_{};
};

TEST_F(ChecksumTest, Crc32MatchesPublishedCheckValues) {
    const char* check = "123456789";
    EXPECT_EQ(crc32_of(table_, reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
    EXPECT_EQ(crc32_of(table_, nullptr, 0), 0u);
    const char* fox = "The quick brown fox jumps over the lazy dog";
    EXPECT_EQ(crc32_of(table_, reinterpret_cast<const uint8_t*>(fox), std::strlen(fox)), 0x414FA339u);
}

TEST_F(ChecksumTest, SlicedUpdateAgreesWithBytewiseReferenceForEveryLengthAndSplit) {
    const test::Bytes data = test::random_bytes(300, 7);
    for (size_t len = 0; len <= data.size(); len += 7) {
        const test::Bytes part(data.begin(), data.begin() + static_cast<long>(len));
        EXPECT_EQ(crc32_of(table_, part.data(), part.size()), test::crc32(part)) << len;
        for (size_t split = 0; split <= len; split += 5) {
            uint32_t c = crc32_update(table_, 0xFFFFFFFFu, part.data(), split);
            c = crc32_update(table_, c, part.data() + split, len - split);
            ASSERT_EQ(~c, test::crc32(part)) << len << "/" << split;
        }
    }
}

TEST_F(ChecksumTest, FoldedUpdateAgreesWithTheTablesForEveryLengthAndAlignment) {
    // Where the processor multiplies without carries, long pieces are folded; both ways
    // must give the same value for every length around the folding's steps and ends.
    Crc32Table tables_only{};
    build_crc32_table(tables_only, false);
    EXPECT_EQ(tables_only.carryless, 0u);
    const test::Bytes data = test::random_bytes(4200, 11);
    for (size_t len = 0; len <= 1100; ++len) {
        for (size_t offset = 0; offset < 3; ++offset) {
            const uint32_t start = 0x9E3779B9u ^ static_cast<uint32_t>(len);
            ASSERT_EQ(crc32_update(table_, start, data.data() + offset, len),
                      crc32_update(tables_only, start, data.data() + offset, len))
                << len << "/" << offset;
        }
    }
    EXPECT_EQ(crc32_of(table_, data.data(), data.size()), test::crc32(data));
}

TEST_F(ChecksumTest, ZeroLengthLeavesRunningValueUnchanged) {
    EXPECT_EQ(crc32_update(table_, 0x12345678u, nullptr, 0), 0x12345678u);
    EXPECT_EQ(old_checksum(0xBEEF, nullptr, 0), 0xBEEF);
    EXPECT_EQ(update_checksum(table_, 0xABCDu, nullptr, 0, kKindOld), 0xABCDu);
}

TEST_F(ChecksumTest, OldChecksumAddsAndRotates) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(old_checksum(0, abc, 3), 0x0556);
    // Carry out of bit 15 is dropped, then the rotation brings bit 15 round to bit 0.
    const uint8_t ff[] = {0xFF};
    EXPECT_EQ(old_checksum(0xFF80, ff, 1), 0x00FE);
    EXPECT_EQ(old_checksum(0x8000, nullptr, 0), 0x8000);
    const uint8_t zero[] = {0};
    EXPECT_EQ(old_checksum(0x8000, zero, 1), 0x0001);
}

TEST_F(ChecksumTest, UpdateChecksumChoosesByKind) {
    const uint8_t abc[] = {'a', 'b', 'c'};
    EXPECT_EQ(update_checksum(table_, 0, abc, 3, kKindOld), 0x0556u);
    // The old sum works on the low 16 bits of the running value only.
    EXPECT_EQ(update_checksum(table_, 0xFFFF0000u, abc, 3, kKindOld), 0x0556u);
    EXPECT_EQ(update_checksum(table_, 0xFFFFFFFFu, abc, 3, kKindNew),
              crc32_update(table_, 0xFFFFFFFFu, abc, 3));
    EXPECT_EQ(update_checksum(table_, 0xFFFFFFFFu, abc, 3, kKindUnknown),
              crc32_update(table_, 0xFFFFFFFFu, abc, 3));
}

}  // namespace
}  // namespace qarn
