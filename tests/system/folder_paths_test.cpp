// The path operations that ask the file system: existence, full paths, folder creation.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "system/paths.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::installer_form;

std::string under(const TempDir& dir, const std::string& rel) {
    return dir.installer_path() + "\\" + rel;
}

TEST(CheckExists, FilesAndFoldersAlikeMissingIsTwo) {
    TempDir dir;
    test::write_file(dir / "QARN.INI", test::text_bytes("x"));
    EXPECT_EQ(check_exists(dir.installer_path().c_str()), kExists);
    EXPECT_EQ(check_exists(under(dir, "QARN.INI").c_str()), kExists);
    EXPECT_EQ(check_exists(under(dir, "missing").c_str()), kMissing);
    EXPECT_EQ(check_exists(under(dir, "missing\\deeper").c_str()), kMissing);
    EXPECT_EQ(check_exists(""), kMissing);
}

TEST(CreateFolderPath, CreatesTwoLevelsBelowExistingFolder) {
    TempDir dir;
    const std::string target = under(dir, "Obrelux\\QARN");
    EXPECT_EQ(create_folder_path(target.c_str()), kFolderCreated);
    EXPECT_TRUE(fs::is_directory(dir / "Obrelux"));
    EXPECT_TRUE(fs::is_directory(dir / "Obrelux" / "QARN"));
}

TEST(CreateFolderPath, ExistingFolderGivesTwo) {
    TempDir dir;
    EXPECT_EQ(create_folder_path(dir.installer_path().c_str()), kFolderCannotCreate);
    EXPECT_EQ(create_folder_path((dir.installer_path() + "\\").c_str()), kFolderCannotCreate);
}

TEST(CreateFolderPath, FileInTheWayGivesTwoAndMakesNothing) {
    TempDir dir;
    test::write_file(dir / "QARN", test::text_bytes("a file, not a folder"));
    EXPECT_EQ(create_folder_path(under(dir, "QARN").c_str()), kFolderCannotCreate);
    EXPECT_EQ(create_folder_path(under(dir, "QARN\\Sub").c_str()), kFolderCannotCreate);
    EXPECT_EQ(create_folder_path(under(dir, "QARN\\Sub\\Deeper").c_str()), kFolderCannotCreate);
    EXPECT_TRUE(fs::is_regular_file(dir / "QARN"));
}

TEST(CreateFolderPath, ParentMadeButFolderStillFailingGivesThree) {
    // The recursion walks backslashes only, so a slash in the last part is not a level it
    // makes: the parent "New" is created, but "x" of "x/y" is still missing.
    TempDir dir;
    EXPECT_EQ(create_folder_path(under(dir, "New\\x/y").c_str()), kFolderStillFails);
    EXPECT_TRUE(fs::is_directory(dir / "New"));
    EXPECT_FALSE(fs::exists(dir / "New" / "x"));
}

TEST(CreateFolderPath, TrailingBackslashWithMissingParentSucceeds) {
    TempDir dir;
    EXPECT_EQ(create_folder_path(under(dir, "A\\B\\").c_str()), kFolderCreated);
    EXPECT_TRUE(fs::is_directory(dir / "A" / "B"));
    EXPECT_EQ(create_folder_path(under(dir, "C\\\\").c_str()), kFolderCreated);
    EXPECT_TRUE(fs::is_directory(dir / "C"));
}

TEST(CreateFolderPath, MissingDriveStopsAtRootWithTwo) {
    if (check_exists("Q:\\") == kExists || check_exists("Q:") == kExists) {
        GTEST_SKIP() << "a drive or folder Q: exists here";
    }
    EXPECT_EQ(create_folder_path("Q:\\Missing\\QARN"), kFolderCannotCreate);
    EXPECT_EQ(check_exists("Q:\\Missing"), kMissing);
    EXPECT_EQ(check_exists("Q:"), kMissing);
}

TEST(CreateFolderPath, ParentOfThreeCharactersOrFewerIsNotCreated) {
    if (check_exists("\\qx") == kExists) GTEST_SKIP() << "\\qx exists here";
    // The parent "\qx" is three characters: no recursion, whatever the system would allow.
    EXPECT_EQ(create_folder_path("\\qx\\QARN"), kFolderCannotCreate);
    EXPECT_EQ(check_exists("\\qx"), kMissing);
}

TEST(CreateFolderPath, OverlongPathIsRefusedWithoutMakingAnyParent) {
    TempDir dir;
    const std::string parent = under(dir, "Parent");
    const std::string target = parent + "\\" + std::string(kPathSize - parent.size(), 'x');
    ASSERT_GE(target.size(), kPathSize);
    EXPECT_EQ(create_folder_path((target + "\\Child").c_str()), kFolderCannotCreate);
    EXPECT_EQ(create_folder_path(target.c_str()), kFolderCannotCreate);
    EXPECT_FALSE(fs::exists(dir / "Parent"));
    const std::string very_long = under(dir, std::string(1000, 'y'));
    EXPECT_EQ(create_folder_path(very_long.c_str()), kFolderCannotCreate);
}

TEST(MakeFullPath, MakesRelativePathAbsoluteAndFoldsDots) {
    char path[kPathSize] = "QARN\\x\\..\\Data\\.\\QARN.INI";
    make_full_path(path, sizeof path);
    EXPECT_EQ(std::string(path), installer_form(fs::current_path() / "QARN" / "Data" / "QARN.INI"));
}

TEST(MakeFullPath, KeepsFullPathInInstallerForm) {
    TempDir dir;
    const std::string full = under(dir, "QARN");
    char path[kPathSize];
    ASSERT_TRUE(join_checked(path, sizeof path, full.c_str(), ""));
    make_full_path(path, sizeof path);
    EXPECT_EQ(std::string(path), full);
    // Cutting the result works on its separators, as on any other installer path.
    cut_to_parent(path);
    EXPECT_EQ(std::string(path), dir.installer_path());
}

TEST(MakeFullPath, LeavesPathAloneWhenFullFormDoesNotFit) {
    char path[8] = "QARN";
    make_full_path(path, sizeof path);
    EXPECT_STREQ(path, "QARN");
    make_full_path(path, 0);
    EXPECT_STREQ(path, "QARN");
}

}  // namespace
}  // namespace qarn
