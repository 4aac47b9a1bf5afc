// Archives made by the original archiver: every entry but the multimedia one decodes to the
// stored checksum, and that one fails without disturbing the others.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "archive/planned_destination.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

class Collect final : public ArchiveListener {
public:
    void on_archive(const ArchiveInfo& info) override { archive = info; }
    void on_entry(const EntryInfo& e) override {
        problems[e.name] = e.problem;
        produced[e.name] = e.produced;
        order.push_back(e.name);
    }
    ArchiveInfo archive{};
    std::map<std::string, EntryProblem> problems;
    std::map<std::string, uint64_t> produced;
    std::vector<std::string> order;
};

TEST(RealArchives, EveryEntryButTheMultimediaOneDecodes) {
    QARN_REQUIRE_SHARED(path, "fixtures/real/test_v2.rar");
    Collect c;
    RunSummary summary{};
    EXPECT_EQ(test_archive(path.c_str(), c, summary), kExtractChecksum);
    EXPECT_EQ(c.archive.locate_result, kArchiveAtStart);
    EXPECT_EQ(c.archive.archive_start, 0u);
    const std::vector<std::string> expected = {"p0.bin", "p1.bin", "p2.bin", "p3.bin",
                                               "p4.bin", "p5.bin", "pMM.bin"};
    EXPECT_EQ(c.order, expected);
    for (const char* name : {"p0.bin", "p1.bin", "p2.bin", "p3.bin", "p4.bin", "p5.bin"}) {
        EXPECT_EQ(c.problems[name], EntryProblem::kNone) << name;
        EXPECT_EQ(c.produced[name], 16384u) << name;
    }
    EXPECT_EQ(c.problems["pMM.bin"], EntryProblem::kChecksum);
    EXPECT_EQ(summary.failed, 1u);
    EXPECT_TRUE(summary.main_header_crc_ok);
    // Another archiver's file promises no end mark: it ends as it always did.
    EXPECT_FALSE(summary.end_mark_promised);
    EXPECT_FALSE(summary.end_mark);
    EXPECT_EQ(summary.problem, ArchiveProblem::kNone);
    EXPECT_EQ(summary.packed_read, summary.packed_bytes);
}

TEST(RealArchives, SolidEntryDecodesFromThePreviousWindow) {
    QARN_REQUIRE_SHARED(path, "fixtures/real/test_v2solid5.rar");
    Collect c;
    RunSummary summary{};
    EXPECT_EQ(test_archive(path.c_str(), c, summary), kExtractOk);
    EXPECT_EQ(c.problems["p5.bin"], EntryProblem::kNone);
    EXPECT_EQ(c.problems["p5_solid.bin"], EntryProblem::kNone);
    EXPECT_EQ(c.produced["p5_solid.bin"], 16384u);
    EXPECT_EQ(summary.entries, 2u);
    EXPECT_EQ(summary.problem, ArchiveProblem::kNone);
}

}  // namespace
}  // namespace qarn
