// mksetup build --uninstall-list: the list of every entry travels as the archive's last
// entry, names every entry in archive order, installs like any other file, and does not
// change from one build of the same folder to the next.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "tests/support/extract_fixture.h"
#include "tests/support/round_trip.h"
#include "tools/setup_builder.h"
#include "uninstall/uninstall_list.h"

namespace qarn::test {
namespace {
namespace fs = std::filesystem;

class UninstallListBuild : public ExtractTest {
protected:
    fs::path product() const { return temp_.path() / "product"; }
    fs::path output() const { return temp_.path() / "setup.exe"; }

    void make_product() {
        write_file(product() / "QARN.exe", binary_sample(40000, 1));
        write_file(product() / "readme.txt", text_sample(3000, 2));
        write_file(product() / "empty.dat", {});
        write_file(product() / "Help" / "deep" / "x.bin", random_bytes(4000, 4));
    }

    bool build(const std::string& list_name, int level = 3) {
        result_ = tools::BuildResult{};
        tools::BuildRequest request{product(), output(), std::nullopt, level};
        request.uninstall_list = list_name;
        return tools::build_setup(request, nullptr, result_);
    }

    tools::BuildResult result_;
};

// In the folder order (level 3) and in the content order (level 5) alike: the list is made
// after the order is chosen, and is never moved by it.
TEST_F(UninstallListBuild, TheListIsTheLastEntryAndNamesEveryEntryInArchiveOrder) {
    make_product();
    for (const int level : {3, 5}) {
        fs::remove_all(target_dir());
        fs::create_directories(target_dir());
        ASSERT_TRUE(build("UNINST.LST", level))
            << (result_.errors.empty() ? "" : result_.errors[0]);
        EXPECT_EQ(result_.entries, 5u);
        const WalkReport r = walk_bytes(read_file(output()));
        ASSERT_EQ(r.names.size(), 5u);
        EXPECT_EQ(r.names.back(), "UNINST.LST");
        for (const EntryProblem p : r.problems) EXPECT_EQ(p, EntryProblem::kNone);

        ASSERT_EQ(run_extraction(output()), kExtractOk);
        const Bytes bytes = read_file(target_dir() / "UNINST.LST");
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(text, uninstall_list_text({r.names.begin(), r.names.end() - 1}, "UNINST.LST"));
        const UninstallList list = read_uninstall_list(text);
        ASSERT_EQ(list.verdict, ListVerdict::kRead);
        ASSERT_EQ(list.names.size(), r.names.size());
        for (size_t i = 0; i < r.names.size(); ++i) EXPECT_EQ(list.names[i].name, r.names[i]);
        EXPECT_TRUE(list.refused.empty());
    }
}

TEST_F(UninstallListBuild, TheListCarriesTheNewestFileTimeSoRebuildsAreIdentical) {
    make_product();
    ASSERT_TRUE(build("UNINST.LST"));
    const Bytes first = read_file(output());
    const WalkReport r = walk_bytes(first);
    ASSERT_EQ(r.headers.size(), 5u);
    uint32_t newest = 0;
    for (size_t i = 0; i + 1 < r.headers.size(); ++i) newest = std::max(newest, r.headers[i].ftime);
    EXPECT_EQ(r.headers.back().ftime, newest);
    EXPECT_EQ(r.headers.back().attr & 0x20u, 0x20u);
    ASSERT_TRUE(build("UNINST.LST"));
    EXPECT_EQ(read_file(output()), first);
}

TEST_F(UninstallListBuild, WithoutTheOptionThereIsNoList) {
    make_product();
    ASSERT_TRUE(build(""));
    EXPECT_EQ(result_.entries, 4u);
    const WalkReport r = walk_bytes(read_file(output()));
    EXPECT_EQ(std::count(r.names.begin(), r.names.end(), "UNINST.LST"), 0);
}

TEST_F(UninstallListBuild, ANameThatClashesOrTheInstallerRefusesWritesNothing) {
    make_product();
    for (const char* name : {"README.TXT", "help", "Help\\list.lst", "nul.lst", "a.."}) {
        EXPECT_FALSE(build(name)) << name;
        EXPECT_TRUE(result_.input_problem) << name;
        ASSERT_FALSE(result_.errors.empty()) << name;
        EXPECT_NE(result_.errors[0].find(std::string("--uninstall-list ") + name),
                  std::string::npos)
            << result_.errors[0];
        EXPECT_FALSE(fs::exists(output())) << name;
    }
}

}  // namespace
}  // namespace qarn::test
