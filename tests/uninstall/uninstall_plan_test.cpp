// The uninstaller's decisions: which listed files go and in which order, which folders it
// then tries, what counts as lying inside the installation's folder, whether anything is
// left, and which language it speaks.
#include <gtest/gtest.h>

#include <cstdint>
#include <iterator>
#include <string>
#include <vector>

#include "uninstall/uninstall_plan.h"

namespace qarn::uninstall {
namespace {

UninstallList list_of(const std::vector<std::string>& lines) {
    std::string text = std::string(kUninstallListTag) + "\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return read_uninstall_list(text);
}

constexpr const char* kFolder = "C:\\Program Files\\QARN\\";

TEST(UninstallPaths, FoldersAreComparedAsWindowsDoes) {
    EXPECT_TRUE(same_path("C:\\Program Files\\QARN", "c:\\program files\\qarn\\"));
    EXPECT_TRUE(same_path("C:/Program Files/QARN/", "C:\\Program Files\\QARN"));
    EXPECT_FALSE(same_path("C:\\Program Files\\QARN2", "C:\\Program Files\\QARN"));
    EXPECT_FALSE(same_path("C:\\Program Files\\..\\QARN", "C:\\QARN"));
    EXPECT_EQ(with_backslash("C:\\QARN"), "C:\\QARN\\");
    EXPECT_EQ(with_backslash("C:\\QARN\\"), "C:\\QARN\\");
    EXPECT_EQ(shown_folder("C:\\QARN\\"), "C:\\QARN");
    EXPECT_EQ(shown_folder("D:\\"), "D:\\");
}

TEST(UninstallPaths, InsideMeansBelowTheFolderWithoutClimbingBack) {
    EXPECT_TRUE(inside_folder("C:\\Program Files\\QARN\\QARN.exe", kFolder));
    EXPECT_TRUE(inside_folder("c:\\program files\\qarn\\Help\\a.chm", "C:\\Program Files\\QARN"));
    EXPECT_TRUE(inside_folder("D:\\QARN.exe", "D:\\"));
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN", kFolder));  // the folder itself
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN\\", kFolder));
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN2\\QARN.exe", kFolder));
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN\\..\\Other\\x.exe", kFolder));
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN\\.\\x.exe", kFolder));
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN\\\\x.exe", kFolder));
    EXPECT_FALSE(inside_folder("D:\\Program Files\\QARN\\QARN.exe", kFolder));
    EXPECT_FALSE(inside_folder("C:\\Program Files\\QARN\\x.exe", ""));
}

TEST(UninstallPaths, TheUninstallCommandMustStartAProgramOfThisFolder) {
    EXPECT_TRUE(command_in_folder("C:\\Program Files\\QARN\\UnInst.exe", kFolder));
    EXPECT_TRUE(command_in_folder("\"C:\\Program Files\\QARN\\UnInst.exe\" /x", kFolder));
    EXPECT_TRUE(
        command_in_folder("  c:\\program files\\qarn\\uninst.exe ", "C:\\Program Files\\QARN"));
    EXPECT_FALSE(command_in_folder("C:\\Other\\UnInst.exe", kFolder));
    EXPECT_FALSE(command_in_folder("C:\\Program Files\\QARN\\sub\\UnInst.exe", kFolder));
    EXPECT_FALSE(command_in_folder("C:\\Program Files\\QARN\\", kFolder));
    EXPECT_FALSE(command_in_folder("\"C:\\Program Files\\QARN\\UnInst.exe", kFolder));
    EXPECT_FALSE(command_in_folder("UnInst.exe", kFolder));
    EXPECT_FALSE(command_in_folder("", kFolder));
}

TEST(UninstallPlan, FilesGoFirstThenTheListThenTheUninstallerAndTheSettingsStay) {
    const FilePlan plan = plan_files(list_of({"BESTELL.HTM", "qarn.ini", "UnInst.exe",
                                              "Help\\QARN_DE.CHM", "QARN.exe", "UNINST.LST"}),
                                     kFolder, "UnInst.exe");
    EXPECT_EQ(plan.files,
              (std::vector<std::string>{"BESTELL.HTM", "Help\\QARN_DE.CHM", "QARN.exe"}));
    EXPECT_TRUE(plan.lists_itself);
    EXPECT_TRUE(plan.lists_uninstaller);
    EXPECT_TRUE(plan.lists_settings);
    EXPECT_EQ(plan.folders, std::vector<std::string>{"Help"});
    EXPECT_TRUE(plan.refused.empty());
}

TEST(UninstallPlan, AnUninstallerRenamedOrCopiedElsewhereIsNotInTheList) {
    const FilePlan plan =
        plan_files(list_of({"QARN.exe", "UnInst.exe", "UNINST.LST"}), kFolder, "UnInst (2).exe");
    EXPECT_FALSE(plan.lists_uninstaller);
    EXPECT_EQ(plan.files, (std::vector<std::string>{"QARN.exe", "UnInst.exe"}));
}

TEST(UninstallPlan, FoldersAreTriedDeepestFirstEachOnce) {
    const FilePlan plan = plan_files(
        list_of({"a\\b\\c\\x.txt", "a\\y.txt", "d\\z.txt", "A\\B\\w.txt", "a\\b\\c\\e\\v.txt"}),
        kFolder, "UnInst.exe");
    EXPECT_EQ(plan.folders, (std::vector<std::string>{"a\\b\\c\\e", "a\\b\\c", "a\\b", "a", "d"}));
    EXPECT_EQ(folders_of("a\\b\\c.txt"), (std::vector<std::string>{"a", "a\\b"}));
    EXPECT_TRUE(folders_of("c.txt").empty());
}

TEST(UninstallPlan, AHostileListRemovesNothingOutsideTheFolder) {
    const FilePlan plan =
        plan_files(list_of({"..\\outside.txt", "C:\\e2e\\outside.txt", "\\outside.txt", "CON",
                            "LPT1.txt", "Help\\..\\..\\outside.txt", "QARN.exe"}),
                   kFolder, "UnInst.exe");
    EXPECT_EQ(plan.files, std::vector<std::string>{"QARN.exe"});
    EXPECT_TRUE(plan.folders.empty());
    ASSERT_EQ(plan.refused.size(), 6u);
    for (const RefusedListLine& line : plan.refused) {
        EXPECT_EQ(line.problem, ListLineProblem::kNameRefused);
    }
    EXPECT_EQ(plan.refused[0].line, 2u);
    EXPECT_EQ(plan.refused[5].line, 7u);
}

// Lists pieced together from the parts that make names dangerous: whatever the reader and
// the plan accept names a plain file below the folder, fitting a path, and each of its
// folders lies below the folder as well.
TEST(UninstallPlan, ListsOfDangerousPartsNeverNameAnythingOutsideTheFolder) {
    static const char* const kParts[] = {
        "..",   ".",  "\\",    "/",  ":",        "C:",         "\\\\",      "CON", "nul",
        "LPT1", "a",  "Help",  " ",  "?",        "*",          "\r",        "\n",  "\r\n",
        "\xFF", "\t", "x.txt", "~1", "QARN.INI", "UNINST.LST", "UnInst.exe"};
    uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    size_t accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = std::string(kUninstallListTag) + "\r\n";
        const uint32_t parts = next() % 40;
        for (uint32_t i = 0; i < parts; ++i) text += kParts[next() % std::size(kParts)];
        const FilePlan plan = plan_files(read_uninstall_list(text), kFolder, "UnInst.exe");
        for (const std::string& name : plan.files) {
            ++accepted;
            const std::string path = std::string(kFolder) + name;
            EXPECT_TRUE(inside_folder(path, kFolder)) << name;
            EXPECT_LE(path.size(), kMaxPath) << name;
            EXPECT_EQ(check_entry_name(name.c_str()), NameRefusal::kNone) << name;
            for (const char c : name) {
                EXPECT_TRUE(c >= 0x20 && c <= 0x7E && c != '/') << name;
            }
        }
        for (const std::string& folder : plan.folders) {
            EXPECT_TRUE(inside_folder(std::string(kFolder) + folder, kFolder)) << folder;
        }
    }
    EXPECT_GT(accepted, 100u);  // the parts do make acceptable names too
}

TEST(UninstallPlan, ANameThatWouldNotFitAPathInThisFolderIsRefused) {
    const std::string folder = "C:\\" + std::string(200, 'f') + "\\";  // 204 characters
    const std::string fits(259 - folder.size(), 'a');
    const std::string too_long(259 - folder.size() + 1, 'b');
    const FilePlan plan = plan_files(list_of({fits, too_long}), folder, "UnInst.exe");
    EXPECT_EQ(plan.files, std::vector<std::string>{fits});
    ASSERT_EQ(plan.refused.size(), 1u);
    EXPECT_EQ(plan.refused[0].text, too_long);
    EXPECT_EQ(plan.refused[0].problem, ListLineProblem::kTooLong);
    EXPECT_EQ(plan.refused[0].line, 3u);
}

TEST(UninstallPlan, AListWithoutItsTagGivesNothingToDo) {
    const FilePlan plan =
        plan_files(read_uninstall_list("QARN.exe\r\nUnInst.exe\r\n"), kFolder, "UnInst.exe");
    EXPECT_TRUE(plan.files.empty());
    EXPECT_FALSE(plan.lists_uninstaller);
    EXPECT_FALSE(plan.lists_itself);
}

TEST(UninstallWorkFolder, EverythingGoesFilesFirstThenFoldersDeepestFirstTheWorkFolderLast) {
    EXPECT_TRUE(is_setup_work_folder("QARN.UNDO"));
    EXPECT_TRUE(is_setup_work_folder("qarn.undo"));
    EXPECT_FALSE(is_setup_work_folder("QARN.UNDO2"));
    EXPECT_FALSE(is_setup_work_folder("QARN.UNDO\\x"));

    const WorkFolderPlan plan = plan_work_folder({{"QARN.UNDO\\a", FoundKind::kFolder},
                                                  {"QARN.UNDO\\a\\b", FoundKind::kFolder},
                                                  {"QARN.UNDO\\a\\b\\x.txt", FoundKind::kFile},
                                                  {"QARN.UNDO\\journal", FoundKind::kFile},
                                                  {"QARN.UNDO\\c", FoundKind::kFolder}});
    EXPECT_EQ(plan.files,
              (std::vector<std::string>{"QARN.UNDO\\a\\b\\x.txt", "QARN.UNDO\\journal"}));
    EXPECT_EQ(plan.folders, (std::vector<std::string>{"QARN.UNDO\\a\\b", "QARN.UNDO\\a",
                                                      "QARN.UNDO\\c", "QARN.UNDO"}));
    EXPECT_TRUE(plan.links.empty());
    EXPECT_TRUE(plan.out_of_reach.empty());
    // Empty, it is still removed.
    EXPECT_EQ(plan_work_folder({}).folders, std::vector<std::string>{"QARN.UNDO"});
}

TEST(UninstallWorkFolder, ALinkOrSomethingOutOfReachKeepsTheFoldersThatHoldIt) {
    for (const FoundKind kind : {FoundKind::kLink, FoundKind::kOutOfReach}) {
        const WorkFolderPlan plan = plan_work_folder({{"QARN.UNDO\\a", FoundKind::kFolder},
                                                      {"QARN.UNDO\\a\\b", FoundKind::kFolder},
                                                      {"QARN.UNDO\\A\\B\\l", kind},
                                                      {"QARN.UNDO\\a\\b\\x", FoundKind::kFile},
                                                      {"QARN.UNDO\\c", FoundKind::kFolder}});
        EXPECT_EQ(plan.files, std::vector<std::string>{"QARN.UNDO\\a\\b\\x"});
        EXPECT_EQ(plan.folders, std::vector<std::string>{"QARN.UNDO\\c"});
        const auto& kept = kind == FoundKind::kLink ? plan.links : plan.out_of_reach;
        const auto& other = kind == FoundKind::kLink ? plan.out_of_reach : plan.links;
        EXPECT_EQ(kept, std::vector<std::string>{"QARN.UNDO\\A\\B\\l"});
        EXPECT_TRUE(other.empty());
    }
}

TEST(UninstallLeftovers, NothingIsLeftOnlyWhenNoFileLinkOrRecordRemains) {
    Findings none;
    EXPECT_FALSE(anything_to_remove(none));
    Findings damaged;
    damaged.list_damaged = true;  // a damaged list alone: nothing can be removed by it
    EXPECT_FALSE(anything_to_remove(damaged));
    Findings listed_but_unread;
    listed_but_unread.list_listed = true;  // without the list read, its lines do not count
    EXPECT_FALSE(anything_to_remove(listed_but_unread));

    Findings f;
    f.files_present = 1;
    EXPECT_TRUE(anything_to_remove(f));
    f = {};
    f.list_read = true;
    EXPECT_FALSE(anything_to_remove(f));  // a list naming nothing there, itself not included
    f.list_listed = true;
    EXPECT_TRUE(anything_to_remove(f));
    f = {};
    f.list_read = true;
    f.uninstaller_listed = true;
    EXPECT_TRUE(anything_to_remove(f));
    f = {};
    f.links = 2;
    EXPECT_TRUE(anything_to_remove(f));
    f = {};
    f.uninstall_entry = true;
    EXPECT_TRUE(anything_to_remove(f));
    f = {};
    f.user_key = true;
    EXPECT_TRUE(anything_to_remove(f));
    f = {};
    f.work_folder = true;  // what a killed setup left is the installer's
    EXPECT_TRUE(anything_to_remove(f));
}

TEST(UninstallLanguage, GermanWhenTheGermanFilesAreThereAndTheEnglishOnesAreNot) {
    LanguageEvidence e;
    e.german_files = true;
    EXPECT_EQ(choose_language(e), Language::kGerman);
    e.english_files = true;
    EXPECT_EQ(choose_language(e), Language::kEnglish);
    e.german_files = false;
    EXPECT_EQ(choose_language(e), Language::kEnglish);
    // The files outweigh the settings and the system.
    e = {};
    e.german_files = true;
    e.english_files = true;
    e.settings_value = "DE";
    e.system_german = true;
    EXPECT_EQ(choose_language(e), Language::kEnglish);
}

TEST(UninstallLanguage, WithoutLanguageFilesTheSettingsThenTheSystemDecide) {
    LanguageEvidence e;
    EXPECT_EQ(choose_language(e), Language::kEnglish);
    e.system_german = true;
    EXPECT_EQ(choose_language(e), Language::kGerman);
    e.settings_value = "US";
    EXPECT_EQ(choose_language(e), Language::kEnglish);
    e.settings_value = "FR";  // an additional language: the system decides
    EXPECT_EQ(choose_language(e), Language::kGerman);
    e.system_german = false;
    e.settings_value = "DE";
    EXPECT_EQ(choose_language(e), Language::kGerman);
    e.settings_value = "GR";  // the old code for German
    EXPECT_EQ(choose_language(e), Language::kGerman);
    e.settings_value = "de";  // codes are compared exactly, as the installer does
    EXPECT_EQ(choose_language(e), Language::kEnglish);
}

TEST(UninstallLanguage, LanguageFilesAreTheProductsOwnNames) {
    EXPECT_TRUE(is_language_file("QARN_DE.CHM", "DE"));
    EXPECT_TRUE(is_language_file("qarn_de.hlp", "DE"));
    EXPECT_TRUE(is_language_file("QARN_US.LNG", "US"));
    EXPECT_FALSE(is_language_file("QARN_US.LNG", "DE"));
    EXPECT_FALSE(is_language_file("QARN_DE.", "DE"));
    EXPECT_FALSE(is_language_file("QARN_DEX.CHM", "DE"));
    EXPECT_FALSE(is_language_file("Help\\QARN_DE.CHM", "DE"));
    EXPECT_FALSE(is_language_file("XQARN_DE.CHM", "DE"));
}

}  // namespace
}  // namespace qarn::uninstall
