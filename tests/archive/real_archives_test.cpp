// Archives made by the original archiver: every entry but the multimedia one decodes to the
// stored checksum, and that one fails without disturbing the others.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "archive/archive_walk.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

class Collect final : public ArchiveListener {
public:
    void on_archive(const ArchiveInfo& info) override { archive = info; }
    void on_entry(const EntryInfo& e) override {
        verdicts[e.name] = e.verdict;
        produced[e.name] = e.produced;
        order.push_back(e.name);
    }
    ArchiveInfo archive{};
    std::map<std::string, EntryVerdict> verdicts;
    std::map<std::string, uint64_t> produced;
    std::vector<std::string> order;
};

TEST(RealArchives, EveryEntryButTheMultimediaOneDecodes) {
    QARN_REQUIRE_SHARED(path, "fixtures/real/test_v2.rar");
    Collect c;
    WalkSummary summary{};
    EXPECT_EQ(walk_archive(path.c_str(), true, c, summary), WalkStatus::kEntriesFailed);
    EXPECT_EQ(c.archive.locate_result, kArchiveAtStart);
    EXPECT_EQ(c.archive.archive_start, 0u);
    const std::vector<std::string> expected = {"p0.bin", "p1.bin", "p2.bin", "p3.bin",
                                               "p4.bin", "p5.bin", "pMM.bin"};
    EXPECT_EQ(c.order, expected);
    for (const char* name : {"p0.bin", "p1.bin", "p2.bin", "p3.bin", "p4.bin", "p5.bin"}) {
        EXPECT_EQ(c.verdicts[name], EntryVerdict::kOk) << name;
        EXPECT_EQ(c.produced[name], 16384u) << name;
    }
    EXPECT_EQ(c.verdicts["pMM.bin"], EntryVerdict::kChecksum);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_EQ(summary.header_crc_errors, 0u);
}

TEST(RealArchives, SolidEntryDecodesFromThePreviousWindow) {
    QARN_REQUIRE_SHARED(path, "fixtures/real/test_v2solid5.rar");
    Collect c;
    WalkSummary summary{};
    EXPECT_EQ(walk_archive(path.c_str(), true, c, summary), WalkStatus::kComplete);
    EXPECT_EQ(c.verdicts["p5.bin"], EntryVerdict::kOk);
    EXPECT_EQ(c.verdicts["p5_solid.bin"], EntryVerdict::kOk);
    EXPECT_EQ(c.produced["p5_solid.bin"], 16384u);
    EXPECT_EQ(summary.entries, 2u);
}

}  // namespace
}  // namespace qarn
