// Damaged and hostile archives walked as `mksetup test` walks them: each ends with a clear
// status, promptly, without reading outside what it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "archive/archive_walk.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

using test::Bytes;

class Count final : public ArchiveListener {
public:
    void on_archive(const ArchiveInfo&) override {}
    void on_entry(const EntryInfo& e) override { verdicts.push_back(e.verdict); }
    std::vector<EntryVerdict> verdicts;
};

struct Walked {
    WalkStatus status;
    WalkSummary summary;
    std::vector<EntryVerdict> verdicts;
};

Walked walk_bytes(const Bytes& bytes) {
    test::TempDir dir;
    const auto path = dir / "archive.bin";
    test::write_file(path, bytes);
    Count c;
    Walked w{};
    const auto start = std::chrono::steady_clock::now();
    w.status = walk_archive(path.string().c_str(), true, c, w.summary);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    w.verdicts = c.verdicts;
    return w;
}

test::TestEntry entry(const std::string& name, const std::string& text) {
    test::TestEntry e;
    e.name = name;
    e.data = test::text_bytes(text);
    return e;
}

TEST(HostileArchive, EmptyAndTooShortFilesHoldNoArchive) {
    EXPECT_EQ(walk_bytes({}).status, WalkStatus::kNoArchive);
    EXPECT_EQ(walk_bytes({0x52, 0x61, 0x72}).status, WalkStatus::kNoArchive);
    // A marker at the start whose main header is cut short.
    EXPECT_EQ(walk_bytes({0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0, 0, 0x73}).status,
              WalkStatus::kNoArchive);
}

TEST(HostileArchive, TruncatedArchiveFailsTheCutEntry) {
    Bytes a = test::build_archive({entry("a.txt", "first"), entry("b.txt", std::string(500, 'b'))});
    a.resize(a.size() - 100);
    const Walked w = walk_bytes(a);
    EXPECT_EQ(w.status, WalkStatus::kEntriesFailed);
    ASSERT_EQ(w.verdicts.size(), 2u);
    EXPECT_EQ(w.verdicts[0], EntryVerdict::kOk);
    EXPECT_EQ(w.verdicts[1], EntryVerdict::kChecksum);
}

TEST(HostileArchive, HeadSizeBelowSevenEndsTheWalk) {
    Bytes a = test::build_archive({entry("a.txt", "first")});
    const Bytes second = test::file_header_bytes(entry("b.txt", "x"));
    const size_t at = a.size();
    a.insert(a.end(), second.begin(), second.end());
    a[at + 5] = 6;  // head_size 6
    a[at + 6] = 0;
    const Walked w = walk_bytes(a);
    EXPECT_EQ(w.status, WalkStatus::kComplete);
    EXPECT_EQ(w.summary.entries, 1u);
}

TEST(HostileArchive, BlockChainThatDoesNotMoveForwardEndsTheWalk) {
    test::TestEntry e = entry("loop.txt", "data");
    // head_size + add_size wraps round to the block's own start.
    e.pack_size = 0xFFFFFFFFu - 32 - 8 + 1;
    const Walked w = walk_bytes(test::build_archive({entry("a.txt", "a"), e}));
    EXPECT_EQ(w.summary.entries, 1u);
}

TEST(HostileArchive, NameSizePastTheEndOfTheFileIsCutAndFails) {
    Bytes a = test::build_archive({entry("a.txt", "a")});
    // name_size 0xFFFF on the only entry: the name runs into the data and the file's end.
    a[20 + 26] = 0xFF;
    a[20 + 27] = 0xFF;
    const Walked w = walk_bytes(a);
    EXPECT_NE(w.status, WalkStatus::kComplete);
}

TEST(HostileArchive, MarkerBeyondTheScansReachIsNotFound) {
    const Bytes archive = test::build_archive({entry("a.txt", "a")});
    const auto behind = [&](size_t offset) {
        Bytes a(offset + archive.size(), 0x00);
        std::copy(archive.begin(), archive.end(), a.begin() + static_cast<long>(offset));
        return a;
    };
    // The scan sees file offsets 7 to 250,005; a marker is found only when its bytes up to
    // the next block's type byte (marker + 9) all lie within them.
    EXPECT_EQ(walk_bytes(behind(249996)).status, WalkStatus::kComplete);   // + 9 = 250,005
    EXPECT_EQ(walk_bytes(behind(249997)).status, WalkStatus::kNoArchive);  // + 9 = 250,006
}

TEST(HostileArchive, MarkerAtOffsetsOneToSixIsNotFound) {
    const Bytes archive = test::build_archive({entry("a.txt", "a")});
    for (size_t offset = 1; offset <= 6; ++offset) {
        Bytes a(offset + archive.size(), 0);
        std::copy(archive.begin(), archive.end(), a.begin() + static_cast<long>(offset));
        EXPECT_EQ(walk_bytes(a).status, WalkStatus::kNoArchive) << offset;
    }
}

TEST(HostileArchive, DamagedHeaderChecksumIsReportedButTheDataStillChecked) {
    test::TestEntry e = entry("a.txt", "a");
    e.head_crc = 0x1234;
    const Walked w = walk_bytes(test::build_archive({e, entry("b.txt", "b")}));
    EXPECT_EQ(w.status, WalkStatus::kEntriesFailed);
    ASSERT_EQ(w.verdicts.size(), 2u);
    EXPECT_EQ(w.verdicts[0], EntryVerdict::kDamagedHeader);
    EXPECT_EQ(w.verdicts[1], EntryVerdict::kOk);
    EXPECT_EQ(w.summary.header_crc_errors, 1u);
}

TEST(HostileArchive, EncryptedAndUnsupportedEntriesFailWithTheirReason) {
    test::TestEntry enc = entry("enc.txt", "secret");
    enc.flags = 0x8004;
    enc.packed = test::random_bytes(6, 1);
    test::TestEntry v29 = entry("new.txt", "new");
    v29.unp_ver = 29;
    v29.method = '3';
    v29.packed = test::random_bytes(10, 2);
    const Walked w = walk_bytes(test::build_archive({enc, v29}));
    ASSERT_EQ(w.verdicts.size(), 2u);
    EXPECT_EQ(w.verdicts[0], EntryVerdict::kEncrypted);
    EXPECT_EQ(w.verdicts[1], EntryVerdict::kUnsupportedVersion);
}

TEST(HostileArchive, TrailingBytesAfterTheLastBlockEndTheWalkQuietly) {
    test::ArchiveOptions options;
    options.suffix = test::random_bytes(300, 4);  // a signature appended to a setup file, say
    const Walked w = walk_bytes(test::build_archive({entry("a.txt", "a")}, options));
    EXPECT_GE(w.summary.entries, 1u);
    ASSERT_FALSE(w.verdicts.empty());
    EXPECT_EQ(w.verdicts[0], EntryVerdict::kOk);
}

TEST(HostileArchive, ArchiveBehindAnImageIsFoundWhereItStarts) {
    Bytes image = test::random_bytes(0x1A000, 8);
    // A lookalike marker inside the image whose next block is not a main header.
    const uint8_t lookalike[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0, 0, 0x74};
    std::copy(std::begin(lookalike), std::end(lookalike), image.begin() + 5000);
    test::ArchiveOptions options;
    options.prefix = image;
    test::TempDir dir;
    test::write_file(dir / "setup.exe", test::build_archive({entry("a.txt", "a")}, options));
    class Where final : public ArchiveListener {
    public:
        void on_archive(const ArchiveInfo& info) override { found = info; }
        void on_entry(const EntryInfo&) override {}
        ArchiveInfo found{};
    } where;
    WalkSummary summary{};
    EXPECT_EQ(walk_archive((dir / "setup.exe").string().c_str(), true, where, summary),
              WalkStatus::kComplete);
    EXPECT_EQ(where.found.locate_result, kArchiveFoundByScan);
    EXPECT_EQ(where.found.archive_start, 0x1A000u);
}

#ifndef _WIN32
TEST(HostileArchive, SubBlockWhoseSeekFailsDoesNotLoop) {
    // A memory stream refuses seeks past its end, as a failing disk might.
    Bytes a = test::build_archive({});
    const uint8_t sub[] = {0, 0, 0x77, 0x00, 0x80, 11, 0, 0x00, 0x00, 0x01, 0x00};
    a.insert(a.end(), std::begin(sub), std::end(sub));
    std::FILE* f = fmemopen(a.data(), a.size(), "rb");
    ASSERT_NE(f, nullptr);
    Count c;
    WalkSummary summary{};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(walk_archive_file(File(f), true, c, summary), WalkStatus::kNoEntries);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}
#endif

}  // namespace
}  // namespace qarn
