// The interface language rule, the texts it puts into the dialog and the file error box.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "resources/control_ids.h"
#include "setup/ui_texts.h"
#include "tests/languages/fake_dialog.h"

namespace qarn {
namespace {

using test::FakeDialog;
using Texts = std::vector<std::pair<int, std::string>>;

const Texts kEnglish = {
    {kFolderLabel, "Install to:"},
    {kExitButton, "Exit"},
    {kLanguageFrame, "Language"},
    {kStartMenuBox, "Put entry to Start Menu"},
    {kDesktopBox, "Put icon to Desktop"},
    {kBoxOtherLanguages, "Additional languages"},
};
const Texts kGerman = {
    {kFolderLabel, "Zielpfad:"},
    {kExitButton, "Beenden"},
    {kLanguageFrame, "Sprache"},
    {kStartMenuBox, "Programmgruppe erstellen"},
    {kDesktopBox, "Desktop-Icon erstellen"},
    {kBoxOtherLanguages, "Weitere Sprachen"},
};

class UiTexts : public ::testing::Test {
protected:
    void SetUp() override { g_ui_language = kUiUnset; }
    void TearDown() override { g_ui_language = kUiUnset; }
};

TEST_F(UiTexts, GermanExactlyWhenDeutschCheckedAndEnglishNot) {
    EXPECT_EQ(ui_language_for(true, false), kUiGerman);
    EXPECT_EQ(ui_language_for(true, true), kUiEnglish);
    EXPECT_EQ(ui_language_for(false, true), kUiEnglish);
    EXPECT_EQ(ui_language_for(false, false), kUiEnglish);
}

TEST_F(UiTexts, FirstUpdateSetsAllSixGermanTextsInOrder) {
    FakeDialog dialog;
    dialog.checked[kBoxGerman] = true;
    update_ui_language(dialog);
    EXPECT_EQ(g_ui_language, kUiGerman);
    EXPECT_EQ(dialog.texts, kGerman);
}

TEST_F(UiTexts, BothBoxesCheckedGiveEnglish) {
    FakeDialog dialog;
    dialog.checked[kBoxGerman] = true;
    dialog.checked[kBoxEnglish] = true;
    dialog.checked[kBoxOtherLanguages] = true;
    update_ui_language(dialog);
    EXPECT_EQ(g_ui_language, kUiEnglish);
    EXPECT_EQ(dialog.texts, kEnglish);
}

TEST_F(UiTexts, NeitherBoxCheckedGivesEnglish) {
    FakeDialog dialog;
    update_ui_language(dialog);
    EXPECT_EQ(g_ui_language, kUiEnglish);
    EXPECT_EQ(dialog.texts, kEnglish);
}

TEST_F(UiTexts, SameLanguageAgainWritesNothing) {
    FakeDialog dialog;
    dialog.checked[kBoxGerman] = true;
    update_ui_language(dialog);
    dialog.texts.clear();
    update_ui_language(dialog);
    // The other-languages box plays no part in the rule.
    dialog.checked[kBoxOtherLanguages] = true;
    update_ui_language(dialog);
    dialog.checked[kBoxOtherLanguages] = false;
    update_ui_language(dialog);
    EXPECT_TRUE(dialog.texts.empty());
    EXPECT_EQ(g_ui_language, kUiGerman);
}

TEST_F(UiTexts, EachChangeWritesAllSixTextsAgain) {
    FakeDialog dialog;
    dialog.checked[kBoxGerman] = true;
    update_ui_language(dialog);
    dialog.texts.clear();
    dialog.checked[kBoxEnglish] = true;
    update_ui_language(dialog);
    EXPECT_EQ(dialog.texts, kEnglish);
    dialog.texts.clear();
    dialog.checked[kBoxEnglish] = false;
    update_ui_language(dialog);
    EXPECT_EQ(dialog.texts, kGerman);
}

TEST_F(UiTexts, ApplyDoesNothingForUnsetOrUnknownLanguage) {
    FakeDialog dialog;
    apply_interface_texts(dialog);
    g_ui_language = 3;
    apply_interface_texts(dialog);
    g_ui_language = -1;
    apply_interface_texts(dialog);
    EXPECT_TRUE(dialog.texts.empty());
}

TEST_F(UiTexts, FileErrorInEnglishWithCallersCaption) {
    FakeDialog dialog;
    g_ui_language = kUiEnglish;
    show_file_error(dialog, "QARN_DE.HLP");
    ASSERT_EQ(dialog.messages.size(), 1u);
    EXPECT_EQ(dialog.messages[0].text, "Cannot install file.");
    EXPECT_EQ(dialog.messages[0].caption, "QARN_DE.HLP");
    EXPECT_EQ(dialog.messages[0].style, 0x10u);
}

TEST_F(UiTexts, FileErrorInGerman) {
    FakeDialog dialog;
    g_ui_language = kUiGerman;
    show_file_error(dialog, "C:\\QARN\\QARN.exe");
    ASSERT_EQ(dialog.messages.size(), 1u);
    EXPECT_EQ(dialog.messages[0].text, "Kann nicht die Datei installieren.");
    EXPECT_EQ(dialog.messages[0].caption, "C:\\QARN\\QARN.exe");
    EXPECT_EQ(dialog.messages[0].style, kIconError);
}

TEST_F(UiTexts, NoFileErrorWhileLanguageUnset) {
    FakeDialog dialog;
    show_file_error(dialog, "QARN.exe");
    g_ui_language = 7;
    show_file_error(dialog, "QARN.exe");
    EXPECT_TRUE(dialog.messages.empty());
}

TEST_F(UiTexts, MessageTextsByLanguage) {
    EXPECT_STREQ(cannot_create_path_text(kUiEnglish), "Cannot create path.");
    EXPECT_STREQ(cannot_create_path_text(kUiGerman), "Kann nicht Verzeichnis erstellen.");
    EXPECT_EQ(cannot_create_path_text(kUiUnset), nullptr);
    EXPECT_STREQ(cannot_install_file_text(kUiEnglish), "Cannot install file.");
    EXPECT_STREQ(cannot_install_file_text(kUiGerman), "Kann nicht die Datei installieren.");
    EXPECT_EQ(cannot_install_file_text(kUiUnset), nullptr);
    EXPECT_EQ(cannot_install_file_text(3), nullptr);
}

}  // namespace
}  // namespace qarn
