// The settings file's place and its "Language" entry, on scratch files.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "languages/language_table.h"
#include "languages/settings_file_win32.h"
#include "system/paths.h"
#include "system/special_folder_win32.h"
#include "tests/support/test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

class SettingsLanguage : public ::testing::Test {
protected:
    void SetUp() override { reset_language_table(); }
    void TearDown() override { reset_language_table(); }

    // Chooses German, English, the other languages.
    void choose(bool german, bool english, bool others) {
        languages_ = LanguageChoice{{german, english, others}};
    }
    void write() { write_settings_language(path().c_str(), languages_); }
    std::string path() const { return dir_.installer_path() + "\\QARN.INI"; }
    void store(const char* value) {
        WritePrivateProfileStringA("QARN", "Language", value, path().c_str());
    }
    std::string stored() const {
        char value[64];
        GetPrivateProfileStringA("QARN", "Language", "<none>", value, sizeof value, path().c_str());
        return value;
    }

    TempDir dir_;
    LanguageChoice languages_ = kEveryLanguage;
};

TEST_F(SettingsLanguage, OneLanguageIsWrittenIntoANewFile) {
    choose(true, false, false);
    write();
    EXPECT_EQ(stored(), "DE");
    choose(false, true, false);
    write();
    EXPECT_EQ(stored(), "US");
}

TEST_F(SettingsLanguage, TwoLanguagesWriteNoFile) {
    choose(true, true, true);
    write();
    EXPECT_FALSE(fs::exists(dir_ / "QARN.INI"));
}

TEST_F(SettingsLanguage, ALegacyGermanCodeBecomesDE) {
    store("GR");
    choose(true, true, false);
    write();
    EXPECT_EQ(stored(), "DE");
}

TEST_F(SettingsLanguage, ALegacyGermanCodeWithOnlyEnglishEndsAsUS) {
    store("GR");
    choose(false, true, false);
    write();
    EXPECT_EQ(stored(), "US");
}

TEST_F(SettingsLanguage, AValueNamingAChosenLanguageStays) {
    store("US");
    choose(true, true, false);
    write();
    EXPECT_EQ(stored(), "US");
}

TEST_F(SettingsLanguage, AValueNamingNoChosenLanguageGivesWayToTheOnlyOne) {
    store("US");
    choose(true, false, false);
    write();
    EXPECT_EQ(stored(), "DE");
}

TEST_F(SettingsLanguage, CodesAreComparedWithTheirCase) {
    store("de");
    choose(true, false, false);
    write();
    EXPECT_EQ(stored(), "DE");
}

TEST_F(SettingsLanguage, AnUnknownCodeSurvivesSeveralLanguagesButNotOne) {
    store("FR");
    choose(true, true, true);
    write();
    EXPECT_EQ(stored(), "FR");
    choose(false, true, false);
    write();
    EXPECT_EQ(stored(), "US");
}

TEST_F(SettingsLanguage, TheOtherLanguagesRowCountsAsAChoice) {
    // English and the other languages: two rows chosen, so an empty value stays empty.
    choose(false, true, true);
    write();
    EXPECT_FALSE(fs::exists(dir_ / "QARN.INI"));
}

TEST_F(SettingsLanguage, OtherEntriesOfTheFileAreLeftAlone) {
    WritePrivateProfileStringA("QARN", "Window", "10,10,400,300", path().c_str());
    WritePrivateProfileStringA("Other", "Language", "XX", path().c_str());
    choose(true, false, false);
    write();
    EXPECT_EQ(stored(), "DE");
    char value[64];
    GetPrivateProfileStringA("QARN", "Window", "", value, sizeof value, path().c_str());
    EXPECT_STREQ(value, "10,10,400,300");
    GetPrivateProfileStringA("Other", "Language", "", value, sizeof value, path().c_str());
    EXPECT_STREQ(value, "XX");
}

TEST(SettingsPlace, AFileInTheTargetFolderIsTheOneUsed) {
    TempDir target;
    test::write_file(target / "QARN.INI", test::text_bytes("[QARN]\r\nLanguage=US\r\n"));
    char path[kPathSize];
    const std::string original = target.installer_path() + "\\QARN.INI";
    ASSERT_TRUE(join_checked(path, sizeof path, original.c_str(), ""));
    EXPECT_TRUE(place_settings_file(path, sizeof path));
    EXPECT_EQ(std::string(path), original);
}

TEST(SettingsPlace, WithoutOneTheFileGoesToTheApplicationDataFolder) {
    TempDir target;
    char appdata[kPathSize];
    get_special_folder(CSIDL_APPDATA, appdata, sizeof appdata);
    ASSERT_NE(appdata[0], '\0');
    const std::string maker = std::string(appdata) + "\\Obrelux";
    const bool maker_was_there = fs::exists(maker);

    char path[kPathSize];
    const std::string original = target.installer_path() + "\\QARN.INI";
    ASSERT_TRUE(join_checked(path, sizeof path, original.c_str(), ""));
    EXPECT_TRUE(place_settings_file(path, sizeof path));
    EXPECT_EQ(std::string(path), maker + "\\QARN.INI");
    EXPECT_TRUE(fs::is_directory(maker));
    // The Wine prefix is shared with other tests: leave it as it was.
    if (!maker_was_there) RemoveDirectoryA(maker.c_str());
}

TEST(SettingsPlace, TheMakerFolderIsCreatedUnderTheHomeGiven) {
    TempDir home;
    char path[kPathSize] = "C:\\Somewhere\\QARN.INI";
    EXPECT_TRUE(relocate_settings_file_into(home.installer_path().c_str(), path, sizeof path));
    EXPECT_EQ(std::string(path), home.installer_path() + "\\Obrelux\\QARN.INI");
    EXPECT_TRUE(fs::is_directory(home / "Obrelux"));
    EXPECT_FALSE(fs::exists(home / "Obrelux" / "QARN.INI"));  // made only when written
}

TEST(SettingsPlace, APathThatWouldNotFitIsRefusedAndLeftAsItWas) {
    TempDir home;
    const std::string deep = home.installer_path() + "\\" + std::string(250, 'h');
    char path[kPathSize] = "C:\\Somewhere\\QARN.INI";
    EXPECT_FALSE(relocate_settings_file_into(deep.c_str(), path, sizeof path));
    EXPECT_STREQ(path, "C:\\Somewhere\\QARN.INI");
    EXPECT_TRUE(fs::is_empty(home.path()));
}

}  // namespace
}  // namespace qarn
