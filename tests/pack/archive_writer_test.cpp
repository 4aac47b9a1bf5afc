// Archives written by the archive writer: every one passes the test walk that `mksetup test`
// runs, its headers say what the installer needs, and the same input gives the same bytes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "archive/archive_context.h"
#include "pack/dos_time.h"
#include "tests/support/round_trip.h"

namespace qarn::test {
namespace {

Bytes repeated_text(size_t n, const std::string& seed) {
    Bytes out;
    for (size_t i = 0; out.size() < n; ++i) {
        const std::string line =
            seed + " line " + std::to_string(i % 97) + " of the product files\n";
        out.insert(out.end(), line.begin(), line.end());
    }
    out.resize(n);
    return out;
}

std::vector<NamedInput> sample_folder() {
    return {
        {"QARN.exe", text_sample(30000, 1), 0x20, 0x5A2C6341},
        {"empty.txt", {}, 0x21, 0x5A2C6342},
        {"Help\\QARN_DE.HLP", repeated_text(20000, "Hilfe"), 0x20, 0x5A2C6343},
        {"data\\noise.bin", random_bytes(5000, 9), 0x20, 0x5A2C6344},
        {"Help\\QARN_US.HLP", repeated_text(20000, "help"), 0x01, 0x5A2C6345},
        {"QARN.bak", text_sample(30000, 1), 0x20, 0x5A2C6346},
    };
}

class ArchiveAtEveryLevel : public ::testing::TestWithParam<int> {};

TEST_P(ArchiveAtEveryLevel, PassesTheTestWalkWithTheHeadersTheInstallerNeeds) {
    const int level = GetParam();
    const std::vector<NamedInput> folder = sample_folder();
    std::vector<EntryOutcome> outcomes;
    const Bytes archive = write_archive(folder, level, {}, &outcomes);
    const WalkReport r = walk_bytes(archive);
    ASSERT_EQ(r.result, kExtractOk);
    EXPECT_EQ(r.archive.locate_result, kArchiveAtStart);
    EXPECT_EQ(r.main_header.head_flags & kMainFlagSolid, kMainFlagSolid);
    EXPECT_TRUE(r.summary.main_header_crc_ok);
    EXPECT_TRUE(r.summary.end_mark_promised);
    ASSERT_EQ(r.names.size(), folder.size());
    // Level 6 is another way to the best method's format, and says so.
    const char* expected_method[] = {"", "1", "2", "3", "4", "5", "5"};
    static_assert(std::size(expected_method) == kMaxLevel + 1);
    for (size_t i = 0; i < folder.size(); ++i) {
        const FileHeader& h = r.headers[i];
        EXPECT_EQ(r.problems[i], EntryProblem::kNone) << folder[i].name;
        EXPECT_EQ(r.names[i], folder[i].name);
        EXPECT_EQ(h.host_os, 2);
        EXPECT_EQ(h.unp_ver, 20);
        EXPECT_EQ(h.attr, folder[i].attributes);
        EXPECT_EQ(h.ftime, folder[i].dos_time);
        EXPECT_EQ(h.file_crc, crc32(folder[i].data));
        EXPECT_EQ(static_cast<uint32_t>(h.unp_size), folder[i].data.size());
        EXPECT_NE(h.head_flags & kFlagHasAddSize, 0);
        EXPECT_EQ(h.method, outcomes[i].method);
    }
    // Empty and incompressible entries are stored and never solid; the first compressed
    // entry opens the stream, the later ones continue it.
    EXPECT_EQ(r.headers[1].method, '0');
    EXPECT_EQ(r.headers[3].method, '0');
    EXPECT_EQ(r.headers[1].head_flags & kFileFlagSolid, 0);
    EXPECT_EQ(r.headers[3].head_flags & kFileFlagSolid, 0);
    EXPECT_EQ(r.headers[3].pack_size, 5000);
    EXPECT_EQ(r.headers[0].method, expected_method[level][0]);
    EXPECT_EQ(r.headers[0].head_flags & kFileFlagSolid, 0);
    EXPECT_EQ(r.headers[2].head_flags & kFileFlagSolid, kFileFlagSolid);
    EXPECT_EQ(r.headers[4].head_flags & kFileFlagSolid, kFileFlagSolid);
    // The copy of the program at the end is found in the solid stream's window.
    EXPECT_LT(outcomes[5].packed_size * 8, outcomes[0].packed_size);
}

TEST_P(ArchiveAtEveryLevel, TheSameInputGivesTheSameBytes) {
    const int level = GetParam();
    EXPECT_EQ(write_archive(sample_folder(), level), write_archive(sample_folder(), level));
}

INSTANTIATE_TEST_SUITE_P(Levels, ArchiveAtEveryLevel, ::testing::Range(kMinLevel, kMaxLevel + 1));

TEST(ArchiveWriter, ArchiveBehindAnImageIsFoundByTheScan) {
    Bytes image = random_bytes(70000, 3);
    const Bytes archive = write_archive(sample_folder(), 3, image);
    const WalkReport r = walk_bytes(archive);
    EXPECT_EQ(r.result, kExtractOk);
    EXPECT_EQ(r.archive.locate_result, kArchiveFoundByScan);
    EXPECT_EQ(r.archive.archive_start, 70000u);
}

class ShrinkingInput final : public EntryInput {
public:
    explicit ShrinkingInput(size_t real) : real_(real) {}
    int64_t read(uint8_t* dst, size_t count) override {
        const size_t n = std::min(count, real_ - pos_);
        std::memset(dst, 'a', n);
        pos_ += n;
        return static_cast<int64_t>(n);
    }
    bool rewind() override {
        pos_ = 0;
        return true;
    }

private:
    size_t real_;
    size_t pos_ = 0;
};

TEST(ArchiveWriter, AFileThatChangedSizeIsAnErrorNotAWrongEntry) {
    MemoryOutput out;
    ArchiveWriter writer;
    ASSERT_EQ(writer.begin(out, 0, 3), PackStatus::kOk);
    EntryOutcome outcome{};
    ShrinkingInput shorter(1000);
    EXPECT_EQ(writer.add_entry({"a.txt", 0x20, 0, 2000}, shorter, outcome),
              PackStatus::kSizeChanged);
    ShrinkingInput longer(3000);
    EXPECT_EQ(writer.add_entry({"b.txt", 0x20, 0, 2000}, longer, outcome),
              PackStatus::kSizeChanged);
    ShrinkingInput empty_grew(5);
    EXPECT_EQ(writer.add_entry({"c.txt", 0x20, 0, 0}, empty_grew, outcome),
              PackStatus::kSizeChanged);
}

TEST(ArchiveWriter, NamesAndSizesOutsideTheFormatAreRefused) {
    MemoryOutput out;
    ArchiveWriter writer;
    ASSERT_EQ(writer.begin(out, 0, 1), PackStatus::kOk);
    EntryOutcome outcome{};
    ShrinkingInput in(1);
    EXPECT_EQ(writer.add_entry({"", 0x20, 0, 1}, in, outcome), PackStatus::kBadArgument);
    const std::string long_name(260, 'x');
    EXPECT_EQ(writer.add_entry({long_name.c_str(), 0x20, 0, 1}, in, outcome),
              PackStatus::kBadArgument);
    EXPECT_EQ(writer.add_entry({"big", 0x20, 0, 0x80000000ull}, in, outcome),
              PackStatus::kBadArgument);
}

class FailingInput final : public EntryInput {
public:
    int64_t read(uint8_t* dst, size_t count) override {
        if (delivered_ >= 100000) return -1;
        const size_t n = std::min<size_t>(count, 4096);
        std::memset(dst, 'q', n);
        delivered_ += n;
        return static_cast<int64_t>(n);
    }
    bool rewind() override { return false; }

private:
    size_t delivered_ = 0;
};

TEST(ArchiveWriter, AReadErrorIsReportedNotPacked) {
    MemoryOutput out;
    ArchiveWriter writer;
    ASSERT_EQ(writer.begin(out, 0, 3), PackStatus::kOk);
    FailingInput in;
    EntryOutcome outcome{};
    EXPECT_EQ(writer.add_entry({"a.txt", 0x20, 0, 500000}, in, outcome), PackStatus::kReadError);
}

// An output that takes only so many bytes, as a full disk does.
class FullDisk final : public ArchiveOutput {
public:
    explicit FullDisk(size_t room) : room_(room) {}
    bool write(const uint8_t*, size_t count) override {
        if (pos_ + count > room_) return false;
        pos_ += count;
        end_ = std::max(end_, pos_);
        return true;
    }
    bool seek(uint64_t offset) override {
        pos_ = static_cast<size_t>(offset);
        return offset <= end_;
    }

private:
    size_t room_;
    size_t pos_ = 0;
    size_t end_ = 0;
};

TEST(ArchiveWriter, AFullDiskIsAWriteError) {
    const Bytes text = text_sample(300000, 3);
    for (size_t room : {size_t{10}, size_t{100}, size_t{5000}}) {
        FullDisk out(room);
        ArchiveWriter writer;
        const PackStatus begun = writer.begin(out, 0, 3);
        if (begun != PackStatus::kOk) {
            EXPECT_EQ(begun, PackStatus::kWriteError);
            continue;
        }
        MemoryInput in(text);
        EntryOutcome outcome{};
        EXPECT_EQ(writer.add_entry({"a.txt", 0x20, 0, text.size()}, in, outcome),
                  PackStatus::kWriteError)
            << room;
    }
}

TEST(ArchiveWriter, CompressionStaysWellUnder256MBAtEveryLevel) {
    for (int level = kMinLevel; level <= kMaxLevel; ++level) {
        Rar20Encoder encoder;
        ASSERT_EQ(encoder.init(level), PackStatus::kOk);
        EXPECT_LT(encoder.memory_bytes(), 64u << 20) << "level " << level;
    }
}

TEST(DosTime, FieldsAndTheFormatsEnds) {
    // 2025-01-12 12:26:02
    EXPECT_EQ(dos_date_time(125, 0, 12, 12, 26, 2), 0x5A2C6341u);
    EXPECT_EQ(dos_date_time(70, 0, 1, 0, 0, 0), 0x00210000u);   // 1970: the format starts in 1980
    EXPECT_EQ(dos_date_time(80, 0, 1, 0, 0, 1), 0x00210000u);   // two-second steps
    EXPECT_EQ(dos_date_time(300, 5, 1, 0, 0, 0), 0xFF9FBF7Du);  // after 2107: its last second
}

}  // namespace
}  // namespace qarn::test
