// Which entries the chosen languages let through, and what happens to files of the others.
#include "archive/language_choice.h"
#include "tests/support/extract_fixture.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

class LanguageChoice : public ExtractTest {
protected:
    int wanted(const char* name) {
        return language_verdict(name, languages_) != LanguageVerdict::kNotChosen ? 1 : 0;
    }
};

TEST_F(LanguageChoice, AllLanguagesChosenWantsEverything) {
    for (const char* name : {"QARN_DE.CHM", "QARN_US.CHM", "QARN_FR.LNG", "QARN.EXE", "QARNRES.DLL",
                             "UNINST.EXE", "FILE_ID.DIZ", "QARN", "qarn_de.chm"}) {
        EXPECT_EQ(wanted(name), 1) << name;
    }
}

TEST_F(LanguageChoice, OnlyGermanLeavesOutEnglishAndOtherLanguagesInAnyCase) {
    choose_languages(true, false, false);
    EXPECT_EQ(wanted("QARN_DE.CHM"), 1);
    EXPECT_EQ(wanted("qarn_de.chm"), 1);
    EXPECT_EQ(wanted("QARN_DE.HLP"), 1);
    EXPECT_EQ(wanted("QARN_US.CHM"), 0);
    EXPECT_EQ(wanted("qarn_us.hlp"), 0);
    EXPECT_EQ(wanted("QARN_FR.LNG"), 0);
    EXPECT_EQ(wanted("Qarn_It.lng"), 0);
}

TEST_F(LanguageChoice, NamesOfNoLanguageAreAlwaysWanted) {
    choose_languages(false, false, false);
    // The character at index 7 is not '.', or no row's prefix matches.
    for (const char* name : {"QARN.EXE", "QARNRES.DLL", "UNINST.EXE", "FILE_ID.DIZ", "QARN",
                             "QARN_DEX.CHM", "QARN_D.CHM", "XARN_DE.CHM", "sub\\QARN_DE.CHM"}) {
        EXPECT_EQ(wanted(name), 1) << name;
    }
}

TEST_F(LanguageChoice, ExtraLanguagesRowClaimsEveryOtherSuffix) {
    choose_languages(true, true, false);
    EXPECT_EQ(wanted("QARN_FR.LNG"), 0);
    EXPECT_EQ(wanted("QARN_XY.TXT"), 0);
    EXPECT_EQ(wanted("QARN_US.CHM"), 1);
    choose_languages(false, true, true);
    EXPECT_EQ(wanted("QARN_FR.LNG"), 1);
    EXPECT_EQ(wanted("QARN_DE.CHM"), 0);
}

TEST_F(LanguageChoice, RunWithOnlyGermanRemovesOtherLanguagesFilesAndWritesTheRest) {
    for (const char* old : {"QARN_US.HLP", "QARN_FR.LNG", "QARN_IT.LNG"}) {
        write_file(target_dir() / old, text_bytes("from an earlier installation"));
    }
    std::vector<TestEntry> entries;
    for (const char* name : {"QARN.EXE", "QARN_DE.HLP", "QARN_US.HLP", "QARN_FR.LNG", "LICENSE.TXT"}) {
        TestEntry e;
        e.name = name;
        e.data = text_bytes(std::string("content of ") + name);
        entries.push_back(e);
    }
    write_setup(entries);
    choose_languages(true, false, false);
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_TRUE(fs::exists(target_dir() / "QARN.EXE"));
    EXPECT_TRUE(fs::exists(target_dir() / "QARN_DE.HLP"));
    EXPECT_TRUE(fs::exists(target_dir() / "LICENSE.TXT"));
    EXPECT_FALSE(fs::exists(target_dir() / "QARN_US.HLP"));
    EXPECT_FALSE(fs::exists(target_dir() / "QARN_FR.LNG"));
    EXPECT_TRUE(fs::exists(target_dir() / "QARN_IT.LNG")) << "no entry of that name: left alone";
    // Entries that are not written are still shown as the run passes them.
    EXPECT_EQ(user_.shown.size(), 5u);
}

}  // namespace
}  // namespace qarn::test
