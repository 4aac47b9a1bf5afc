// The operating-system calls behind the portable code, on real files in a temp folder.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

std::string under(const TempDir& dir, const std::string& rel) {
    return dir.installer_path() + "\\" + rel;
}

void touch(const fs::path& p) { test::write_file(p, test::text_bytes("help")); }

uint32_t dos_date_time(int year, int month, int day, int hour, int minute, int second) {
    const uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | (month << 5) | day);
    const uint32_t time = static_cast<uint32_t>((hour << 11) | (minute << 5) | (second / 2));
    return date << 16 | time;
}

std::time_t modification_time(const fs::path& p) {
    struct stat st {};
    if (::stat(p.string().c_str(), &st) != 0) return -1;
    return st.st_mtime;
}

TEST(FindFirstMatch, QuestionMarkStandsForOneCharacter) {
    TempDir dir;
    touch(dir / "QARN_DE.HLP");
    EXPECT_TRUE(platform::find_first_match(under(dir, "QARN_??.HLP").c_str()));
    EXPECT_TRUE(platform::find_first_match(under(dir, "QARN_D?.HLP").c_str()));
    EXPECT_TRUE(platform::find_first_match(under(dir, "QARN_DE.HLP").c_str()));
    EXPECT_FALSE(platform::find_first_match(under(dir, "QARN_?.HLP").c_str()));
    EXPECT_FALSE(platform::find_first_match(under(dir, "QARN_U?.HLP").c_str()));
    EXPECT_FALSE(platform::find_first_match(under(dir, "QARN_DE.HL").c_str()));
}

#ifndef _WIN32
// Windows lets '?' match nothing where the name reaches its '.' or its end, and the POSIX
// side does the same. (Wine does not: there '?' is always exactly one character, so this
// case is left out of the Windows build.)
TEST(FindFirstMatch, QuestionMarkMayMatchNothingBeforeTheDotAsOnWindows) {
    TempDir dir;
    touch(dir / "QARN_D.HLP");
    EXPECT_TRUE(platform::find_first_match(under(dir, "QARN_??.HLP").c_str()));
    EXPECT_FALSE(platform::find_first_match(under(dir, "QARN_??X.HLP").c_str()));
}
#endif

TEST(FindFirstMatch, LongerSuffixIsNotTwoCharacters) {
    TempDir dir;
    touch(dir / "QARN_DEU.HLP");
    touch(dir / "QARN_DE.CHM");
    touch(dir / "XQARN_DE.HLP");
    EXPECT_FALSE(platform::find_first_match(under(dir, "QARN_??.HLP").c_str()));
}

TEST(FindFirstMatch, IgnoresLetterCaseBothWays) {
    TempDir dir;
    touch(dir / "qarn_us.hlp");
    EXPECT_TRUE(platform::find_first_match(under(dir, "QARN_US.HLP").c_str()));
    EXPECT_TRUE(platform::find_first_match(under(dir, "QARN_??.HLP").c_str()));
    TempDir upper;
    touch(upper / "QARN_FR.HLP");
    EXPECT_TRUE(platform::find_first_match(under(upper, "qarn_fr.hlp").c_str()));
}

TEST(FindFirstMatch, MissingFolderOrEmptyFolderFindsNothing) {
    TempDir dir;
    EXPECT_FALSE(platform::find_first_match(under(dir, "QARN_??.HLP").c_str()));
    EXPECT_FALSE(platform::find_first_match(under(dir, "missing\\QARN_??.HLP").c_str()));
}

TEST(MakeDirectory, TellsMissingParentFromOtherFailures) {
    TempDir dir;
    EXPECT_EQ(platform::make_directory(under(dir, "A").c_str()), platform::MakeDirResult::kCreated);
    EXPECT_TRUE(fs::is_directory(dir / "A"));
    EXPECT_EQ(platform::make_directory(under(dir, "B\\C").c_str()),
              platform::MakeDirResult::kParentMissing);
    EXPECT_EQ(platform::make_directory(under(dir, "A").c_str()), platform::MakeDirResult::kFailed);
    EXPECT_TRUE(platform::is_directory(under(dir, "A").c_str()));
    EXPECT_FALSE(platform::is_directory(under(dir, "B").c_str()));
}

TEST(DosTime, RoundTripsThroughFileSystemAsLocalTime) {
    TempDir dir;
    touch(dir / "QARN.EXE");
    const std::string file = under(dir, "QARN.EXE");
    ASSERT_TRUE(platform::set_file_dos_time(file.c_str(), dos_date_time(2025, 1, 12, 12, 26, 2)));
    const std::time_t written = modification_time(dir / "QARN.EXE");
    ASSERT_NE(written, -1);
    const std::tm* local = std::localtime(&written);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->tm_year + 1900, 2025);
    EXPECT_EQ(local->tm_mon + 1, 1);
    EXPECT_EQ(local->tm_mday, 12);
    EXPECT_EQ(local->tm_hour, 12);
    EXPECT_EQ(local->tm_min, 26);
    EXPECT_EQ(local->tm_sec, 2);
}

TEST(DosTime, OddSecondsRoundDownToTwoSecondSteps) {
    TempDir dir;
    touch(dir / "a");
    const std::string file = under(dir, "a");
    ASSERT_TRUE(platform::set_file_dos_time(file.c_str(), dos_date_time(1999, 12, 31, 23, 59, 59)));
    const std::time_t written = modification_time(dir / "a");
    const std::tm* local = std::localtime(&written);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->tm_year + 1900, 1999);
    EXPECT_EQ(local->tm_hour, 23);
    EXPECT_EQ(local->tm_sec, 58);
}

TEST(DosTime, ReadOnlyFileStillTakesTime) {
    TempDir dir;
    touch(dir / "ro");
    const std::string file = under(dir, "ro");
    ASSERT_TRUE(platform::set_file_attributes(file.c_str(), 0x01));
    EXPECT_TRUE(platform::set_file_dos_time(file.c_str(), dos_date_time(2001, 6, 15, 8, 0, 0)));
    const std::time_t written = modification_time(dir / "ro");
    const std::tm* local = std::localtime(&written);
    ASSERT_NE(local, nullptr);
    EXPECT_EQ(local->tm_year + 1900, 2001);
    EXPECT_EQ(local->tm_mon + 1, 6);
}

TEST(DosTime, MissingFileFails) {
    TempDir dir;
    EXPECT_FALSE(platform::set_file_dos_time(under(dir, "missing").c_str(),
                                             dos_date_time(2025, 1, 1, 0, 0, 0)));
}

#ifndef _WIN32
// The zone's offset applies: 12:00 local in a zone two hours ahead of UTC is 10:00 UTC.
TEST(DosTime, ConvertsFromTheLocalZone) {
    const char* old = std::getenv("TZ");
    const std::string saved = old != nullptr ? old : "";
    setenv("TZ", "XST-2", 1);
    tzset();
    TempDir dir;
    touch(dir / "f");
    const bool ok = platform::set_file_dos_time(under(dir, "f").c_str(),
                                                dos_date_time(2024, 3, 1, 12, 0, 0));
    const std::time_t written = modification_time(dir / "f");
    if (old != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    ASSERT_TRUE(ok);
    std::tm utc{};
    gmtime_r(&written, &utc);
    EXPECT_EQ(utc.tm_hour, 10);
    EXPECT_EQ(utc.tm_mday, 1);
}
#endif

TEST(Attributes, ReadOnlyIsSetReadAndCleared) {
    TempDir dir;
    touch(dir / "f");
    const std::string file = under(dir, "f");
    EXPECT_EQ(platform::get_file_attributes(file.c_str()) & 0x01u, 0u);
    ASSERT_TRUE(platform::set_file_attributes(file.c_str(), 0x01 | 0x20));
    EXPECT_EQ(platform::get_file_attributes(file.c_str()) & 0x01u, 0x01u);
    EXPECT_EQ(fs::status(dir / "f").permissions() & fs::perms::owner_write, fs::perms::none);
    ASSERT_TRUE(platform::set_file_attributes(file.c_str(), 0x20));
    EXPECT_EQ(platform::get_file_attributes(file.c_str()) & 0x01u, 0u);
    EXPECT_NE(fs::status(dir / "f").permissions() & fs::perms::owner_write, fs::perms::none);
}

TEST(Attributes, FolderAndMissingPath) {
    TempDir dir;
    const uint32_t folder = platform::get_file_attributes(dir.installer_path().c_str());
    ASSERT_NE(folder, 0xFFFFFFFFu);
    EXPECT_EQ(folder & 0x10u, 0x10u);
    EXPECT_EQ(platform::get_file_attributes(under(dir, "missing").c_str()), 0xFFFFFFFFu);
    EXPECT_FALSE(platform::set_file_attributes(under(dir, "missing").c_str(), 0x20));
}

TEST(RemoveFile, RemovesFileButRefusesFolder) {
    TempDir dir;
    fs::create_directory(dir / "Folder");
    touch(dir / "f");
    EXPECT_FALSE(platform::remove_file(under(dir, "Folder").c_str()));
    EXPECT_TRUE(fs::is_directory(dir / "Folder"));
    EXPECT_TRUE(platform::remove_file(under(dir, "f").c_str()));
    EXPECT_FALSE(fs::exists(dir / "f"));
    EXPECT_FALSE(platform::remove_file(under(dir, "f").c_str()));
}

TEST(PathExists, EmptyPathDoesNotExist) {
    TempDir dir;
    EXPECT_FALSE(platform::path_exists(""));
    EXPECT_TRUE(platform::path_exists(dir.installer_path().c_str()));
    EXPECT_TRUE(platform::path_exists((dir.installer_path() + "\\").c_str()));
}

TEST(FullPath, GivesInstallerFormAndRefusesSmallBuffer) {
    TempDir dir;
    const std::string folder = dir.installer_path();
    char out[260];
    ASSERT_TRUE(platform::full_path((folder + "\\a\\..\\b").c_str(), out, sizeof out));
    EXPECT_EQ(std::string(out), folder + "\\b");
    // Exactly room for the text and its terminator, then one byte less.
    const std::string expected = folder + "\\b";
    EXPECT_TRUE(platform::full_path(expected.c_str(), out, expected.size() + 1));
    EXPECT_FALSE(platform::full_path(expected.c_str(), out, expected.size()));
}

}  // namespace
}  // namespace qarn
