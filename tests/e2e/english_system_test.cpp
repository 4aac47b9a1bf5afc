// Scenarios on an English system (Wine started with LC_ALL=en_US.UTF-8).
#include <shlobj.h>

#include "tests/e2e/scenario.h"

namespace qarn::e2e {
namespace {

using EnglishSystem = Scenario;

std::string group_link(const char* name) {
    return special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN\\" + name + ".lnk";
}

TEST_F(EnglishSystem, FirstInstallationWithTheProposedSettings) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    const std::string folder = program_files_dir() + "\\QARN";

    // What the dialog proposes.
    EXPECT_EQ(run.caption(), "  Setup Zentrivo");
    EXPECT_EQ(run.text(kTitleLine), "Zentrivo  1.21");
    EXPECT_EQ(run.text(kFolderField), folder);
    EXPECT_TRUE(run.checked(kBoxGerman));
    EXPECT_TRUE(run.checked(kBoxEnglish));
    EXPECT_TRUE(run.checked(kBoxOtherLanguages));
    EXPECT_TRUE(run.checked(kStartMenuBox));  // the folder does not exist yet
    EXPECT_TRUE(run.checked(kDesktopBox));
    EXPECT_FALSE(run.visible(kStatusLine));
    expect_english_texts(run);

    install_and_expect_success(run);

    // Every file, with the archive's bytes and times.
    EXPECT_EQ(folder_entries(folder), product_files());
    expect_installed(folder, product_files());

    // The records.
    EXPECT_EQ(recorded_dir(), folder);
    EXPECT_EQ(uninstall_value("DisplayName"), "Zentrivo");
    EXPECT_EQ(uninstall_value("UninstallString"), uninstall_command_for(folder));

    // The Start-menu group and the desktop icon.
    const struct {
        const char* name;
        const char* file;
    } links[] = {{"Zentrivo", "QARN.exe"},
                 {"License", "LICENSE.TXT"},
                 {"Order", "ORDER.HTM"},
                 {"Bestellung", "BESTELL.HTM"}};
    for (const auto& l : links) {
        const test::LinkInfo info = test::read_link(group_link(l.name));
        ASSERT_TRUE(info.loaded) << l.name;
        EXPECT_EQ(info.target, folder + "\\" + l.file);
        EXPECT_EQ(info.working_folder, folder);
        EXPECT_EQ(info.description, l.name);
    }
    EXPECT_EQ(folder_entries(special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN").size(), 4u);
    const test::LinkInfo desktop =
        test::read_link(special_folder(CSIDL_DESKTOP) + "\\Zentrivo.lnk");
    ASSERT_TRUE(desktop.loaded);
    EXPECT_EQ(desktop.target, folder + "\\QARN.exe");
    EXPECT_EQ(desktop.working_folder, folder);
    EXPECT_EQ(desktop.description, "Zentrivo");

    // Several languages: the settings file is left for the product to write.
    const std::string home = special_folder(CSIDL_APPDATA) + "\\Obrelux";
    EXPECT_TRUE(is_folder(home));
    EXPECT_FALSE(exists(home + "\\QARN.INI"));
    EXPECT_FALSE(exists(folder + "\\QARN.INI"));
}

TEST_F(EnglishSystem, AnEarlierInstallationWithOnlyEnglishHelpIsProposedWithItsLanguages) {
    const std::string earlier = kScratch + "\\Earlier";
    make_folder(earlier);
    write_text(earlier + "\\QARN_US.HLP", "help");
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir", earlier);

    SetupRun run;
    ASSERT_TRUE(run.start());
    EXPECT_EQ(run.text(kFolderField), earlier);
    EXPECT_FALSE(run.checked(kBoxGerman));
    EXPECT_TRUE(run.checked(kBoxEnglish));
    EXPECT_TRUE(run.checked(kBoxOtherLanguages));
    EXPECT_FALSE(run.checked(kStartMenuBox));  // the folder exists
    EXPECT_FALSE(run.checked(kDesktopBox));
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(folder_entries(earlier), std::vector<std::string>{"QARN_US.HLP"});
}

TEST_F(EnglishSystem, OnlyGermanOverAFullInstallationRemovesTheOtherLanguages) {
    const std::string folder = kScratch + "\\Full";
    install_with_defaults_into(folder);
    expect_installed(folder, product_files());

    SetupRun run;
    ASSERT_TRUE(run.start());
    EXPECT_EQ(run.text(kFolderField), folder);
    EXPECT_TRUE(run.checked(kBoxGerman));
    EXPECT_TRUE(run.checked(kBoxEnglish));
    EXPECT_TRUE(run.checked(kBoxOtherLanguages));
    run.click(kBoxEnglish);
    ASSERT_TRUE(wait_until([&] { return !run.checked(kBoxEnglish); }, 5000));
    // German chosen and English not: the dialog speaks German.
    ASSERT_TRUE(wait_until([&] { return run.text(kExitButton) == "Beenden"; }, 5000));
    expect_german_texts(run);
    run.click(kBoxOtherLanguages);
    ASSERT_TRUE(wait_until([&] { return !run.checked(kBoxOtherLanguages); }, 5000));
    install_and_expect_success(run);  // the success message stays English

    EXPECT_EQ(folder_entries(folder), files_for(true, false, false));
    expect_installed(folder, files_for(true, false, false));
    EXPECT_EQ(settings_language(special_folder(CSIDL_APPDATA) + "\\Obrelux\\QARN.INI"), "DE");
}

TEST_F(EnglishSystem, WithoutGermanThereIsNoGermanOrderFormShortcut) {
    const std::string folder = kScratch + "\\NoGerman";
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.type(kFolderField, folder);
    run.click(kBoxGerman);
    ASSERT_TRUE(wait_until([&] { return !run.checked(kBoxGerman); }, 5000));
    EXPECT_TRUE(run.checked(kBoxEnglish));
    install_and_expect_success(run);

    EXPECT_TRUE(test::read_link(group_link("Zentrivo")).loaded);
    EXPECT_TRUE(test::read_link(group_link("License")).loaded);
    EXPECT_TRUE(test::read_link(group_link("Order")).loaded);
    EXPECT_FALSE(exists(group_link("Bestellung")));
    expect_installed(folder, {"BESTELL.HTM"});  // installed all the same
    expect_absent(folder, {"QARN_DE.CHM", "QARN_DE.HLP", "QARN_DE.LNG"});
}

TEST_F(EnglishSystem, AFolderWhereAFileGoesStopsTheInstallationWithTheFileError) {
    const std::string folder = kScratch + "\\Blocked";
    make_folder(folder + "\\LICENSE.TXT");
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.type(kFolderField, folder);
    run.click(kOkButton);
    const MessageBoxSeen box = run.wait_for_message_box();
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, "Cannot install file.");
    EXPECT_EQ(box.caption, folder + "\\LICENSE.TXT");
    EXPECT_TRUE(box.error_icon);
    SetupRun::close_message_box(box);

    // The dialog stays, with the status line in place of the shortcut boxes.
    ASSERT_TRUE(run.still_waiting_after(500));
    EXPECT_FALSE(run.visible(kStartMenuBox));
    EXPECT_FALSE(run.visible(kDesktopBox));
    EXPECT_TRUE(run.visible(kStatusLine));
    EXPECT_EQ(run.text(kStatusLine), "LICENSE.TXT");
    EXPECT_EQ(recorded_dir(), folder);  // recorded before the extraction
    EXPECT_EQ(uninstall_value("UninstallString"), "<missing>");
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EnglishSystem, AnEmptyFolderFieldDoesNothing) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.type(kFolderField, "");
    run.click(kOkButton);
    EXPECT_TRUE(run.still_waiting_after(1500));
    EXPECT_TRUE(run.visible(kStartMenuBox));
    EXPECT_FALSE(run.visible(kStatusLine));
    EXPECT_EQ(recorded_dir(), "<missing>");
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EnglishSystem, AFolderThatCannotBeCreatedIsReported) {
    write_text(kScratch + "\\file.txt", "a file, not a folder");
    const std::string folder = kScratch + "\\file.txt\\Sub";
    SetupRun run;
    ASSERT_TRUE(run.start());
    expect_folder_refused(run, folder, "Cannot create path.");
    EXPECT_TRUE(run.visible(kStartMenuBox));  // nothing was started
    EXPECT_EQ(recorded_dir(), "<missing>");
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EnglishSystem, AFolderTooLongForTheProductsPathsIsRefusedBeforeAnythingIsWritten) {
    // 250 characters: the folder fits a path, but not with "\UnInst.exe" after it.
    const std::string folder = kScratch + "\\" + std::string(250 - kScratch.size() - 1, 'x');
    ASSERT_EQ(folder.size(), 250u);
    SetupRun run;
    ASSERT_TRUE(run.start());
    expect_folder_refused(run, folder, "Cannot create path.");
    EXPECT_FALSE(exists(folder));
    EXPECT_EQ(recorded_dir(), "<missing>");
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EnglishSystem, InstallingTwiceRecordsTheSecondFolder) {
    install_with_defaults_into(kScratch + "\\First");
    install_with_defaults_into(kScratch + "\\Second");
    EXPECT_EQ(recorded_dir(), kScratch + "\\Second");
    EXPECT_EQ(uninstall_value("UninstallString"), uninstall_command_for(kScratch + "\\Second"));
}

TEST_F(EnglishSystem, TheBrowseButtonStartsOnTheParentOfAFolderThatDoesNotExist) {
    const std::string parent = kScratch + "\\Browse";
    make_folder(parent);
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.type(kFolderField, parent + "\\NotYet");

    // Cancelled: the field keeps its text.
    run.click(kBrowseButton);
    HWND picker = run.wait_for_folder_picker();
    ASSERT_NE(picker, nullptr);
    SetupRun::press(picker, IDCANCEL);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(picker); }, 10000));
    EXPECT_EQ(run.text(kFolderField), parent + "\\NotYet");

    // Accepted as it opened: the folder it started on, the parent, is taken.
    run.click(kBrowseButton);
    picker = run.wait_for_folder_picker();
    ASSERT_NE(picker, nullptr);
    SetupRun::press(picker, IDOK);
    ASSERT_TRUE(wait_until([&] { return !IsWindow(picker); }, 10000));
    EXPECT_EQ(run.text(kFolderField), parent);
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(EnglishSystem, ExitLeavesEverythingAsItWas) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(recorded_dir(), "<missing>");
    EXPECT_FALSE(exists(program_files_dir() + "\\QARN"));
}

}  // namespace
}  // namespace qarn::e2e
