// What the uninstaller says: the question naming the product and the folder, the report of
// what went and what stayed, in English and German.
#include <gtest/gtest.h>

#include <string>

#include "uninstall/uninstall_texts.h"

namespace qarn::uninstall {
namespace {

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

Outcome full_removal() {
    Outcome o;
    o.folder = "C:\\Program Files\\QARN\\";
    o.files_removed = 22;
    o.folders_removed = 1;
    o.group_links_removed = 4;
    o.groups_removed = 1;
    o.desktop_icon_removed = true;
    o.uninstall_entry_removed = true;
    o.user_key_removed = true;
    o.settings = {"C:\\users\\me\\AppData\\Roaming\\Obrelux\\QARN.INI"};
    return o;
}

TEST(UninstallQuestion, NamesTheProductAndTheFolderInEitherLanguage) {
    const std::string en = confirmation_text(Language::kEnglish, "C:\\Program Files\\QARN\\");
    EXPECT_TRUE(has(en, "Remove Zentrivo from the folder"));
    EXPECT_TRUE(has(en, "\n    C:\\Program Files\\QARN\n"));
    EXPECT_FALSE(has(en, "QARN\\\n"));
    EXPECT_TRUE(has(en, "settings (QARN.INI)"));
    const std::string de = confirmation_text(Language::kGerman, "C:\\Programme\\QARN\\");
    EXPECT_TRUE(has(de, "Zentrivo aus dem Ordner"));
    EXPECT_TRUE(has(de, "C:\\Programme\\QARN\n"));
    EXPECT_TRUE(has(de, "Einstellungen (QARN.INI)"));
    EXPECT_STREQ(caption_text(Language::kEnglish), "Zentrivo Uninstall");
    EXPECT_STREQ(caption_text(Language::kGerman), "Zentrivo deinstallieren");
}

TEST(UninstallQuestion, NothingLeftAndDamagedListSayWhatTheyMean) {
    EXPECT_TRUE(has(nothing_left_text(Language::kEnglish, "C:\\QARN\\"),
                    "There is nothing left to remove"));
    EXPECT_TRUE(has(nothing_left_text(Language::kEnglish, "C:\\QARN\\"), "C:\\QARN"));
    EXPECT_TRUE(
        has(nothing_left_text(Language::kGerman, "C:\\QARN\\"), "nichts mehr zu entfernen"));
    EXPECT_TRUE(has(damaged_list_text(Language::kEnglish, "C:\\QARN\\"), "Nothing was removed"));
    EXPECT_TRUE(
        has(damaged_list_text(Language::kGerman, "C:\\QARN\\"), "Es wurde nichts entfernt"));
    EXPECT_TRUE(has(cannot_start_text(Language::kEnglish), "259"));
}

TEST(UninstallQuestion, AFolderThatIsNotWorkedInIsNamedWithTheReason) {
    const struct {
        Language language;
        FolderProblem problem;
        const char* part;
    } cases[] = {
        {Language::kEnglish, FolderProblem::kLinked,
         "Zentrivo is not removed from\n\n    D:\\Link\\QARN\n\nThis folder is a link (a "
         "junction or symbolic link), or lies in a linked or mounted folder, and the uninstaller "
         "removes nothing through a link. Nothing was removed."},
        {Language::kEnglish, FolderProblem::kUnknown,
         "\n\nThe system does not say where this folder really lies. Nothing was removed."},
        {Language::kGerman, FolderProblem::kLinked,
         "Zentrivo wird nicht entfernt aus\n\n    D:\\Link\\QARN\n\nDieser Ordner ist eine "
         "symbolische Verkn\xFCpfung"},
        {Language::kGerman, FolderProblem::kUnknown,
         "Das System gibt nicht an, wo dieser Ordner tats\xE4"
         "chlich liegt. Es wurde nichts entfernt."},
    };
    for (const auto& c : cases) {
        const std::string text = folder_refused_text(c.language, "D:\\Link\\QARN\\", c.problem);
        EXPECT_TRUE(has(text, c.part)) << text;
    }
}

TEST(UninstallReport, AFullRemovalListsWhatWentAndKeepsTheSettings) {
    const std::string text = report_text(Language::kEnglish, full_removal());
    EXPECT_EQ(text,
              "Zentrivo has been removed from C:\\Program Files\\QARN.\n\n"
              "Removed:\n"
              "- 22 files and 1 folder\n"
              "- 4 shortcuts of the Start-menu group QARN, and the group\n"
              "- the desktop icon Zentrivo.lnk\n"
              "- the entry in the list of installed programs\n"
              "- the registry key HKEY_CURRENT_USER\\Software\\Obrelux\\QARN\n\n"
              "Kept:\n"
              "- your settings: C:\\users\\me\\AppData\\Roaming\\Obrelux\\QARN.INI");
    EXPECT_TRUE(complete(full_removal()));
}

TEST(UninstallReport, FilesTheUserAddedKeepTheFolder) {
    Outcome o = full_removal();
    o.folders_removed = 0;
    o.folder_kept = true;
    o.user_files = 1;
    EXPECT_TRUE(has(report_text(Language::kEnglish, o),
                    "- 1 file you added, and the folder C:\\Program Files\\QARN that holds it"));
    o.user_files = 3;
    EXPECT_TRUE(has(report_text(Language::kEnglish, o), "- 3 files you added, and the folder "));
    EXPECT_TRUE(has(report_text(Language::kEnglish, o), "that holds them"));
    EXPECT_FALSE(has(report_text(Language::kEnglish, o), " and 0 folders"));
    o.user_files = 0;  // only the settings file keeps it
    EXPECT_TRUE(has(report_text(Language::kEnglish, o), "- the folder C:\\Program Files\\QARN"));
    EXPECT_TRUE(has(report_text(Language::kGerman, o), "- der Ordner C:\\Program Files\\QARN"));
}

TEST(UninstallReport, WhatResistedIsNamedAndTheRunCanBeRepeated) {
    Outcome o;
    o.folder = "C:\\QARN\\";
    o.files_removed = 19;
    o.failed = {"QARN.exe", "QARNRES.DLL"};
    const std::string text = report_text(Language::kEnglish, o);
    EXPECT_FALSE(complete(o));
    EXPECT_TRUE(has(text, "Zentrivo could not be removed completely from C:\\QARN."));
    EXPECT_TRUE(has(text,
                    "Not removed (is Zentrivo still running, or are administrator rights "
                    "needed? Close it and run the uninstaller again):\n- QARN.exe\n- "
                    "QARNRES.DLL"));
    EXPECT_TRUE(has(report_text(Language::kGerman, o), "nicht vollst\xE4ndig entfernt"));
}

TEST(UninstallReport, RefusedLinesAreShownUpToALimitAndCounted) {
    Outcome o = full_removal();
    o.refused = {"..\\outside.txt", "C:\\e2e\\abs.txt", "CON"};
    const std::string text = report_text(Language::kEnglish, o);
    EXPECT_TRUE(complete(o));
    EXPECT_TRUE(
        has(text,
            "lines of the list of installed files:\n- ..\\outside.txt\n- C:\\e2e\\abs.txt\n- CON"));
    for (int i = 0; i < 10; ++i) o.refused.push_back("x" + std::to_string(i));
    const std::string many = report_text(Language::kEnglish, o);
    EXPECT_TRUE(has(many, "- x2\n- and more: 7"));
    EXPECT_FALSE(has(many, "- x3"));
}

TEST(UninstallReport, OtherInstallationsAndForeignLinksAreKeptAndSaid) {
    Outcome o = full_removal();
    o.uninstall_entry_removed = false;
    o.user_key_removed = false;
    o.other_uninstall_entry = "D:\\Other\\UnInst.exe";
    o.other_user_key = "D:\\Other";
    o.foreign_links = 1;
    o.files_unknown = true;
    const std::string text = report_text(Language::kEnglish, o);
    EXPECT_FALSE(has(text, "- the entry in the list of installed programs\n"));
    EXPECT_TRUE(has(
        text, "- the entry in the list of installed programs, which starts D:\\Other\\UnInst.exe"));
    EXPECT_TRUE(has(text, "QARN, which names D:\\Other"));
    EXPECT_TRUE(has(text, "- 1 shortcut pointing elsewhere"));
    EXPECT_TRUE(has(report_text(Language::kGerman, o), "- 1 Verkn\xFCpfung mit anderem Ziel"));
    EXPECT_TRUE(has(text, "list of installed files (UNINST.LST) is missing or damaged"));
}

TEST(UninstallReport, TheUninstallerLeftForTheRestartAndASetupsWorkFolderAreSaid) {
    const struct {
        bool Outcome::*flag;
        Language language;
        const char* line;
    } cases[] = {
        {&Outcome::uninstaller_at_restart, Language::kEnglish,
         "Removed:\n- 22 files and 1 folder\n- 4 shortcuts of the Start-menu group QARN, and the "
         "group\n- the desktop icon Zentrivo.lnk\n- the entry in the list of installed "
         "programs\n- the registry key HKEY_CURRENT_USER\\Software\\Obrelux\\QARN\n- UnInst.exe "
         "at the next restart of Windows\n\nKept:"},
        {&Outcome::uninstaller_at_restart, Language::kGerman,
         "- UnInst.exe beim n\xE4"
         "chsten Neustart von Windows\n"},
        {&Outcome::work_folder_removed, Language::kEnglish,
         "QARN\n- the work folder QARN.UNDO that an interrupted setup left\n\nKept:"},
        {&Outcome::work_folder_removed, Language::kGerman,
         "- der Arbeitsordner QARN.UNDO, den eine abgebrochene Installation hinterlassen hat\n"},
    };
    for (const auto& c : cases) {
        Outcome o = full_removal();
        EXPECT_FALSE(has(report_text(c.language, o), c.line)) << c.line;
        o.*c.flag = true;
        const std::string text = report_text(c.language, o);
        EXPECT_TRUE(has(text, c.line)) << text;
        EXPECT_TRUE(complete(o));
    }
}

TEST(UninstallReport, LinksLeftAloneAreNamedUnderTheirOwnHeading) {
    Outcome o = full_removal();
    o.refused = {"..\\x"};
    o.linked = {"Help\\QARN_DE.CHM", "QARN.UNDO\\link"};
    const std::string text = report_text(Language::kEnglish, o);
    EXPECT_TRUE(complete(o));  // nothing resisted: the rest went
    EXPECT_TRUE(has(text,
                    "lines of the list of installed files:\n- ..\\x\n\nLeft alone, because they "
                    "are links (junctions or symbolic links) or lie behind one, and removing "
                    "through a link could reach outside the folder:\n- Help\\QARN_DE.CHM\n- "
                    "QARN.UNDO\\link\n\nKept:"))
        << text;
    EXPECT_TRUE(has(report_text(Language::kGerman, o),
                    "Verzeichnisverbindungen sind oder hinter einer liegen, und das Entfernen "
                    "dar\xFC"
                    "ber au\xDF"
                    "erhalb des Ordners treffen k\xF6nnte:\n- Help\\QARN_DE.CHM"));
}

TEST(UninstallReport, TheGermanReportHasTheSameParts) {
    const std::string text = report_text(Language::kGerman, full_removal());
    EXPECT_TRUE(has(text, "Zentrivo wurde entfernt aus C:\\Program Files\\QARN"));
    EXPECT_TRUE(has(text,
                    "Entfernt:\n- 22 Dateien und 1 Ordner\n- 4 Verkn\xFCpfungen der Programmgruppe "
                    "QARN, und die Gruppe"));
    EXPECT_TRUE(has(text, "- das Desktop-Icon Zentrivo.lnk"));
    EXPECT_TRUE(has(text, "Behalten:\n- Ihre Einstellungen: C:\\users"));
}

}  // namespace
}  // namespace qarn::uninstall
