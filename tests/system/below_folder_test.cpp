// The calls below the target folder, on real files: what they do, and that no link below
// the folder is ever followed. Links are made where the system lets a test make them (a
// symbolic link natively; under Wine the same call, skipped where Wine refuses it).
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using platform::Kind;
using test::Bytes;

class BelowFolder : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(target());
        fs::create_directories(outside());
        base_ = test::installer_form(target()) + "\\";
    }
    fs::path target() const { return temp_.path() / "target"; }
    fs::path outside() const { return temp_.path() / "outside"; }
    const char* base() const { return base_.c_str(); }

    // A symbolic link at `at` to `to`; false where the system refuses to make one.
    static bool link(const fs::path& to, const fs::path& at, bool folder) {
        std::error_code ec;
        if (folder) {
            fs::create_directory_symlink(to, at, ec);
        } else {
            fs::create_symlink(to, at, ec);
        }
        return !ec && fs::is_symlink(fs::symlink_status(at, ec));
    }

    bool write_new(const char* relative, const std::string& text) {
        platform::NewFile f = platform::create_file_below(base(), relative);
        return f && f.write(text.data(), text.size()) == text.size() && f.finish(0x5A2C6341, 0x20);
    }

    test::TempDir temp_;
    std::string base_;
};

TEST_F(BelowFolder, FilesAndFoldersAreMadeMovedLookedAtAndRemoved) {
    EXPECT_EQ(platform::look_below(base(), "sub").kind, Kind::kMissing);
    EXPECT_EQ(platform::look_below(base(), "sub\\deeper\\x").kind, Kind::kMissing);
    ASSERT_TRUE(platform::make_folder_below(base(), "sub"));
    EXPECT_FALSE(platform::make_folder_below(base(), "sub")) << "an existing folder is not made";
    ASSERT_TRUE(write_new("sub\\a.txt", "hello"));
    EXPECT_FALSE(platform::create_file_below(base(), "sub\\a.txt")) << "never replaces a file";

    const platform::Found a = platform::look_below(base(), "sub\\a.txt");
    EXPECT_EQ(a.kind, Kind::kFile);
    EXPECT_EQ(a.size, 5u);
    EXPECT_EQ(platform::look_below(base(), "sub").kind, Kind::kFolder);

    ASSERT_TRUE(write_new("b.txt", "other"));
    EXPECT_FALSE(platform::move_file_below(base(), "sub\\a.txt", "b.txt")) << "never replaces";
    ASSERT_TRUE(platform::move_file_below(base(), "sub\\a.txt", "c.txt"));
    char text[16] = {};
    EXPECT_EQ(platform::read_file_below(base(), "c.txt", text, sizeof text), 5);
    EXPECT_STREQ(text, "hello");

    EXPECT_FALSE(platform::remove_below(base(), "sub\\..\\c.txt")) << "no walking up";
    ASSERT_TRUE(platform::remove_below(base(), "c.txt"));
    ASSERT_TRUE(platform::remove_below(base(), "b.txt"));
    ASSERT_TRUE(platform::remove_below(base(), "sub"));
    EXPECT_TRUE(fs::is_empty(target()));
}

TEST_F(BelowFolder, AReadOnlyFileIsRemovedAndAFolderWithFilesIsNot) {
    ASSERT_TRUE(platform::make_folder_below(base(), "sub"));
    platform::NewFile f = platform::create_file_below(base(), "sub\\ro.txt");
    ASSERT_TRUE(f);
    ASSERT_TRUE(f.finish(0x5A2C6341, 0x21));  // read-only
    EXPECT_EQ(platform::look_below(base(), "sub\\ro.txt").attributes & 0x01u, 0x01u);
    EXPECT_FALSE(platform::remove_below(base(), "sub")) << "not empty";
    EXPECT_TRUE(platform::remove_below(base(), "sub\\ro.txt"));
    EXPECT_TRUE(platform::remove_below(base(), "sub"));
}

TEST_F(BelowFolder, TheTimeAndAttributesAreGivenThroughTheHandle) {
    ASSERT_TRUE(write_new("t.txt", "x"));
    std::error_code ec;
    const auto written = fs::last_write_time(target() / "t.txt", ec);
    ASSERT_FALSE(ec);
    const std::time_t t = std::chrono::system_clock::to_time_t(
        std::chrono::file_clock::to_sys(written));
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &t);
#else
    localtime_r(&t, &local);
#endif
    // 0x5A2C6341: 2025-01-12 12:26:02 local time.
    EXPECT_EQ(local.tm_year + 1900, 2025);
    EXPECT_EQ(local.tm_mon + 1, 1);
    EXPECT_EQ(local.tm_mday, 12);
    EXPECT_EQ(local.tm_hour, 12);
    EXPECT_EQ(local.tm_min, 26);
}

// Every kind of link where a folder or the file itself should be: the call fails and the
// outside is untouched.
TEST_F(BelowFolder, NoCallPassesThroughALink) {
    test::write_file(outside() / "victim.txt", test::text_bytes("outside"));
    if (!link(outside(), target() / "SUB", true) ||
        !link(outside() / "victim.txt", target() / "VICTIM.TXT", false) ||
        !link(outside() / "absent.txt", target() / "DANGLING.TXT", false)) {
        GTEST_SKIP() << "this system does not let the test make symbolic links";
    }
    EXPECT_EQ(platform::look_below(base(), "SUB").kind, Kind::kLink);
    EXPECT_EQ(platform::look_below(base(), "VICTIM.TXT").kind, Kind::kLink);
    EXPECT_EQ(platform::look_below(base(), "DANGLING.TXT").kind, Kind::kLink);
    EXPECT_NE(platform::look_below(base(), "SUB\\victim.txt").kind, Kind::kFile);

    EXPECT_FALSE(platform::create_file_below(base(), "SUB\\EVIL.DLL"));
    EXPECT_FALSE(platform::create_file_below(base(), "DANGLING.TXT"));
    EXPECT_FALSE(platform::create_file_below(base(), "VICTIM.TXT"));
    EXPECT_FALSE(platform::make_folder_below(base(), "SUB\\new"));
    EXPECT_FALSE(platform::move_file_below(base(), "SUB\\victim.txt", "taken.txt"));
    EXPECT_FALSE(platform::move_file_below(base(), "VICTIM.TXT", "taken.txt"));
    EXPECT_FALSE(platform::remove_below(base(), "SUB\\victim.txt"));
    char text[16];
    EXPECT_EQ(platform::read_file_below(base(), "VICTIM.TXT", text, sizeof text), -1);

    // A link itself may be removed: that never reaches what it points to.
    EXPECT_TRUE(platform::remove_below(base(), "VICTIM.TXT"));
    EXPECT_EQ(test::read_file(outside() / "victim.txt"), test::text_bytes("outside"));
    EXPECT_FALSE(fs::exists(outside() / "EVIL.DLL"));
    EXPECT_FALSE(fs::exists(outside() / "absent.txt"));
    EXPECT_FALSE(fs::exists(outside() / "new"));
}

// The folder the user chose may itself be a link: that is the user's choice.
TEST_F(BelowFolder, TheChosenFolderItselfMayBeALink) {
    const fs::path chosen = temp_.path() / "chosen";
    if (!link(outside(), chosen, true)) GTEST_SKIP() << "no symbolic links here";
    const std::string base = test::installer_form(chosen) + "\\";
    platform::NewFile f = platform::create_file_below(base.c_str(), "in.txt");
    ASSERT_TRUE(f);
    EXPECT_TRUE(f.close());
    EXPECT_TRUE(fs::exists(outside() / "in.txt"));
}

TEST_F(BelowFolder, FreeSpaceIsThatOfTheNearestFolderThatExists) {
    uint64_t here = 0, below = 0;
    ASSERT_TRUE(platform::free_space(test::installer_form(target()).c_str(), here));
    const std::string missing = test::installer_form(target() / "not" / "yet");
    ASSERT_TRUE(platform::free_space(missing.c_str(), below));
    EXPECT_GT(here, 0u);
    EXPECT_GT(below, 0u);
}

// How the Windows side reads what it opened (Wine cannot make the links to show it):
// anything marked as a reparse point is a link, a folder above all.
TEST(AttributesOfWhatWasOpened, AReparsePointIsALinkWhateverElseItIs) {
    const struct {
        uint32_t attributes;
        Kind kind;
    } cases[] = {
        {0x10, Kind::kFolder},   {0x30, Kind::kFolder},  {0x20, Kind::kFile},
        {0x21, Kind::kFile},     {0x80, Kind::kFile},    {0x410, Kind::kLink},  // a junction
        {0x420, Kind::kLink},    {0x411, Kind::kLink},   {0x400, Kind::kLink},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::kind_of_attributes(c.attributes), c.kind) << std::hex << c.attributes;
    }
}

}  // namespace
}  // namespace qarn
