// The folder proposed at start-up, from redirected registry roots and scratch folders, and
// where the folder picker starts.
#include <gtest/gtest.h>

#include <windows.h>
#include <shlobj.h>

#include <filesystem>
#include <string>

#include "languages/language_table.h"
#include "system/default_folder_win32.h"
#include "system/paths.h"
#include "tests/support/test_support.h"
#include "tests/support/windows_test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using test::RegistryRedirect;
using test::TempDir;

constexpr char kCurrentVersion[] = "Software\\Microsoft\\Windows\\CurrentVersion";

std::string first_install(const std::string& program_files, const std::string& windows) {
    char out[kPathSize];
    first_install_folder(program_files.c_str(), windows.c_str(), out, sizeof out);
    return out;
}

class DefaultFolder : public ::testing::Test {
protected:
    void SetUp() override { reset_language_table(); }
    void TearDown() override { reset_language_table(); }

    std::string proposed(size_t longest_entry_name = 11) {
        char out[kPathSize];
        default_target_folder(out, sizeof out, longest_entry_name);
        return out;
    }
    static int selected(int row) { return g_language_table[row].selected; }

    RegistryRedirect user_{HKEY_CURRENT_USER};
    RegistryRedirect machine_{HKEY_LOCAL_MACHINE};
};

TEST_F(DefaultFolder, ARecordedFolderIsProposedExactlyAsStored) {
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir", "D:\\Tools\\Q");
    EXPECT_EQ(proposed(), "D:\\Tools\\Q");
    // The folder does not exist: the languages keep their start values.
    EXPECT_EQ(selected(0), 1);
    EXPECT_EQ(selected(1), 1);
    EXPECT_EQ(selected(2), 1);
}

TEST_F(DefaultFolder, ARecordedFolderMarksTheLanguagesItHolds) {
    TempDir earlier;
    test::write_file(earlier / "QARN_US.HLP", test::text_bytes("help"));
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir",
                            earlier.installer_path());
    EXPECT_EQ(proposed(), earlier.installer_path());
    EXPECT_EQ(selected(0), 0);
    EXPECT_NE(selected(1), 0);
    EXPECT_NE(selected(2), 0);  // "_??" finds QARN_US.HLP too
}

TEST_F(DefaultFolder, GermanDefaultsReplaceAnEarlierInstallationsMarks) {
    TempDir earlier;
    test::write_file(earlier / "QARN_US.HLP", test::text_bytes("help"));
    test::write_file(earlier / "QARN_FR.HLP", test::text_bytes("aide"));
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir",
                            earlier.installer_path());
    // Start-up order: the default folder (which marks), then the German defaults.
    proposed();
    apply_german_defaults();
    EXPECT_EQ(selected(0), 1);
    EXPECT_EQ(selected(1), 0);
    EXPECT_EQ(selected(2), 0);
}

TEST_F(DefaultFolder, WithoutARecordTheProgramFilesFolderTakesTheShortName) {
    test::set_registry_text(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "E:\\Apps");
    EXPECT_EQ(proposed(), "E:\\Apps\\QARN");
}

TEST_F(DefaultFolder, AnEmptyRecordCountsAsNone) {
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir", "");
    test::set_registry_text(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "E:\\Apps");
    EXPECT_EQ(proposed(), "E:\\Apps\\QARN");
}

TEST_F(DefaultFolder, WithoutProgramFilesTheWindowsFoldersDriveGetsProgramFiles) {
    // No record and no ProgramFilesDir: the Windows folder (C:\windows under Wine) gives
    // C:\, which has no folder "Programme".
    ASSERT_FALSE(fs::exists("C:\\Programme"));
    EXPECT_EQ(proposed(), "C:\\Program Files\\QARN");
}

TEST_F(DefaultFolder, ARecordedFolderThatOkWouldRefuseIsPassedOver) {
    TempDir earlier;
    test::write_file(earlier / "QARN_US.HLP", test::text_bytes("help"));
    test::set_registry_text(HKEY_LOCAL_MACHINE, kCurrentVersion, "ProgramFilesDir", "E:\\Apps");
    // 247 characters take the installer's own names (11 at most: 247 + '\' + 11 = 259) but
    // not an archive entry of 20.
    const std::string recorded = "D:\\" + std::string(244, 'r');
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir", recorded);
    EXPECT_EQ(proposed(11), recorded);
    reset_language_table();
    EXPECT_EQ(proposed(20), "E:\\Apps\\QARN");
    EXPECT_EQ(selected(0), 1);  // nothing marked
}

TEST(FirstInstallFolder, ProgramFilesWithOrWithoutItsBackslash) {
    EXPECT_EQ(first_install("D:\\Apps", "C:\\WINDOWS"), "D:\\Apps\\QARN");
    EXPECT_EQ(first_install("D:\\", "C:\\WINDOWS"), "D:\\QARN");
}

TEST(FirstInstallFolder, TheGermanProgramFilesFolderIsTakenWhenItExists) {
    TempDir system;
    fs::create_directories(system / "WINDOWS");
    fs::create_directories(system / "Programme");
    const std::string windows = system.installer_path() + "\\WINDOWS";
    EXPECT_EQ(first_install("", windows), system.installer_path() + "\\Programme\\QARN");
}

TEST(FirstInstallFolder, OtherwiseTheEnglishOne) {
    TempDir system;
    fs::create_directories(system / "WINDOWS");
    const std::string windows = system.installer_path() + "\\WINDOWS";
    EXPECT_EQ(first_install("", windows), system.installer_path() + "\\Program Files\\QARN");
}

TEST(FirstInstallFolder, AWindowsFolderBelowTheRootGivesItsParent) {
    EXPECT_EQ(first_install("", "Q:\\OS\\WINDOWS"), "Q:\\OS\\Program Files\\QARN");
}

TEST(FirstInstallFolder, AProgramFilesFolderTooLongForTheShortNameIsPassedOver) {
    const std::string too_long = "D:\\" + std::string(252, 'p');
    EXPECT_EQ(first_install(too_long, "Q:\\WINDOWS"), "Q:\\Program Files\\QARN");
}

TEST(FirstInstallFolder, NeverEmptyAndNeverCut) {
    const std::string too_long = "D:\\" + std::string(252, 'p');
    EXPECT_EQ(first_install(too_long, too_long + "\\W"), "C:\\Program Files\\QARN");
    EXPECT_EQ(first_install("", ""), "C:\\Program Files\\QARN");
}

class PickerStart : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(SHGetDesktopFolder(&desktop_), S_OK);
    }
    void TearDown() override {
        if (desktop_ != nullptr) desktop_->Release();
    }
    // The folder the picker would start on, as a path; "<none>" without a start.
    std::string start_for(const std::string& typed) {
        ShellItemList selection;
        if (!parse_initial_selection(nullptr, desktop_, typed.c_str(), selection)) return "<none>";
        char path[MAX_PATH];
        if (!SHGetPathFromIDListA(selection.get(), path)) return "<no path>";
        return path;
    }

    test::ComScope com_;
    IShellFolder* desktop_ = nullptr;
};

TEST_F(PickerStart, AnExistingFolderIsSelectedItself) {
    TempDir dir;
    fs::create_directories(dir / "QARN");
    EXPECT_EQ(start_for(dir.installer_path() + "\\QARN"), dir.installer_path() + "\\QARN");
}

TEST_F(PickerStart, AFolderThatDoesNotExistYetStartsOnItsParent) {
    TempDir dir;
    EXPECT_EQ(start_for(dir.installer_path() + "\\QARN"), dir.installer_path());
}

TEST_F(PickerStart, ARelativeFolderIsMadeFullFirst) {
    TempDir dir;
    fs::create_directories(dir / "QARN");
    char saved[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, saved);
    SetCurrentDirectoryA(dir.installer_path().c_str());
    const std::string start = start_for("QARN");
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(start, dir.installer_path() + "\\QARN");
}

TEST_F(PickerStart, NothingParsableGivesNoStart) {
    EXPECT_EQ(start_for("Q:\\no\\such\\drive"), "<none>");
}

}  // namespace
}  // namespace qarn
