// Compressed solid setup files through the extraction run: entries of languages not chosen
// are decoded without output, so that later entries whose matches reach back into them
// still come out exactly.
#include <gtest/gtest.h>

#include "tests/support/extract_fixture.h"
#include "tests/support/round_trip.h"
#include "tools/setup_builder.h"

namespace qarn::test {
namespace {
namespace fs = std::filesystem;

class SolidExtraction : public ExtractTest, public ::testing::WithParamInterface<int> {
protected:
    fs::path product() const { return temp_.path() / "product"; }

    void build_product() {
        // Sorted by extension, then name: the .CHM help files come before the .EXE, which
        // repeats the English help's bytes, so its matches reach into an entry that an
        // installation without English does not write.
        english_ = text_sample(60000, 31);
        write_file(product() / "QARN_US.CHM", english_);
        write_file(product() / "QARN_DE.CHM", text_sample(50000, 32));
        write_file(product() / "QARN_FR.CHM", text_sample(20000, 33));
        Bytes program = binary_sample(30000, 34);
        program.insert(program.end(), english_.begin(), english_.end());
        write_file(product() / "QARN.EXE", program);
        write_file(product() / "LICENSE.TXT", english_);
        tools::BuildResult result;
        ASSERT_TRUE(tools::build_setup(tools::BuildRequest{product(), setup_file(), std::nullopt, GetParam()},
                                       nullptr, result))
            << (result.errors.empty() ? "" : result.errors[0]);
        ASSERT_GT(result.entries - result.stored, 2u) << "the test needs a compressed solid chain";
    }

    Bytes english_;
};

TEST_P(SolidExtraction, OnlyGermanWritesExactFilesAndRemovesTheOthers) {
    build_product();
    write_file(target_dir() / "QARN_US.CHM", text_bytes("left by an earlier installation"));
    choose_languages(true, false, false);
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_FALSE(fs::exists(target_dir() / "QARN_US.CHM"));
    EXPECT_FALSE(fs::exists(target_dir() / "QARN_FR.CHM"));
    EXPECT_EQ(read_file(target_dir() / "QARN_DE.CHM"), read_file(product() / "QARN_DE.CHM"));
    EXPECT_EQ(read_file(target_dir() / "QARN.EXE"), read_file(product() / "QARN.EXE"));
    EXPECT_EQ(read_file(target_dir() / "LICENSE.TXT"), english_);
    EXPECT_EQ(user_.shown.size(), 5u) << "every entry passes the status line";
}

TEST_P(SolidExtraction, AllLanguagesWriteEveryFileExactly) {
    build_product();
    EXPECT_EQ(run_extraction(), kExtractOk);
    for (const char* name : {"QARN_US.CHM", "QARN_DE.CHM", "QARN_FR.CHM", "QARN.EXE", "LICENSE.TXT"}) {
        EXPECT_EQ(read_file(target_dir() / name), read_file(product() / name)) << name;
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, SolidExtraction, ::testing::Values(1, 3, 5));

}  // namespace
}  // namespace qarn::test
