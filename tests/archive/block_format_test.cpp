// The block format's encoders and decoders are each other's inverse, the fields land at the
// offsets the format gives, and the end mark ends a walk.
#include <gtest/gtest.h>

#include <cstring>

#include "archive/block_format.h"
#include "archive/checksum.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

TEST(BlockFormat, FileHeaderRoundTripsWithFieldsAtTheirOffsets) {
    FileHeader h{};
    h.head_crc = 0xBEEF;
    h.head_type = kFileHeadType;
    h.head_flags = 0x8090;
    h.head_size = 0x0126;
    h.pack_size = 0x11223344;
    h.unp_size = -2;
    h.host_os = 2;
    h.file_crc = 0xCAFEF00D;
    h.ftime = 0x5A2C6341;
    h.unp_ver = 20;
    h.method = '5';
    h.name_size = 0x0106;
    h.attr = 0x21;
    uint8_t raw[kFileHeaderFixedBytes];
    encode_file_header(h, raw);
    EXPECT_EQ(raw[0], 0xEF);
    EXPECT_EQ(raw[1], 0xBE);
    EXPECT_EQ(raw[2], kFileHeadType);
    EXPECT_EQ(raw[5], 0x26);
    EXPECT_EQ(raw[7], 0x44);  // pack_size, little-endian
    EXPECT_EQ(raw[10], 0x11);
    EXPECT_EQ(raw[11], 0xFE);  // unp_size -2
    EXPECT_EQ(raw[15], 2);
    EXPECT_EQ(raw[16], 0x0D);
    EXPECT_EQ(raw[24], 20);
    EXPECT_EQ(raw[25], '5');
    EXPECT_EQ(raw[26], 0x06);
    EXPECT_EQ(raw[28], 0x21);
    FileHeader back{};
    decode_file_header(raw, back);
    uint8_t again[kFileHeaderFixedBytes];
    encode_file_header(back, again);
    EXPECT_EQ(0, std::memcmp(raw, again, sizeof raw));
    EXPECT_EQ(back.unp_size, -2);
    EXPECT_EQ(back.pack_size, 0x11223344);
    EXPECT_EQ(back.name_size, 0x0106);
}

TEST(BlockFormat, MainHeaderRoundTripsAndSealsItsChecksum) {
    MainHeader h{0, kMainHeadType, kMainFlagSolid, kMainHeaderBytes, 0x1234, 0x89ABCDEF};
    uint8_t raw[kMainHeaderBytes];
    encode_main_header(h, raw);
    Crc32Table table;
    build_crc32_table(table);
    seal_header(table, raw, sizeof raw);
    MainHeader back{};
    decode_main_header(raw, back);
    EXPECT_EQ(back.head_flags, kMainFlagSolid);
    EXPECT_EQ(back.reserved1, 0x1234);
    EXPECT_EQ(back.reserved2, 0x89ABCDEFu);
    const test::Bytes covered(raw + 2, raw + sizeof raw);
    EXPECT_EQ(back.head_crc, test::crc32(covered) & 0xFFFF);
}

TEST(BlockFormat, TheEndMarkIsAnEndBlockThenAHeaderTooShortToBeOne) {
    Crc32Table table;
    build_crc32_table(table);
    uint8_t mark[kEndMarkBytes];
    encode_end_mark(table, mark);
    EXPECT_EQ(mark[2], kEndHeadType);
    EXPECT_EQ(mark[5] | (mark[6] << 8), 7);
    const test::Bytes covered(mark + 2, mark + 7);
    EXPECT_EQ(mark[0] | (mark[1] << 8), test::crc32(covered) & 0xFFFF);
    // The terminator's head_size is below the seven bytes every header has.
    EXPECT_LT(mark[7 + 5] | (mark[7 + 6] << 8), static_cast<int>(kBlockHeaderBytes));
}

}  // namespace
}  // namespace qarn
