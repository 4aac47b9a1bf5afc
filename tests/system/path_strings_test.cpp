// The path operations that only look at the text of a path.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "system/paths.h"
#include "system/target_folder_check.h"

namespace qarn {
namespace {

// A path buffer the operation may change, compared as a string afterwards.
struct Buffer {
    explicit Buffer(const char* text) { std::snprintf(bytes, sizeof bytes, "%s", text); }
    char bytes[kPathSize] = {};
    std::string str() const { return bytes; }
};

std::string cut_to_parent_of(const char* text) {
    Buffer b(text);
    cut_to_parent(b.bytes);
    return b.str();
}

std::string cut_last_component_of(const char* text) {
    Buffer b(text);
    cut_last_component(b.bytes);
    return b.str();
}

TEST(AppendBackslash, LeavesEmptyPathEmpty) {
    Buffer b("");
    EXPECT_TRUE(append_backslash(b.bytes, sizeof b.bytes));
    EXPECT_EQ(b.str(), "");
}

TEST(AppendBackslash, AddsNothingAfterBackslash) {
    Buffer b("C:\\");
    EXPECT_TRUE(append_backslash(b.bytes, sizeof b.bytes));
    EXPECT_EQ(b.str(), "C:\\");
}

TEST(AppendBackslash, OnlyBackslashCountsSoTrailingSlashGetsOne) {
    Buffer b("C:/x/");
    EXPECT_TRUE(append_backslash(b.bytes, sizeof b.bytes));
    EXPECT_EQ(b.str(), "C:/x/\\");
}

TEST(AppendBackslash, AddsOneToFolder) {
    Buffer b("C:\\QARN");
    EXPECT_TRUE(append_backslash(b.bytes, sizeof b.bytes));
    EXPECT_EQ(b.str(), "C:\\QARN\\");
}

TEST(AppendBackslash, RefusesWhenFullAndLeavesBufferAlone) {
    char small[6] = "abcde";  // five characters fill a 6-byte buffer
    EXPECT_FALSE(append_backslash(small, sizeof small));
    EXPECT_STREQ(small, "abcde");
    char fits[6] = "abcd";
    EXPECT_TRUE(append_backslash(fits, sizeof fits));
    EXPECT_STREQ(fits, "abcd\\");
}

TEST(AppendBackslash, FullPathBufferOf259CharactersIsRefused) {
    std::string long_path(kPathSize - 1, 'a');
    Buffer b(long_path.c_str());
    EXPECT_FALSE(append_backslash(b.bytes, sizeof b.bytes));
    EXPECT_EQ(b.str(), long_path);
    long_path.back() = '\\';
    Buffer ends_with_backslash(long_path.c_str());
    EXPECT_TRUE(append_backslash(ends_with_backslash.bytes, sizeof ends_with_backslash.bytes));
    EXPECT_EQ(ends_with_backslash.str(), long_path);
}

TEST(FileNameOffset, PointsAfterLastSeparatorOfEitherKind) {
    EXPECT_EQ(file_name_offset("C:\\A\\QARN.INI"), 5);
    EXPECT_EQ(file_name_offset("QARN.INI"), 0);
    EXPECT_EQ(file_name_offset(""), 0);
    EXPECT_EQ(file_name_offset("C:/A/x"), 5);
    EXPECT_EQ(file_name_offset("a\\b/c"), 4);
    EXPECT_EQ(file_name_offset("a/b\\c"), 4);
    EXPECT_EQ(file_name_offset("C:\\A\\"), 5);  // trailing separator: empty name at the end
}

TEST(FileNameOffset, StaysInsideTextBeyondSixteenBits) {
    std::string text(0xFFFE, 'a');
    text += '\\';  // separator at 0xFFFE: offset 0xFFFF still fits
    EXPECT_EQ(file_name_offset(text.c_str()), 0xFFFF);
    text += "bb\\c";  // the last separator now lies beyond a 16-bit index
    EXPECT_EQ(file_name_offset(text.c_str()), 0);
}

TEST(CutToParent, KeepsDriveRootBackslash) {
    EXPECT_EQ(cut_to_parent_of("C:\\Program Files"), "C:\\");
    EXPECT_EQ(cut_to_parent_of("C:\\"), "C:\\");
}

TEST(CutToParent, CutsAtLastBackslash) {
    EXPECT_EQ(cut_to_parent_of("C:\\A\\"), "C:\\A");
    EXPECT_EQ(cut_to_parent_of("C:\\A\\B"), "C:\\A");
    EXPECT_EQ(cut_to_parent_of("\\\\server\\share"), "\\\\server");
}

TEST(CutToParent, EmptiesPathWithoutBackslash) {
    EXPECT_EQ(cut_to_parent_of("QARN.INI"), "");
    EXPECT_EQ(cut_to_parent_of("C:/x/y"), "");  // slashes are not looked at
    EXPECT_EQ(cut_to_parent_of(""), "");
}

TEST(CutToParent, PositionTwoKeepsBackslashWhateverPrecedesIt) {
    EXPECT_EQ(cut_to_parent_of("ab\\cd"), "ab\\");
}

TEST(CutLastComponent, AcceptsBothSeparators) {
    EXPECT_EQ(cut_last_component_of("C:/Data/x.txt"), "C:/Data");
    EXPECT_EQ(cut_last_component_of("C:\\Data\\x.txt"), "C:\\Data");
    EXPECT_EQ(cut_last_component_of("A\\B/c"), "A\\B");
}

TEST(CutLastComponent, KeepsDriveRootOnlyAfterColon) {
    EXPECT_EQ(cut_last_component_of("C:/x"), "C:/");
    EXPECT_EQ(cut_last_component_of("C:\\x"), "C:\\");
    EXPECT_EQ(cut_last_component_of("AB/x"), "AB");
}

TEST(CutLastComponent, EmptiesPathWithoutSeparator) {
    EXPECT_EQ(cut_last_component_of("x.txt"), "");
    EXPECT_EQ(cut_last_component_of(""), "");
}

TEST(AppendChecked, AppendsWholeOrNothing) {
    char buffer[8] = "abc";
    EXPECT_TRUE(append_checked(buffer, "defg", sizeof buffer));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_FALSE(append_checked(buffer, "h", sizeof buffer));
    EXPECT_STREQ(buffer, "abcdefg");
    EXPECT_TRUE(append_checked(buffer, "", sizeof buffer));
}

TEST(JoinChecked, JoinsWhenResultFits) {
    char out[8];
    EXPECT_TRUE(join_checked(out, sizeof out, "abc", "defg"));
    EXPECT_STREQ(out, "abcdefg");
}

TEST(JoinChecked, EmptiesOutputWhenTooLong) {
    char out[8] = "keep";
    EXPECT_FALSE(join_checked(out, sizeof out, "abcd", "efgh"));
    EXPECT_STREQ(out, "");
    EXPECT_FALSE(join_checked(out, 0, "", ""));
}

TEST(JoinChecked, MayAppendOrPrependInPlace) {
    char out[16] = "folder";
    EXPECT_TRUE(join_checked(out, sizeof out, out, "\\file"));
    EXPECT_STREQ(out, "folder\\file");
    char name[16] = "file";
    EXPECT_TRUE(join_checked(name, sizeof name, "C:\\", name));
    EXPECT_STREQ(name, "C:\\file");
}

}  // namespace
}  // namespace qarn

namespace qarn {
namespace {

TEST(TargetFolderFits, LeavesRoomForTheLongestNameJoinedToIt) {
    // The installer's own names are at most 11 characters (LICENSE.TXT, BESTELL.HTM).
    const std::string fits = "C:\\" + std::string(244, 'f');  // 247 + '\' + 11 = 259
    EXPECT_TRUE(target_folder_fits(fits.c_str(), 0));
    EXPECT_FALSE(target_folder_fits((fits + "x").c_str(), 0));
    // A trailing backslash is not counted twice.
    EXPECT_TRUE(target_folder_fits((fits + "\\").c_str(), 0));
    // An archive entry longer than the installer's own names decides.
    EXPECT_TRUE(target_folder_fits(fits.c_str(), 11));
    EXPECT_FALSE(target_folder_fits(fits.c_str(), 12));
    EXPECT_FALSE(target_folder_fits("", 0));
    EXPECT_FALSE(target_folder_fits("C:\\Q", 259));
}

TEST(FullyQualified, OnlyADriveWithItsRootOrAShareMeansTheSameEverywhere) {
    for (const char* full : {"C:\\Q", "d:/q", "C:\\", "\\\\server\\share\\Q", "//server/share"}) {
        EXPECT_TRUE(is_fully_qualified(full)) << full;
    }
    for (const char* relative : {"RelQ", "\\RelQ", "C:RelQ", ".\\Q", "..\\Q", "", "1:\\Q"}) {
        EXPECT_FALSE(is_fully_qualified(relative)) << relative;
    }
}

}  // namespace
}  // namespace qarn
