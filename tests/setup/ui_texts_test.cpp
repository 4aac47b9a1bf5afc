// The interface language rule, the texts it puts into the dialog and the file error box.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "setup/ui_texts.h"
#include "tests/languages/fake_dialog.h"

namespace qarn {
namespace {

using test::FakeDialog;
using Texts = std::vector<std::pair<int, std::string>>;

const Texts kEnglish = {
    {102, "Install to:"},
    {2, "Exit"},
    {104, "Language"},
    {105, "Put entry to Start Menu"},
    {106, "Put icon to Desktop"},
    {203, "Additional languages"},
};
const Texts kGerman = {
    {102, "Zielpfad:"},
    {2, "Beenden"},
    {104, "Sprache"},
    {105, "Programmgruppe erstellen"},
    {106, "Desktop-Icon erstellen"},
    {203, "Weitere Sprachen"},
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
    dialog.checked[201] = true;
    update_ui_language(dialog);
    EXPECT_EQ(g_ui_language, kUiGerman);
    EXPECT_EQ(dialog.texts, kGerman);
}

TEST_F(UiTexts, BothBoxesCheckedGiveEnglish) {
    FakeDialog dialog;
    dialog.checked[201] = true;
    dialog.checked[202] = true;
    dialog.checked[203] = true;
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
    dialog.checked[201] = true;
    update_ui_language(dialog);
    dialog.texts.clear();
    update_ui_language(dialog);
    // Box 203 plays no part in the rule.
    dialog.checked[203] = true;
    update_ui_language(dialog);
    dialog.checked[203] = false;
    update_ui_language(dialog);
    EXPECT_TRUE(dialog.texts.empty());
    EXPECT_EQ(g_ui_language, kUiGerman);
}

TEST_F(UiTexts, EachChangeWritesAllSixTextsAgain) {
    FakeDialog dialog;
    dialog.checked[201] = true;
    update_ui_language(dialog);
    dialog.texts.clear();
    dialog.checked[202] = true;
    update_ui_language(dialog);
    EXPECT_EQ(dialog.texts, kEnglish);
    dialog.texts.clear();
    dialog.checked[202] = false;
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
