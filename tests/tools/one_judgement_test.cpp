// `mksetup test` answers "will the installer install this?": on every archive its exit
// status is the one `mksetup extract` gives with every language into an empty folder.
// Crafted archives with header features the project's own writer never produces, and
// generated ones, damaged and cut short.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/tools/judgement_fixture.h"

namespace qarn::test {
namespace {

TEST_F(OneJudgement, AStoredEntryOfVersionTwentyNineFailsBoth) {
    TestEntry e = stored("new.bin", "data");
    e.unp_ver = 29;
    EXPECT_EQ(agreed_status(build_archive({e})), tools::kExitEntriesFailed);
    EXPECT_EQ(reasons_.problems, std::vector<EntryProblem>{EntryProblem::kUnsupportedVersion});
}

TEST_F(OneJudgement, NamesTheInstallerRefusesFailBoth) {
    for (const char* name : {"..\\..\\X", "\\tmp\\X", "a\\b\\..\\..\\..\\X", "????.txt"}) {
        EXPECT_EQ(agreed_status(build_archive({stored(name, "x")})), tools::kExitEntriesFailed)
            << name;
        ASSERT_EQ(reasons_.problems.size(), 1u);
        EXPECT_EQ(reasons_.problems[0], EntryProblem::kRefusedName) << name;
    }
}

TEST_F(OneJudgement, AFolderHeaderWithBytesAfterItsNameIsFollowedByEveryFile) {
    TestEntry dir = folder_entry("docs");
    dir.extra_header = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    dir.whole_header_crc = true;
    const Bytes archive = build_archive(
        {dir, stored("docs\\a.txt", "a"), stored("docs\\b.txt", "b"), stored("c.txt", "c")});
    EXPECT_EQ(agreed_status(archive), tools::kExitOk);
    const std::vector<std::string> listed = {"docs", "docs\\a.txt", "docs\\b.txt", "c.txt"};
    EXPECT_EQ(reasons_.names, listed);
    EXPECT_EQ(read_file(last_target_ / "docs" / "b.txt"), text_bytes("b"));
    EXPECT_EQ(read_file(last_target_ / "c.txt"), text_bytes("c"));

    // The listing shows every entry too.
    class Lister final : public ArchiveListener {
    public:
        void on_entry(const EntryInfo& e) override { names.emplace_back(e.name); }
        std::vector<std::string> names;
    } lister;
    RunSummary summary{};
    EXPECT_EQ(list_archive(setup_file().string().c_str(), lister, summary), kExtractOk);
    EXPECT_EQ(lister.names, listed);
    EXPECT_EQ(summary.failed, 0u);
}

TEST_F(OneJudgement, AValidFileHeaderWithBytesAfterItsNameIsNotDamaged) {
    TestEntry e = stored("a.txt", "a");
    e.extra_header = {1, 2, 3};
    e.whole_header_crc = true;
    EXPECT_EQ(agreed_status(build_archive({e})), tools::kExitOk);
    EXPECT_EQ(reasons_.problems, std::vector<EntryProblem>{EntryProblem::kNone});
}

TEST_F(OneJudgement, AFirstEntryContinuedFromAPreviousVolumeCannotBeRead) {
    TestEntry e = stored("part.bin", "tail");
    e.flags = 0x8001;
    EXPECT_EQ(agreed_status(build_archive({e, stored("b.txt", "b")})), tools::kExitCannotRead);
    ASSERT_FALSE(reasons_.problems.empty());
    EXPECT_EQ(reasons_.problems[0], EntryProblem::kContinuedFromPrevious);
}

TEST_F(OneJudgement, AFirstVolumeWhoseLastEntryIsSplitFailsAtThatEntry) {
    // The part in this volume is the start of the data; the checksum is the whole file's.
    TestEntry split = stored("split.bin", std::string(300, 's'));
    split.packed = text_bytes(std::string(120, 's'));
    split.unp_size = 120;
    split.flags = 0x8002;
    EXPECT_EQ(agreed_status(build_archive({stored("a.txt", "a"), split})),
              tools::kExitEntriesFailed);
    EXPECT_EQ(reasons_.problems.back(), EntryProblem::kChecksum);
}

TEST_F(OneJudgement, ALastEntryContinuingWhoseDataPassesCannotBeReadWhole) {
    TestEntry head = stored("split.bin", "head");
    head.flags = 0x8002;
    EXPECT_EQ(agreed_status(build_archive({stored("a.txt", "a"), head})), tools::kExitCannotRead);
}

TEST_F(OneJudgement, AFileWhereAnEarlierEntryMadeAFolderCannotBeCreated) {
    const Bytes archive = build_archive({stored("lib\\x.dll", "x"), stored("lib", "file")});
    EXPECT_EQ(agreed_status(archive), tools::kExitEntriesFailed);
    EXPECT_EQ(reasons_.problems.back(), EntryProblem::kCannotCreate);
}

TEST_F(OneJudgement, AReadOnlyFileCannotBeReplacedByALaterEntryOfTheSameName) {
    TestEntry first = stored("same.txt", "one");
    first.attr = 0x21;
    const Bytes archive = build_archive({first, stored("same.txt", "two")});
    EXPECT_EQ(agreed_status(archive), tools::kExitEntriesFailed);
    EXPECT_EQ(reasons_.problems.back(), EntryProblem::kCannotCreate);
}

TEST_F(OneJudgement, AnArchiveWithoutEntriesCannotBeInstalled) {
    EXPECT_EQ(agreed_status(build_archive({})), tools::kExitCannotRead);
}

TEST_F(OneJudgement, TheFirstStoppingEntryDecidesWhateverFollows) {
    TestEntry bad_crc = stored("b.txt", "b");
    bad_crc.file_crc = 7;
    TestEntry v29 = stored("v.txt", "v");
    v29.unp_ver = 29;
    // A checksum failure first (3 -> exit 1), a refused name after it.
    EXPECT_EQ(agreed_status(build_archive({stored("a.txt", "a"), bad_crc, stored("..\\x", "x")})),
              tools::kExitEntriesFailed);
    // A volume continuation first (2), a bad version after it.
    TestEntry cont = stored("c.bin", "c");
    cont.flags = 0x8001;
    EXPECT_EQ(agreed_status(build_archive({cont, v29})), tools::kExitCannotRead);
}

// --- mksetup itself -------------------------------------------------------------------------

TEST_F(OneJudgement, TheCommandsGiveTheSameStatus) {
    TestEntry v29 = stored("new.bin", "data");
    v29.unp_ver = 29;
    TestEntry cont = stored("part.bin", "tail");
    cont.flags = 0x8001;
    const std::vector<Bytes> archives = {build_archive({stored("ok.txt", "fine")}),
                                         build_archive({v29}), build_archive({cont}),
                                         build_archive({stored("..\\out.txt", "x")}),
                                         build_archive({})};
    const std::vector<int> expected = {tools::kExitOk, tools::kExitEntriesFailed,
                                       tools::kExitCannotRead, tools::kExitEntriesFailed,
                                       tools::kExitCannotRead};
    for (size_t i = 0; i < archives.size(); ++i) {
        write_file(setup_file(), archives[i]);
        const fs::path dir = temp_.path() / ("cli" + std::to_string(i));
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        const int tested = tools::run_test(setup_file().string());
        const int extracted = tools::run_extract(setup_file().string(), dir.string(),
                                                 {"de", "en", "other"});
        testing::internal::GetCapturedStdout();
        testing::internal::GetCapturedStderr();
        EXPECT_EQ(tested, extracted) << i;
        EXPECT_EQ(tested, expected[i]) << i;
    }
}

// --- Generated archives ---------------------------------------------------------------------

// Names from a small pool, so that folders and files meet; lower case only (the plan of
// the target folder compares names as Windows does, without regard to case, which a Linux
// folder does not).
std::string random_name(std::mt19937& rng) {
    static const char* const kNames[] = {
        "a.txt",      "b.bin",        "lib\\x.dll",   "lib",        "doc\\readme.txt",
        "doc",        "qarn_de.chm",  "qarn_fr.lng",  "..\\up.txt", "c:\\abs.txt",
        "\\root.txt", "nul.txt",      "bad?.txt",     "dir\\",      "deep\\er\\f.txt",
        "",           "trail.",       "x\\..\\y.txt", "space .txt", "a.txt"};
    return kNames[rng() % (sizeof kNames / sizeof kNames[0])];
}

TestEntry random_entry(std::mt19937& rng) {
    TestEntry e;
    e.name = random_name(rng);
    e.data = random_bytes(rng() % 200, static_cast<uint32_t>(rng()));
    const uint32_t pick = rng() % 20;
    if (pick == 0) e.unp_ver = static_cast<uint8_t>(rng() % 2 ? 29 : 12);
    if (pick == 1) {
        e.unp_ver = 15;
        e.method = '2';
        e.packed = random_bytes(rng() % 30, static_cast<uint32_t>(rng()));
    }
    if (pick == 2) {
        e.method = static_cast<uint8_t>('1' + rng() % 5);
        e.packed = random_bytes(1 + rng() % 60, static_cast<uint32_t>(rng()));
    }
    if (pick == 3) e.flags |= 0x04;
    if (pick == 4) e.flags |= 0x01;
    if (pick == 5) e.flags |= 0x02;
    if (pick == 6) {
        e.flags = 0x80E0;
        e.attr = 0x10;
        e.data.clear();
    }
    if (pick == 7) e.attr = 0x21;
    if (pick == 8) e.file_crc = static_cast<uint32_t>(rng());
    if (pick == 9) e.head_crc = static_cast<uint16_t>(rng());
    if (pick == 10) e.host_os = static_cast<uint8_t>(3 + rng() % 3);
    if (pick == 11) e.flags = static_cast<uint16_t>(e.flags & ~0x8000);  // data read again as headers
    if (pick == 12) e.head_size = static_cast<uint16_t>(7 + rng() % 40);  // the name outside
    if (rng() % 5 == 0) {
        e.extra_header = random_bytes(1 + rng() % 9, static_cast<uint32_t>(rng()));
        e.whole_header_crc = rng() % 2 == 0;
    }
    return e;
}

TEST_F(OneJudgement, GeneratedArchivesGetTheSameStatusFromTestAndExtract) {
    std::mt19937 rng(20261209);
    int by_status[4] = {};
    int cut_short = 0;
    for (int round = 0; round < 400; ++round) {
        std::vector<TestEntry> entries;
        const uint32_t count = rng() % 6;
        for (uint32_t i = 0; i < count; ++i) entries.push_back(random_entry(rng));
        ArchiveOptions options;
        options.end_mark = rng() % 3 != 0;
        options.promise_end_mark = rng() % 2 == 0;
        Bytes archive = build_archive(entries, options);
        const uint32_t damage = rng() % 6;
        if (damage == 0 && archive.size() > 21) {
            archive.resize(20 + rng() % (archive.size() - 20));  // cut short
        } else if (damage == 1 && archive.size() > 21) {
            archive[20 + rng() % (archive.size() - 20)] ^= static_cast<uint8_t>(1 + rng() % 255);
        }
        const int status = agreed_status(archive);
        ASSERT_GE(status, 0);
        ASSERT_LE(status, 2);
        ++by_status[status];
        if (summary_.problem == ArchiveProblem::kCutShort) ++cut_short;
        if (HasFailure()) {
            ADD_FAILURE() << "round " << round << ": " << entries.size() << " entries";
            return;
        }
    }
    // The generator reaches every verdict.
    EXPECT_GT(by_status[0], 20);
    EXPECT_GT(by_status[1], 20);
    EXPECT_GT(by_status[2], 20);
    EXPECT_GT(cut_short, 10);
}

}  // namespace
}  // namespace qarn::test
