// Setup files that arrive damaged, cut short or crafted: `mksetup test` and the installer's
// run agree on each, nothing is written for any of them, and no walk reads a byte of
// packed data twice.
#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/round_trip.h"
#include "tests/tools/judgement_fixture.h"
#include "tools/setup_builder.h"

namespace qarn::test {
namespace {

constexpr size_t kArchiveOpening = 7 + 13;  // marker and main header

class BadSetupFile : public OneJudgement {
protected:
    // Judged by both; the installer wrote nothing; the walk read at most the file.
    int refused(const Bytes& archive) {
        const int status = agreed_status(archive);
        EXPECT_NE(status, tools::kExitOk);
        EXPECT_TRUE(fs::is_empty(last_target_)) << "an installation wrote files";
        EXPECT_LE(summary_.packed_read, archive.size());
        return status;
    }
};

// A header without a data size whose pack_size points back at the data of `first`, which
// begins at `data_at`: the same bytes named again as another entry's data.
Bytes header_reusing(const TestEntry& first, size_t header_at, size_t data_at, int i) {
    TestEntry again = first;
    again.name = "f" + std::to_string(1000 + i).substr(1) + ".bin";
    again.flags = 0x0000;
    again.pack_size = static_cast<uint32_t>(header_at + 32 + again.name.size() - data_at);
    return file_header_bytes(again);
}

Bytes with_headers_reusing(const TestEntry& first, int count) {
    Bytes a = build_archive({first});
    const size_t data_at = kArchiveOpening + 32 + first.name.size();
    for (int i = 0; i < count; ++i) {
        const Bytes h = header_reusing(first, a.size(), data_at, i);
        a.insert(a.end(), h.begin(), h.end());
    }
    return a;
}

TEST_F(BadSetupFile, HeadersWithoutADataSizeCannotNameTheSameBytesAgain) {
    TestEntry first = stored("big.bin", "");
    first.data = random_bytes(64 * 1024, 7);
    const Bytes a = with_headers_reusing(first, 300);
    EXPECT_EQ(refused(a), tools::kExitEntriesFailed);
    EXPECT_EQ(reasons_.problems,
              (std::vector<EntryProblem>{EntryProblem::kNone, EntryProblem::kHeaderNoDataSize}));
    EXPECT_EQ(summary_.packed_read, first.data.size());
}

TEST_F(BadSetupFile, APackedEntryCannotBeUnpackedAgainByLaterHeaders) {
    const Bytes zeros(8u << 20, 0);
    const std::vector<PackedEntry> packed = pack_entries({zeros}, 1);
    ASSERT_FALSE(packed[0].stored);
    TestEntry first;
    first.name = "zeros.bin";
    first.data = zeros;
    first.method = '5';
    first.packed = packed[0].packed;
    const Bytes a = with_headers_reusing(first, 10);
    EXPECT_LT(a.size(), 64u * 1024);  // 88 MB named by 10 headers, had they been believed
    EXPECT_EQ(refused(a), tools::kExitEntriesFailed);
    EXPECT_EQ(reasons_.problems.back(), EntryProblem::kHeaderNoDataSize);
}

TEST_F(BadSetupFile, AFileCutInsideAHeaderIsCutShortWhetherOrNotItPromisedItsEnd) {
    const std::vector<TestEntry> entries = {stored("a.txt", "first"), stored("b.txt", "second"),
                                            stored("c.txt", "third")};
    for (const bool promised : {false, true}) {
        ArchiveOptions options;
        options.promise_end_mark = promised;
        options.end_mark = true;
        const Bytes whole = build_archive(entries, options);
        const size_t second = kArchiveOpening + 32 + 5 + 5;
        // Inside the generic seven bytes, inside the fixed part, inside the name.
        for (const size_t at : {second + 3, second + 20, second + 34}) {
            const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(at));
            EXPECT_EQ(refused(cut), tools::kExitCannotRead) << at << " promised " << promised;
            EXPECT_EQ(summary_.problem == ArchiveProblem::kCutShort ||
                          reasons_.problems.back() == EntryProblem::kHeaderCut,
                      true)
                << at;
        }
    }
}

TEST_F(BadSetupFile, ABrokenChainIsTheEndOnlyOfAnArchiveThatPromisedNothing) {
    const std::vector<TestEntry> entries = {stored("a.txt", "first"), stored("b.txt", "second")};
    const size_t second = kArchiveOpening + 32 + 5 + 5;
    for (const bool promised : {false, true}) {
        ArchiveOptions options;
        options.promise_end_mark = promised;
        options.end_mark = true;
        Bytes a = build_archive(entries, options);
        a[second + 5] = 0;  // head_size 0
        a[second + 6] = 0;
        if (promised) {
            EXPECT_EQ(refused(a), tools::kExitCannotRead);
            EXPECT_EQ(summary_.problem, ArchiveProblem::kCutShort);
        } else {
            // Another tool's archive: its walk ends there, as it always did.
            EXPECT_EQ(agreed_status(a), tools::kExitOk);
            EXPECT_EQ(reasons_.names, std::vector<std::string>{"a.txt"});
        }
    }
}

TEST_F(BadSetupFile, ANameNoFolderCanHoldIsRefusedByTestAsByTheInstallation) {
    const std::string deep = std::string(200, 'd') + "\\" + std::string(204, 'f');
    for (const std::string& name : {std::string(300, 'n'), deep, std::string(257, 'x')}) {
        EXPECT_EQ(refused(build_archive({stored(name, "x")})), tools::kExitEntriesFailed);
        EXPECT_EQ(reasons_.problems, std::vector<EntryProblem>{EntryProblem::kPathTooLong});
    }
    // The longest name a drive's root can hold would be installed there.
    EXPECT_EQ(judge(build_archive({stored(std::string(256, 'x'), "x")})), kExtractOk);
}

TEST_F(BadSetupFile, ANameCutByTheEndOfTheFileIsACutHeaderNotAShorterName) {
    TestEntry e = stored("folder\\program.exe", "data");
    e.head_crc = 0x1234;  // damaged as well: the cut decides
    Bytes a = build_archive({stored("a.txt", "a"), e});
    a.resize(a.size() - 4 - 5);  // the data and the name's last five bytes
    EXPECT_EQ(refused(a), tools::kExitCannotRead);
    EXPECT_EQ(reasons_.problems.back(), EntryProblem::kHeaderCut);
}

// A setup file of mksetup build, cut wherever a download may break off: at every entry's
// first byte, inside every header and every entry's data, and inside the end mark.
TEST_F(BadSetupFile, EveryCutOfABuiltSetupFileFails) {
    const fs::path product = temp_.path() / "product";
    write_file(product / "QARN.exe", binary_sample(30000, 1));
    write_file(product / "readme.txt", text_sample(9000, 2));
    write_file(product / "empty.dat", {});
    write_file(product / "Help" / "manual.txt", text_sample(12000, 3));
    tools::BuildResult built;
    const fs::path out = temp_.path() / "built.exe";
    ASSERT_TRUE(tools::build_setup(tools::BuildRequest{product, out, std::nullopt, 1}, nullptr, built));
    const Bytes whole = read_file(out);
    ASSERT_EQ(agreed_status(whole), tools::kExitOk);

    class Blocks final : public ArchiveListener {
    public:
        void on_entry(const EntryInfo& e) override {
            const size_t data = e.block_start + e.header->head_size;
            at.insert(at.end(), {e.block_start, e.block_start + 4, e.block_start + 31, data - 1});
            if (e.header->pack_size > 1) at.push_back(data + static_cast<size_t>(e.header->pack_size) / 2);
        }
        std::vector<size_t> at;
    } blocks;
    RunSummary listed{};
    ASSERT_EQ(list_archive(out.string().c_str(), blocks, listed), kExtractOk);
    std::vector<size_t> cuts = blocks.at;
    cuts.insert(cuts.end(), {whole.size() - 14, whole.size() - 8, whole.size() - 1});
    for (const size_t at : cuts) {
        ASSERT_LT(at, whole.size());
        const Bytes cut(whole.begin(), whole.begin() + static_cast<long>(at));
        EXPECT_EQ(refused(cut), tools::kExitCannotRead) << "cut at " << at;
        if (HasFailure()) return;
    }
}

}  // namespace
}  // namespace qarn::test
