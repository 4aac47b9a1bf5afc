// Scenarios on a German system (Wine started with LC_ALL=de_DE.UTF-8).
#include <shlobj.h>

#include "tests/e2e/scenario.h"

namespace qarn::e2e {
namespace {

using GermanSystem = Scenario;

TEST_F(GermanSystem, OnlyGermanIsProposedAndTheDialogSpeaksGerman) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    EXPECT_TRUE(run.checked(kBoxGerman));
    EXPECT_FALSE(run.checked(kBoxEnglish));
    EXPECT_FALSE(run.checked(kBoxOtherLanguages));
    EXPECT_TRUE(run.checked(kStartMenuBox));
    EXPECT_TRUE(run.checked(kDesktopBox));
    expect_german_texts(run);
    EXPECT_EQ(run.caption(), "  Setup Zentrivo");

    const std::string folder = run.text(kFolderField);
    install_and_expect_success(run);  // in English even here
    EXPECT_EQ(folder_entries(folder), files_for(true, false, false));
    expect_installed(folder, files_for(true, false, false));
    EXPECT_EQ(settings_language(special_folder(CSIDL_APPDATA) + "\\Obrelux\\QARN.INI"), "DE");
}

TEST_F(GermanSystem, GermanDefaultsReplaceTheMarksOfAnEarlierInstallation) {
    const std::string earlier = kScratch + "\\Frueher";
    make_folder(earlier);
    write_text(earlier + "\\QARN_US.HLP", "help");
    write_text(earlier + "\\QARN_FR.HLP", "aide");
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN", "Dir", earlier);
    SetupRun run;
    ASSERT_TRUE(run.start());
    EXPECT_EQ(run.text(kFolderField), earlier);
    EXPECT_TRUE(run.checked(kBoxGerman));
    EXPECT_FALSE(run.checked(kBoxEnglish));
    EXPECT_FALSE(run.checked(kBoxOtherLanguages));
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(GermanSystem, TheFolderErrorIsGerman) {
    write_text(kScratch + "\\datei.txt", "keine Ordner");
    const std::string folder = kScratch + "\\datei.txt\\Unter";
    SetupRun run;
    ASSERT_TRUE(run.start());
    expect_folder_refused(run, folder, "Kann nicht Verzeichnis erstellen.");
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

TEST_F(GermanSystem, CheckingEnglishSwitchesTheDialogToEnglish) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.click(kBoxEnglish);
    ASSERT_TRUE(wait_until([&] { return run.text(kExitButton) == "Exit"; }, 5000));
    expect_english_texts(run);
    run.click(kExitButton);
    EXPECT_EQ(run.wait_for_exit(), 0);
}

}  // namespace
}  // namespace qarn::e2e
