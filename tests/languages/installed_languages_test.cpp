// Marking the languages whose help files a previous installation left in its folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "languages/language_table.h"
#include "system/paths.h"
#include "tests/languages/fake_dialog.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using test::FakeDialog;
using test::TempDir;

class InstalledLanguages : public ::testing::Test {
protected:
    void SetUp() override { reset_language_table(); }
    void TearDown() override { reset_language_table(); }

    static void touch(const fs::path& p) { test::write_file(p, test::text_bytes("help")); }
    static std::string selection() {
        return std::to_string(g_language_table[0].selected) +
               std::to_string(g_language_table[1].selected) +
               std::to_string(g_language_table[2].selected);
    }
    // A real folder whose installer path is exactly `length` characters long.
    static std::string folder_of_length(const TempDir& dir, size_t length) {
        std::string path = dir.installer_path();
        fs::path real = dir.path();
        // Components of at most 100 characters keep every name within file-system limits.
        while (path.size() + 1 < length) {
            const size_t rest = length - path.size();
            size_t part = std::min<size_t>(100, rest - 1);
            if (rest - (part + 1) == 1) --part;  // never leave a single character over
            const std::string name(part, 'd');
            path += "\\" + name;
            real /= name;
        }
        if (path.size() != length) return {};
#ifdef _WIN32
        // Creating a folder this deep needs the long-path form on Windows.
        fs::create_directories(fs::path(L"\\\\?\\" + fs::absolute(real).wstring()));
#else
        fs::create_directories(real);
#endif
        return path;
    }
};

TEST_F(InstalledLanguages, OnlyEnglishHelpFileChecksEnglishAndExtraLanguages) {
    TempDir dir;
    touch(dir / "QARN_US.HLP");
    mark_installed_languages(dir.installer_path().c_str());
    // Found rows get one more than they had; the "_??" row matches QARN_US.HLP too.
    EXPECT_EQ(selection(), "022");

    FakeDialog dialog;
    table_to_boxes(dialog);
    ensure_one_language(dialog);
    EXPECT_FALSE(dialog.checked[kBoxGerman]);
    EXPECT_TRUE(dialog.checked[kBoxEnglish]);
    EXPECT_TRUE(dialog.checked[kBoxOtherLanguages]);
}

TEST_F(InstalledLanguages, NoHelpFileClearsAllAndEnglishComesBack) {
    TempDir dir;
    touch(dir / "QARN.EXE");
    touch(dir / "QARN_DE.CHM");
    touch(dir / "QARN_DEU.HLP");
    touch(dir / "XQARN_DE.HLP");
    mark_installed_languages(dir.installer_path().c_str());
    EXPECT_EQ(selection(), "000");

    FakeDialog dialog;
    table_to_boxes(dialog);
    ensure_one_language(dialog);
    EXPECT_EQ(dialog.check_calls, std::vector<int>{kBoxEnglish});
}

TEST_F(InstalledLanguages, OtherLanguageMarksOnlyTheWildcardRow) {
    TempDir dir;
    touch(dir / "QARN_FR.HLP");
    mark_installed_languages(dir.installer_path().c_str());
    EXPECT_EQ(selection(), "002");
}

TEST_F(InstalledLanguages, LowerCaseNamesAreFound) {
    TempDir dir;
    touch(dir / "qarn_de.hlp");
    touch(dir / "Qarn_Us.Hlp");
    mark_installed_languages(dir.installer_path().c_str());
    EXPECT_EQ(selection(), "222");
}

TEST_F(InstalledLanguages, FolderWithTrailingBackslashWorksTheSame) {
    TempDir dir;
    touch(dir / "QARN_DE.HLP");
    mark_installed_languages((dir.installer_path() + "\\").c_str());
    EXPECT_EQ(selection(), "202");
}

TEST_F(InstalledLanguages, GermanDefaultsWinOverMarks) {
    TempDir dir;
    touch(dir / "QARN_US.HLP");
    touch(dir / "QARN_IT.HLP");
    mark_installed_languages(dir.installer_path().c_str());
    apply_german_defaults();
    EXPECT_EQ(selection(), "100");
}

TEST_F(InstalledLanguages, MissingFolderLeavesTableAlone) {
    TempDir dir;
    apply_german_defaults();
    mark_installed_languages((dir.installer_path() + "\\Gone").c_str());
    EXPECT_EQ(selection(), "100");
    mark_installed_languages("");
    EXPECT_EQ(selection(), "100");
}

TEST_F(InstalledLanguages, FolderTooLongForThePatternSkipsTheMarking) {
    TempDir dir;
    // With "\QARN_??.HLP" (12 characters) the pattern needs 260 + terminator: one too many.
    const std::string folder = folder_of_length(dir, kPathSize - 12);
    ASSERT_FALSE(folder.empty());
    ASSERT_EQ(check_exists(folder.c_str()), kExists);
    mark_installed_languages(folder.c_str());
    EXPECT_EQ(selection(), "111");  // not "000": nothing was searched, nothing marked
}

TEST_F(InstalledLanguages, FolderThatFitsThePatternExactlyIsStillSearched) {
    TempDir dir;
    const std::string folder = folder_of_length(dir, kPathSize - 13);
    ASSERT_FALSE(folder.empty());
    ASSERT_EQ(check_exists(folder.c_str()), kExists);
    mark_installed_languages(folder.c_str());
    EXPECT_EQ(selection(), "000");
}

TEST_F(InstalledLanguages, FolderLongerThanAPathBufferSkipsTheMarking) {
    TempDir dir;
    std::string folder = dir.installer_path();
    while (folder.size() < kPathSize + 40) folder += "\\" + std::string(50, 'e');
#ifndef _WIN32
    // On POSIX such a folder can exist; on Windows the ANSI calls do not reach it anyway.
    fs::path real = dir.path();
    for (size_t i = dir.installer_path().size(); i < folder.size(); i += 51) {
        real /= std::string(50, 'e');
    }
    fs::create_directories(real);
    ASSERT_EQ(check_exists(folder.c_str()), kExists);
#endif
    mark_installed_languages(folder.c_str());
    EXPECT_EQ(selection(), "111");
}

}  // namespace
}  // namespace qarn
