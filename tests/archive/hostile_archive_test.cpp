// Damaged and hostile archives walked as `mksetup test` walks them: each ends with a clear
// result, promptly, without reading outside what it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "archive/planned_destination.h"
#include "tests/support/memory_file.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

using test::Bytes;

class Count final : public ArchiveListener {
public:
    void on_entry(const EntryInfo& e) override { problems.push_back(e.problem); }
    std::vector<EntryProblem> problems;
};

struct Walked {
    int32_t result;
    RunSummary summary;
    std::vector<EntryProblem> problems;
};

Walked walk_file(File file) {
    Count c;
    Walked w{};
    const auto start = std::chrono::steady_clock::now();
    w.result = test_archive_file(std::move(file), c, w.summary);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    w.problems = c.problems;
    return w;
}

Walked walk_bytes(const Bytes& bytes) {
    test::TempDir dir;
    const auto path = dir / "archive.bin";
    test::write_file(path, bytes);
    return walk_file(open_shared(test::installer_form(path).c_str(), "rb", 1));
}

test::TestEntry entry(const std::string& name, const std::string& text) {
    return test::stored(name, text);
}

TEST(HostileArchive, EmptyAndTooShortFilesHoldNoArchive) {
    EXPECT_EQ(walk_bytes({}).result, kExtractNoArchive);
    EXPECT_EQ(walk_bytes({0x52, 0x61, 0x72}).summary.problem, ArchiveProblem::kNoArchive);
    // A marker at the start whose main header is cut short.
    EXPECT_EQ(walk_bytes({0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0, 0, 0x73}).summary.problem,
              ArchiveProblem::kNoArchive);
}

TEST(HostileArchive, TruncatedArchiveFailsTheCutEntry) {
    Bytes a = test::build_archive({entry("a.txt", "first"), entry("b.txt", std::string(500, 'b'))});
    a.resize(a.size() - 100);
    const Walked w = walk_bytes(a);
    EXPECT_EQ(w.result, kExtractChecksum);
    ASSERT_EQ(w.problems.size(), 2u);
    EXPECT_EQ(w.problems[0], EntryProblem::kNone);
    EXPECT_EQ(w.problems[1], EntryProblem::kLength);
}

TEST(HostileArchive, HeadSizeBelowSevenEndsTheWalk) {
    Bytes a = test::build_archive({entry("a.txt", "first")});
    const Bytes second = test::file_header_bytes(entry("b.txt", "x"));
    const size_t at = a.size();
    a.insert(a.end(), second.begin(), second.end());
    a[at + 5] = 6;  // head_size 6
    a[at + 6] = 0;
    const Walked w = walk_bytes(a);
    EXPECT_EQ(w.result, kExtractOk);
    EXPECT_EQ(w.summary.entries, 1u);
    EXPECT_FALSE(w.summary.end_mark);  // no end-of-archive block before it
}

TEST(HostileArchive, EndMarkEndsTheWalkWhateverFollows) {
    test::ArchiveOptions options;
    options.end_mark = true;
    // What follows imitates another file header: it must never be read.
    options.suffix = test::file_header_bytes(entry("../../evil.txt", "x"));
    const Walked w = walk_bytes(test::build_archive({entry("a.txt", "a")}, options));
    EXPECT_EQ(w.result, kExtractOk);
    EXPECT_EQ(w.summary.entries, 1u);
    EXPECT_TRUE(w.summary.end_mark);
}

TEST(HostileArchive, BlockChainThatDoesNotMoveForwardEndsTheWalk) {
    test::TestEntry e = entry("loop.txt", "data");
    // head_size + add_size wraps round to the block's own start.
    e.pack_size = 0xFFFFFFFFu - 32 - 8 + 1;
    const Walked w = walk_bytes(test::build_archive({entry("a.txt", "a"), e}));
    EXPECT_EQ(w.summary.entries, 1u);
}

TEST(HostileArchive, ANameSizePastTheHeadersEndIsADamagedHeader) {
    Bytes a = test::build_archive({entry("a.txt", "a"), entry("b.txt", "b")});
    // name_size 0xFFFF on the first entry: the name would run into the data and beyond.
    a[20 + 26] = 0xFF;
    a[20 + 27] = 0xFF;
    const Walked w = walk_bytes(a);
    EXPECT_EQ(w.result, kExtractEntryFailed);
    EXPECT_EQ(w.problems, std::vector<EntryProblem>{EntryProblem::kHeaderNameOutside});
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
    EXPECT_EQ(walk_bytes(behind(249996)).result, kExtractOk);          // + 9 = 250,005
    EXPECT_EQ(walk_bytes(behind(249997)).result, kExtractNoArchive);   // + 9 = 250,006
}

TEST(HostileArchive, MarkerAtOffsetsOneToSixIsNotFound) {
    const Bytes archive = test::build_archive({entry("a.txt", "a")});
    for (size_t offset = 1; offset <= 6; ++offset) {
        Bytes a(offset + archive.size(), 0);
        std::copy(archive.begin(), archive.end(), a.begin() + static_cast<long>(offset));
        EXPECT_EQ(walk_bytes(a).summary.problem, ArchiveProblem::kNoArchive) << offset;
    }
}

TEST(HostileArchive, EncryptedAndOldMethodEntriesFailTheirCheckWithTheirReason) {
    test::TestEntry enc = entry("enc.txt", "secret");
    enc.flags = 0x8004;
    enc.packed = test::random_bytes(6, 1);
    test::TestEntry v15 = entry("old.txt", "old");
    v15.unp_ver = 15;
    v15.method = '3';
    v15.packed = test::random_bytes(10, 2);
    const Walked w = walk_bytes(test::build_archive({enc, v15}));
    ASSERT_EQ(w.problems.size(), 2u);
    EXPECT_EQ(w.problems[0], EntryProblem::kEncrypted);
    EXPECT_EQ(w.problems[1], EntryProblem::kOldMethod);
    EXPECT_EQ(w.result, kExtractChecksum);
}

TEST(HostileArchive, TrailingBytesAfterTheLastBlockEndTheWalkQuietly) {
    test::ArchiveOptions options;
    options.suffix = test::random_bytes(300, 4);  // a signature appended to a setup file, say
    const Walked w = walk_bytes(test::build_archive({entry("a.txt", "a")}, options));
    EXPECT_GE(w.summary.entries, 1u);
    ASSERT_FALSE(w.problems.empty());
    EXPECT_EQ(w.problems[0], EntryProblem::kNone);
}

TEST(HostileArchive, ArchiveBehindAnImageIsFoundWhereItStarts) {
    Bytes image = test::random_bytes(0x1A000, 8);
    // A lookalike marker inside the image whose next block is not a main header.
    const uint8_t lookalike[] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0, 0, 0x74};
    std::copy(std::begin(lookalike), std::end(lookalike), image.begin() + 5000);
    test::ArchiveOptions options;
    options.prefix = image;
    class Where final : public ArchiveListener {
    public:
        void on_archive(const ArchiveInfo& info) override { found = info; }
        void on_entry(const EntryInfo&) override {}
        ArchiveInfo found{};
    } where;
    RunSummary summary{};
    EXPECT_EQ(test_archive_file(test::memory_file(test::build_archive({entry("a.txt", "a")}, options)),
                                where, summary),
              kExtractOk);
    EXPECT_EQ(where.found.locate_result, kArchiveFoundByScan);
    EXPECT_EQ(where.found.archive_start, 0x1A000u);
}

// --- Header checksums ------------------------------------------------------------------

TEST(HeaderChecksum, HeadersLongerThanTheirNameCarryItOverEveryByte) {
    test::TestEntry e = entry("a.txt", "a");
    e.extra_header = {1, 2, 3, 4, 5, 6, 7, 8};
    e.whole_header_crc = true;
    test::ArchiveOptions options;
    options.main_extra = {9, 8, 7};
    const Walked w = walk_bytes(test::build_archive({e, entry("b.txt", "b")}, options));
    EXPECT_EQ(w.result, kExtractOk);
    EXPECT_TRUE(w.summary.main_header_crc_ok);
    EXPECT_EQ(w.summary.entries, 2u);
}

TEST(HeaderChecksum, TheNarrowFormStillPasses) {
    test::TestEntry e = entry("a.txt", "a");
    e.extra_header = {1, 2, 3, 4};  // checksum over the fixed bytes and the name only
    EXPECT_EQ(walk_bytes(test::build_archive({e})).result, kExtractOk);
}

// A header whose checksum matches neither form installs nothing, and the walk ends at it:
// neither its name, its sizes nor where the next block lies can be believed.
TEST(HeaderChecksum, AHeaderMatchingNeitherFormFailsAndEndsTheWalk) {
    test::TestEntry e = entry("a.txt", "a");
    e.extra_header = {1, 2, 3, 4};
    e.whole_header_crc = true;
    Bytes a = test::build_archive({e, entry("b.txt", "b")});
    a[20 + 32 + 5 + 2] ^= 0x40;  // the third byte after the name
    const Walked w = walk_bytes(a);
    EXPECT_EQ(w.result, kExtractEntryFailed);
    EXPECT_EQ(w.problems, std::vector<EntryProblem>{EntryProblem::kHeaderChecksum});
}

TEST(HeaderChecksum, ANameCutToFitAPathIsCheckedWhole) {
    const std::string long_name = std::string(150, 'd') + "\\" + std::string(150, 'f');
    Bytes a = test::build_archive({entry(long_name, "long")});
    a[20 + 32 + 280] ^= 0x01;  // a byte of the name beyond the 259 that are kept
    EXPECT_EQ(walk_bytes(a).problems, std::vector<EntryProblem>{EntryProblem::kHeaderChecksum});
}

TEST(HeaderChecksum, ADamagedMainHeaderMakesTheArchiveUnreadable) {
    Bytes a = test::build_archive({entry("a.txt", "a")});
    a[7 + 9] ^= 0x10;  // a reserved byte of the main header
    const Walked w = walk_bytes(a);
    EXPECT_FALSE(w.summary.main_header_crc_ok);
    EXPECT_EQ(w.summary.problem, ArchiveProblem::kDamagedMainHeader);
    EXPECT_EQ(w.result, kExtractNoArchive);
    EXPECT_TRUE(w.problems.empty());
}

#if defined(__GLIBC__)
// A stream that refuses every seek past its end, as a failing device might.
TEST(HostileArchive, ASeekThatFailsEndsTheRunWithTwo) {
    Bytes a = test::build_archive({entry("a.txt", "a")});
    const uint8_t sub[] = {0, 0, 0x77, 0x00, 0x80, 11, 0, 0x00, 0x00, 0x01, 0x00};
    a.insert(a.end(), std::begin(sub), std::end(sub));
    std::FILE* f = fmemopen(a.data(), a.size(), "rb");
    ASSERT_NE(f, nullptr);
    const Walked w = walk_file(File(f));
    EXPECT_EQ(w.result, kExtractNoArchive);
    EXPECT_EQ(w.summary.problem, ArchiveProblem::kSeekFailed);
    EXPECT_EQ(w.summary.entries, 1u);
}

// A stream whose seeks report success but never move: the walk must not read the same
// header over and over.
TEST(HostileArchive, AStreamThatDoesNotMoveCannotMakeTheWalkLoop) {
    struct Stuck {
        Bytes bytes;
        size_t pos = 0;
    };
    const cookie_io_functions_t functions{
        [](void* c, char* buffer, size_t size) -> ssize_t {
            auto* s = static_cast<Stuck*>(c);
            const size_t n = std::min(size, s->bytes.size() - std::min(s->pos, s->bytes.size()));
            std::copy_n(s->bytes.begin() + static_cast<long>(s->pos), n, buffer);
            s->pos += n;
            return static_cast<ssize_t>(n);
        },
        nullptr,
        [](void* c, off64_t* offset, int whence) -> int {
            // Forward seeks are "done" without moving; the start of the file is reachable.
            auto* s = static_cast<Stuck*>(c);
            if (whence == SEEK_SET && *offset == 0) s->pos = 0;
            *offset = static_cast<off64_t>(s->pos);
            return 0;
        },
        [](void* c) -> int {
            delete static_cast<Stuck*>(c);
            return 0;
        }};
    test::TestEntry dir = entry("folder", "");
    dir.flags = 0x80E0;
    dir.attr = 0x10;
    auto* stuck = new Stuck{test::build_archive({dir, entry("a.txt", "a"), entry("b.txt", "b")}), 0};
    std::FILE* f = fopencookie(stuck, "rb", functions);
    ASSERT_NE(f, nullptr);
    const Walked w = walk_file(File(f));
    EXPECT_LE(w.summary.entries, 3u);
}
#endif

// Found by fuzzing: a walk over a memory stream that refused a seek past its end read the
// same header again and again. First byte: test mode; the rest is the file.
TEST(HostileArchive, FuzzFoundSeekLoopEnds) {
    const Bytes input = test::from_base64(
        "AVJhciEaBwDPkHMAAA0AAP///////////////////////////////////wAAAAAAKAB0AIAnACEDAHNarcdv"
        "us7F6nTdfrVk3to2lkvch9JfQ9DCaXaSnM8P/I2ojtx05Pl0/VpIAQAAAAAAGAEATnZbJz8Jzu7TYxn8Z8AA"
        "AAAAAAAAAAAAPQAAdHR0dHR0dHR0dHR0dHR0dHR0dHQAAAAAAAAAAAAAAAAAAAAAAAAAAAAACAAAAAAAAAAA"
        "AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAJAAAAAAQAAAAAAAAAAAAADFzH/kbXi99gYHjlAA==");
    ASSERT_GT(input.size(), 1u);
    const Bytes file(input.begin() + 1, input.end());
    const Walked on_disk = walk_bytes(file);
    const Walked in_memory = walk_file(test::memory_file(file));
    EXPECT_EQ(on_disk.result, in_memory.result);
#if defined(__GLIBC__)
    std::vector<uint8_t> copy = file;
    std::FILE* f = fmemopen(copy.data(), copy.size(), "rb");
    ASSERT_NE(f, nullptr);
    walk_file(File(f));  // refuses seeks past the end: must end all the same
#endif
}

}  // namespace
}  // namespace qarn
