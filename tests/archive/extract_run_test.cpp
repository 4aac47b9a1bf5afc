// The extraction run end to end on hand-made and real archives: what is written, what is
// removed, what is refused, and the result codes.
#include <chrono>
#include <ctime>
#include <filesystem>

#include "archive/file_io.h"
#include "platform/platform.h"
#include "tests/support/extract_fixture.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

using ExtractRun = ExtractTest;

TEST_F(ExtractRun, WritesEveryEntryWithItsBytes) {
    write_setup({stored("QARN.EXE", "program"), stored("docs/LICENSE.TXT", "licence text"),
                 stored("QARN_DE.CHM", "german help")});
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_EQ(read_file(target_dir() / "QARN.EXE"), text_bytes("program"));
    EXPECT_EQ(read_file(target_dir() / "docs" / "LICENSE.TXT"), text_bytes("licence text"));
    EXPECT_EQ(read_file(target_dir() / "QARN_DE.CHM"), text_bytes("german help"));
    const std::vector<std::string> shown = {"QARN.EXE", "docs\\LICENSE.TXT", "QARN_DE.CHM"};
    EXPECT_EQ(user_.shown, shown);
    EXPECT_TRUE(user_.errors.empty());
}

TEST_F(ExtractRun, FolderEntryCreatesNothingAndDeepFileCreatesItsFolders) {
    TestEntry dir = stored("emptydir", "");
    dir.flags = 0x80E0;
    dir.attr = 0x10;
    write_setup({dir, stored("a/b/c/deep.txt", "deep")});
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_FALSE(fs::exists(target_dir() / "emptydir"));
    EXPECT_EQ(read_file(target_dir() / "a" / "b" / "c" / "deep.txt"), text_bytes("deep"));
    // A folder entry has no data step and is not shown.
    EXPECT_EQ(user_.shown, std::vector<std::string>{"a\\b\\c\\deep.txt"});
}

TEST_F(ExtractRun, GivesTheEntryItsTimeAsLocalTimeAndItsReadOnlyAttribute) {
    TestEntry e = stored("ro.txt", "read only");
    // 2021-06-15 10:20:30 local time.
    e.ftime = ((2021u - 1980u) << 25) | (6u << 21) | (15u << 16) | (10u << 11) | (20u << 5) | 15u;
    e.attr = 0x21;
    write_setup({e});
    EXPECT_EQ(run_extraction(), kExtractOk);
    const fs::path p = target_dir() / "ro.txt";
    std::tm t{};
    t.tm_year = 121;
    t.tm_mon = 5;
    t.tm_mday = 15;
    t.tm_hour = 10;
    t.tm_min = 20;
    t.tm_sec = 30;
    t.tm_isdst = -1;
    const std::time_t expected = std::mktime(&t);
    const auto written = fs::last_write_time(p);
    const auto as_system = std::chrono::file_clock::to_sys(written);
    EXPECT_EQ(std::chrono::system_clock::to_time_t(as_system), expected);
    EXPECT_EQ(platform::get_file_attributes(installer_form(p).c_str()) & 0x01u, 0x01u);
}

TEST_F(ExtractRun, ReplacesAnExistingFile) {
    write_file(target_dir() / "QARN.EXE", text_bytes("an older, longer program file"));
    write_setup({stored("QARN.EXE", "new")});
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_EQ(read_file(target_dir() / "QARN.EXE"), text_bytes("new"));
}

TEST_F(ExtractRun, FolderStandingAtAnEntrysPathFailsWithTheTargetPath) {
    fs::create_directories(target_dir() / "QARN.EXE" / "inside");
    write_setup({stored("first.txt", "1"), stored("QARN.EXE", "program"), stored("after.txt", "2")});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    ASSERT_EQ(user_.errors.size(), 1u);
    EXPECT_EQ(user_.errors[0], installer_form(target_dir()) + "\\QARN.EXE");
    EXPECT_TRUE(fs::is_directory(target_dir() / "QARN.EXE" / "inside"));
    // The run stops there, and what it wrote before is undone.
    EXPECT_FALSE(fs::exists(target_dir() / "first.txt"));
    EXPECT_FALSE(fs::exists(target_dir() / "after.txt"));
    EXPECT_FALSE(fs::exists(target_dir() / "QARN.UNDO"));
}

// The whole archive is checked before anything is written: a bad entry anywhere leaves
// the folder as it was, the entries before it included.
TEST_F(ExtractRun, AChecksumMismatchAnywhereWritesNothing) {
    TestEntry bad = stored("bad.txt", "payload");
    bad.file_crc = 0x12345678;
    write_setup({stored("good.txt", "ok"), bad, stored("later.txt", "x")});
    EXPECT_EQ(run_extraction(), kExtractChecksum);
    EXPECT_EQ(user_.errors, std::vector<std::string>{"bad.txt"});
    EXPECT_TRUE(fs::is_empty(target_dir()));
}

TEST_F(ExtractRun, StoredEntryCutShortFailsThoughItsChecksumDescribesTheShortData) {
    // The header claims 100 bytes, the data holds 10, and the checksum is that of the 10:
    // only the length shows the damage.
    TestEntry cut = stored("cut.bin", "0123456789");
    cut.unp_size = 100;
    write_setup({cut});
    EXPECT_EQ(run_extraction(), kExtractChecksum);
    EXPECT_FALSE(fs::exists(target_dir() / "cut.bin"));
    EXPECT_EQ(user_.errors, std::vector<std::string>{"cut.bin"});
}

TEST_F(ExtractRun, StoredEntryWithMorePackedThanUnpackedBytesWritesOnlyTheUnpackedSize) {
    TestEntry e = stored("short.bin", "abc");
    e.packed = text_bytes("abcdefgh");
    write_setup({e, stored("next.txt", "next")});
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_EQ(read_file(target_dir() / "short.bin"), text_bytes("abc"));
    EXPECT_EQ(read_file(target_dir() / "next.txt"), text_bytes("next"));
}

TEST_F(ExtractRun, EmptyEntryPassesOnlyWithTheEmptyChecksum) {
    write_setup({stored("empty.txt", "")});
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_TRUE(fs::exists(target_dir() / "empty.txt"));
    EXPECT_EQ(fs::file_size(target_dir() / "empty.txt"), 0u);

    TestEntry wrong = stored("empty2.txt", "");
    wrong.file_crc = 1;
    write_setup({wrong});
    EXPECT_EQ(run_extraction(), kExtractChecksum);
}

TEST_F(ExtractRun, VersionOutsideTheDecodersRangeEndsTheRunWithOne) {
    TestEntry newer = stored("newer.bin", "data");
    newer.unp_ver = 29;
    write_setup({newer, stored("after.txt", "a")});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    EXPECT_TRUE(fs::is_empty(target_dir()));
    EXPECT_EQ(user_.errors, std::vector<std::string>{"newer.bin"});
}

TEST_F(ExtractRun, TruncatedCompressedEntryClaimingGigabytesFailsPromptlyAndLeavesNothing) {
    TestEntry e;
    e.name = "big.bin";
    e.method = '3';
    e.packed = random_bytes(200, 21);
    e.pack_size = 0x7FFFFFF0;
    e.unp_size = 0x7FFFFFF0;
    write_setup({e});
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(run_extraction(), kExtractChecksum);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(fs::exists(target_dir() / "big.bin"));
}

TEST_F(ExtractRun, ArchiveWithoutAnyFileEntryIsAFailure) {
    write_setup({});
    EXPECT_EQ(run_extraction(), kExtractNoArchive);
}

TEST_F(ExtractRun, MissingSetupFileOrNoArchiveGivesTwo) {
    EXPECT_EQ(run_extraction(temp_.path() / "absent.exe"), kExtractNoArchive);
    write_file(setup_file(), random_bytes(4096, 3));
    EXPECT_EQ(run_extraction(), kExtractNoArchive);
}

TEST_F(ExtractRun, FirstEntryContinuedFromAnotherVolumeGivesTwo) {
    TestEntry cont = stored("part.bin", "tail");
    cont.flags = 0x8001;
    write_setup({cont});
    EXPECT_EQ(run_extraction(), kExtractNoArchive);
    EXPECT_FALSE(fs::exists(target_dir() / "part.bin"));
}

TEST_F(ExtractRun, LastEntryContinuingInANextVolumeEndsTheRunWithTwo) {
    TestEntry head = stored("split.bin", "head");
    head.flags = 0x8002;
    write_setup({stored("a.txt", "a"), head});
    EXPECT_EQ(run_extraction(), kExtractNoArchive);
    EXPECT_TRUE(fs::is_empty(target_dir()));
}

TEST_F(ExtractRun, OldKindArchiveBehindAnImageUsesTheSixteenBitSum) {
    Bytes image = random_bytes(3000, 11);
    for (auto& b : image) {
        if (b == 0x52) b = 0x53;  // no stray marker candidates in the image
    }
    image[28] = 'R';
    image[29] = 'S';
    image[30] = 'F';
    image[31] = 'X';
    ArchiveOptions options;
    options.old_kind = true;
    options.prefix = image;
    write_setup({stored("old.txt", "old kind data")}, options);
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_EQ(read_file(target_dir() / "old.txt"), text_bytes("old kind data"));

    TestEntry high = stored("old2.txt", "x");
    high.file_crc = 0x10000u | old_sum(text_bytes("x"));
    write_setup({high}, options);
    EXPECT_EQ(run_extraction(), kExtractChecksum) << "high bits of an old checksum never pass";
}

TEST_F(ExtractRun, SubBlocksAndUnknownBlocksArePassedOver) {
    Bytes sub = {0, 0, 0x77, 0x00, 0x80, 11, 0, 4, 0, 0, 0, 'd', 'a', 't', 'a'};
    Bytes unknown = {0, 0, 0x79, 0x00, 0x00, 9, 0, 0xEE, 0xEE};
    ArchiveOptions options;
    Bytes middle;
    write_setup({stored("one.txt", "1")}, options);
    Bytes archive = read_file(setup_file());
    archive.insert(archive.end(), sub.begin(), sub.end());
    archive.insert(archive.end(), unknown.begin(), unknown.end());
    const Bytes second = file_header_bytes(stored("two.txt", "2"));
    archive.insert(archive.end(), second.begin(), second.end());
    archive.push_back('2');
    write_file(setup_file(), archive);
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_EQ(read_file(target_dir() / "two.txt"), text_bytes("2"));
}

TEST_F(ExtractRun, RealSolidArchiveWritesBothFilesExactly) {
    QARN_REQUIRE_SHARED(path, "fixtures/real/test_v2solid5.rar");
    EXPECT_EQ(run_extraction(path), kExtractOk);
    for (const char* name : {"p5.bin", "p5_solid.bin"}) {
        const Bytes data = read_file(target_dir() / name);
        EXPECT_EQ(data.size(), 16384u) << name;
        EXPECT_EQ(crc32(data), 0x10751ABAu) << name;
    }
}

TEST_F(ExtractRun, RealArchiveWithTheMultimediaEntryInstallsNothing) {
    QARN_REQUIRE_SHARED(path, "fixtures/real/test_v2.rar");
    EXPECT_EQ(run_extraction(path), kExtractChecksum);
    EXPECT_TRUE(fs::is_empty(target_dir()));
    EXPECT_EQ(user_.errors, std::vector<std::string>{"pMM.bin"});
}

TEST_F(ExtractRun, TargetFolderGainsItsBackslashInTheCallersBuffer) {
    write_setup({stored("x.txt", "x")});
    const std::string folder = installer_form(target_dir());
    char target[kPathSize] = {};
    folder.copy(target, folder.size());
    EXPECT_EQ(extract_archive(user_, installer_form(setup_file()).c_str(), target, sizeof target,
                              languages_),
              kExtractOk);
    EXPECT_EQ(std::string(target), folder + "\\");
}

}  // namespace
}  // namespace qarn::test
