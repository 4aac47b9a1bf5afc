// Links planted below the target folder by someone else, met by a whole installation: a
// link where an entry's folder or file would go fails that entry, the language filter never
// removes through one, an entry that is not written gives nothing its time or attributes,
// and a folder swapped for a link while the run goes on is not followed either. Whatever
// happens, the folder the links point to stays exactly as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "system/target_folder.h"
#include "tests/support/extract_fixture.h"
#include "tests/support/folder_snapshot.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

class LinksBelow : public ExtractTest {
protected:
    void SetUp() override {
        ExtractTest::SetUp();
        fs::create_directories(outside());
        write_file(outside() / "victim.txt", text_bytes("outside, not ours"));
        write_file(outside() / "FR.TXT", text_bytes("someone's French text"));
        before_ = snapshot(outside());
    }

    fs::path outside() const { return temp_.path() / "outside"; }

    // A symbolic link at `at` (below the target folder) to `to`.
    bool link(const fs::path& to, const char* at, bool folder) {
        std::error_code ec;
        const fs::path where = target_dir() / at;
        if (folder) {
            fs::create_directory_symlink(to, where, ec);
        } else {
            fs::create_symlink(to, where, ec);
        }
        return !ec && fs::is_symlink(fs::symlink_status(where, ec));
    }

    void expect_outside_untouched() {
        const FolderSnapshot now = snapshot(outside());
        EXPECT_EQ(now, before_) << "changed outside the target folder:"
                                << snapshot_difference(now, before_);
    }

    bool still_a_link(const char* at) {
        std::error_code ec;
        return fs::is_symlink(fs::symlink_status(target_dir() / at, ec));
    }

    FolderSnapshot before_;
};

#define REQUIRE_LINK(call) \
    if (!(call)) GTEST_SKIP() << "this system does not let the test make symbolic links"

TEST_F(LinksBelow, AFolderLinkFailsTheEntryThatWouldGoThroughIt) {
    REQUIRE_LINK(link(outside(), "SUB", true));
    write_setup({stored("A.TXT", "a"), stored("SUB\\EVIL.DLL", "evil")});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    EXPECT_FALSE(user_.errors.empty());
    EXPECT_FALSE(fs::exists(outside() / "EVIL.DLL"));
    expect_outside_untouched();
    EXPECT_TRUE(still_a_link("SUB"));
    EXPECT_FALSE(fs::exists(target_dir() / "A.TXT")) << "a failed run leaves nothing it wrote";
}

TEST_F(LinksBelow, AFileLinkIsNeitherWrittenThroughNorReplaced) {
    REQUIRE_LINK(link(outside() / "victim.txt", "VICTIM.TXT", false));
    write_setup({stored("VICTIM.TXT", "the entry's bytes")});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    expect_outside_untouched();
    EXPECT_TRUE(still_a_link("VICTIM.TXT"));
}

TEST_F(LinksBelow, ADanglingLinkIsNotAFreePlace) {
    REQUIRE_LINK(link(outside() / "absent.txt", "README.TXT", false));
    write_setup({stored("README.TXT", "read me")});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    EXPECT_FALSE(fs::exists(outside() / "absent.txt"));
    expect_outside_untouched();
    EXPECT_TRUE(still_a_link("README.TXT"));
}

// An entry the run refuses (a version no decoder here reads) is not written, so nothing
// gets its time or read-only attribute, least of all what a link at its place points to.
TEST_F(LinksBelow, ARefusedEntryGivesNothingItsTimeOrAttributes) {
    REQUIRE_LINK(link(outside() / "victim.txt", "VICTIM.TXT", false));
    TestEntry refused = stored("VICTIM.TXT", "never written");
    refused.unp_ver = 29;
    refused.attr = 0x21;
    refused.ftime = 0x3A2C6341;
    write_setup({refused});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    expect_outside_untouched();
}

// The language filter moves aside files of languages not chosen; through a link it would
// take someone else's file away.
TEST_F(LinksBelow, TheLanguageFilterRemovesNothingThroughALink) {
    REQUIRE_LINK(link(outside(), "QARN_FR.D", true));
    REQUIRE_LINK(link(outside() / "victim.txt", "QARN_FR.HLP", false));
    write_setup({stored("QARN.EXE", "program"), stored("QARN_FR.D\\FR.TXT", "french"),
                 stored("QARN_FR.HLP", "french help"), stored("QARN_DE.HLP", "german help")});
    choose_languages(true, false, false);
    EXPECT_EQ(run_extraction(), kExtractOk);
    expect_outside_untouched();
    EXPECT_TRUE(still_a_link("QARN_FR.D"));
    EXPECT_TRUE(still_a_link("QARN_FR.HLP"));
    EXPECT_EQ(read_file(target_dir() / "QARN_DE.HLP"), text_bytes("german help"));
}

// Someone swaps a folder the run has just made for a link to the outside, between the
// folder's making and the file's creation in it.
class SwappingFolder final : public TargetFolder {
public:
    SwappingFolder(const char* base, fs::path target, fs::path outside)
        : TargetFolder(base), target_(std::move(target)), outside_(std::move(outside)) {}

    platform::NewFile create_file(const char* relative) override {
        if (std::string(relative) == "SUB\\EVIL.DLL") {
            std::error_code ec;
            fs::remove(target_ / "SUB", ec);
            fs::create_directory_symlink(outside_, target_ / "SUB", ec);
            swapped = !ec;
        }
        return TargetFolder::create_file(relative);
    }
    bool swapped = false;

private:
    fs::path target_;
    fs::path outside_;
};

TEST_F(LinksBelow, AFolderSwappedForALinkDuringTheRunIsNotFollowed) {
    write_setup({stored("A.TXT", "a"), stored("SUB\\EVIL.DLL", "evil")});
    const std::string base = installer_form(target_dir()) + "\\";
    SwappingFolder folder(base.c_str(), target_dir(), outside());
    File file = open_shared(installer_form(setup_file()).c_str(), "rb", 1);
    RunSummary summary{};
    const int32_t result = install_archive(file, folder, languages_, user_, summary);
    REQUIRE_LINK(folder.swapped);
    EXPECT_EQ(result, kExtractEntryFailed);
    EXPECT_FALSE(fs::exists(outside() / "EVIL.DLL"));
    expect_outside_untouched();
}

}  // namespace
}  // namespace qarn::test
