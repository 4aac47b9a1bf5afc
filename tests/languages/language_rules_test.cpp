// The language table's start values and rules, driven through a fake dialog.
#include <gtest/gtest.h>

#include <string>

#include "tests/languages/fake_dialog.h"
#include "languages/language_table.h"

namespace qarn {
namespace {

using test::FakeDialog;

class LanguageRules : public ::testing::Test {
protected:
    void SetUp() override { reset_language_table(); }
    void TearDown() override { reset_language_table(); }

    static void set_selected(int german, int english, int others) {
        g_language_table[0].selected = static_cast<int16_t>(german);
        g_language_table[1].selected = static_cast<int16_t>(english);
        g_language_table[2].selected = static_cast<int16_t>(others);
    }
    static std::string selection() {
        return std::to_string(g_language_table[0].selected) +
               std::to_string(g_language_table[1].selected) +
               std::to_string(g_language_table[2].selected);
    }
};

TEST_F(LanguageRules, StartsWithAllThreeChosenInFixedOrder) {
    set_selected(0, 0, 0);
    reset_language_table();
    EXPECT_STREQ(g_language_table[0].code, "_DE");
    EXPECT_EQ(g_language_table[0].control_id, kBoxGerman);
    EXPECT_STREQ(g_language_table[1].code, "_US");
    EXPECT_EQ(g_language_table[1].control_id, kBoxEnglish);
    EXPECT_STREQ(g_language_table[2].code, "_??");
    EXPECT_EQ(g_language_table[2].control_id, kBoxOtherLanguages);
    EXPECT_EQ(g_language_table[3].code, nullptr);
    EXPECT_EQ(selection(), "111");
    EXPECT_STREQ(kProductPrefix, "QARN");
}

TEST_F(LanguageRules, RecognisesTheFiveGermanLanguageIds) {
    for (uint16_t id : {0x0407, 0x0807, 0x0C07, 0x1007, 0x1407}) {
        EXPECT_TRUE(is_german_language_id(id)) << std::hex << id;
    }
    // English, the neutral German id, a sublanguage that is not a German country, French.
    for (uint16_t id : {0x0409, 0x0007, 0x1807, 0x0000, 0x040C, 0x0406}) {
        EXPECT_FALSE(is_german_language_id(id)) << std::hex << id;
    }
}

TEST_F(LanguageRules, GermanDefaultsReplaceEarlierMarks) {
    set_selected(0, 2, 2);
    apply_german_defaults();
    EXPECT_EQ(selection(), "100");
}

TEST_F(LanguageRules, TableToBoxesChecksChosenRowsAndNeverUnchecks) {
    FakeDialog dialog;
    dialog.checked[kBoxEnglish] = true;
    set_selected(2, 0, 0);  // a row marked twice counts as chosen
    table_to_boxes(dialog);
    EXPECT_EQ(dialog.check_calls, std::vector<int>{kBoxGerman});
    EXPECT_TRUE(dialog.checked[kBoxEnglish]);
}

TEST_F(LanguageRules, BoxesToTableStoresOneOrZero) {
    FakeDialog dialog;
    dialog.checked[kBoxGerman] = true;
    dialog.checked[kBoxOtherLanguages] = true;
    set_selected(0, 2, 2);
    boxes_to_table(dialog);
    EXPECT_EQ(selection(), "101");
}

TEST_F(LanguageRules, OnlyExtraLanguagesChosenBringsEnglishBack) {
    FakeDialog dialog;
    dialog.checked[kBoxOtherLanguages] = true;
    boxes_to_table(dialog);
    ensure_one_language(dialog);
    EXPECT_EQ(selection(), "011");
    EXPECT_TRUE(dialog.checked[kBoxEnglish]);
    EXPECT_TRUE(dialog.checked[kBoxOtherLanguages]);
    EXPECT_FALSE(dialog.checked[kBoxGerman]);
}

TEST_F(LanguageRules, NothingChosenChecksEnglish) {
    FakeDialog dialog;
    set_selected(0, 0, 0);
    ensure_one_language(dialog);
    EXPECT_EQ(selection(), "010");
    EXPECT_EQ(dialog.check_calls, std::vector<int>{kBoxEnglish});
}

TEST_F(LanguageRules, OneRealLanguageIsEnoughAndNothingIsTouched) {
    for (const char* start : {"100", "010", "110", "020", "101"}) {
        FakeDialog dialog;
        set_selected(start[0] - '0', start[1] - '0', start[2] - '0');
        ensure_one_language(dialog);
        EXPECT_EQ(selection(), start);
        EXPECT_TRUE(dialog.check_calls.empty()) << start;
    }
}

TEST_F(LanguageRules, UncheckingTheLastRealLanguageChecksEnglishAgain) {
    // "English" already off, the user unchecks "Deutsch"; box 203 plays no part.
    for (bool others : {false, true}) {
        FakeDialog dialog;
        dialog.checked[kBoxOtherLanguages] = others;
        boxes_to_table(dialog);
        ensure_one_language(dialog);
        EXPECT_TRUE(dialog.checked[kBoxEnglish]);
        EXPECT_EQ(g_language_table[1].selected, 1);
    }
}

TEST_F(LanguageRules, StartUpOnGermanSystemChecksOnlyDeutsch) {
    FakeDialog dialog;
    apply_german_defaults();
    table_to_boxes(dialog);
    ensure_one_language(dialog);
    EXPECT_TRUE(dialog.checked[kBoxGerman]);
    EXPECT_FALSE(dialog.checked[kBoxEnglish]);
    EXPECT_FALSE(dialog.checked[kBoxOtherLanguages]);
}

TEST_F(LanguageRules, StartUpOnOtherSystemChecksAllThree) {
    FakeDialog dialog;
    table_to_boxes(dialog);
    ensure_one_language(dialog);
    EXPECT_EQ(dialog.check_calls, (std::vector<int>{kBoxGerman, kBoxEnglish, kBoxOtherLanguages}));
}

}  // namespace
}  // namespace qarn
