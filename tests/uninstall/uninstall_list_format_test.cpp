// The uninstall list's text: what mksetup writes, and how the uninstaller reads it,
// damaged and hostile lists included.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "uninstall/uninstall_list.h"

namespace qarn {
namespace {

std::vector<std::string> names_of(const UninstallList& list) {
    std::vector<std::string> out;
    for (const ListedName& n : list.names) out.push_back(n.name);
    return out;
}

std::vector<std::string> refused_of(const UninstallList& list) {
    std::vector<std::string> out;
    for (const RefusedListLine& r : list.refused) out.push_back(r.text);
    return out;
}

std::string list_of(const std::vector<std::string>& lines) {
    std::string text = std::string(kUninstallListTag) + "\r\n";
    for (const std::string& line : lines) text += line + "\r\n";
    return text;
}

TEST(UninstallListText, TagThenEveryNameThenTheListItselfEachEndedByCrLf) {
    EXPECT_EQ(uninstall_list_text({"QARN.exe", "Help\\a.chm"}, "UNINST.LST"),
              "QARN uninstall list 1\r\nQARN.exe\r\nHelp\\a.chm\r\nUNINST.LST\r\n");
    EXPECT_EQ(uninstall_list_text({}, "L.LST"), "QARN uninstall list 1\r\nL.LST\r\n");
}

TEST(UninstallListText, WhatIsWrittenReadsBackNameForName) {
    const std::vector<std::string> names = {"QARN.exe", "Help\\deep\\x.bin", "readme.txt"};
    const UninstallList list = read_uninstall_list(uninstall_list_text(names, "UNINST.LST"));
    EXPECT_EQ(list.verdict, ListVerdict::kRead);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"QARN.exe", "Help\\deep\\x.bin",
                                                        "readme.txt", "UNINST.LST"}));
    EXPECT_TRUE(list.refused.empty());
    EXPECT_EQ(list.names[0].line, 2u);
    EXPECT_EQ(list.names[3].line, 5u);
}

TEST(UninstallListName, APlainNameTheInstallerAcceptsAndNoEntryUses) {
    const std::vector<std::string> entries = {"QARN.exe", "Help\\a.chm", "uninst.lst.bak"};
    EXPECT_EQ(uninstall_list_name_problem("UNINST.LST", entries), "");
    EXPECT_NE(uninstall_list_name_problem("", entries), "");
    EXPECT_NE(uninstall_list_name_problem("qarn.EXE", entries).find("a file of that name"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem("HELP", entries).find("a folder of that name"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem("Help\\list.lst", entries).find("plain file name"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem("a/b", entries).find("plain file name"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem("CON.LST", entries).find("refused by the installer"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem("list.", entries).find("refused by the installer"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem("l\xE4st.lst", entries).find("printable ASCII"),
              std::string::npos);
    EXPECT_NE(uninstall_list_name_problem(std::string(260, 'a'), entries).find("259"),
              std::string::npos);
}

TEST(UninstallListReading, WithoutTheTagNothingIsUsed) {
    for (const std::string& text : {std::string(""), std::string("QARN.exe\r\n"),
                                    std::string("QARN uninstall list 2\r\nQARN.exe\r\n"),
                                    std::string(" QARN uninstall list 1\r\nQARN.exe\r\n"),
                                    std::string("\r\nQARN uninstall list 1\r\nQARN.exe\r\n")}) {
        const UninstallList list = read_uninstall_list(text);
        EXPECT_EQ(list.verdict, ListVerdict::kNoTag) << text;
        EXPECT_TRUE(list.names.empty()) << text;
    }
}

TEST(UninstallListReading, AListOverTheLimitIsNotRead) {
    std::string text = list_of({"a.txt"});
    text.resize(kUninstallListMaxBytes + 1, 'x');
    const UninstallList list = read_uninstall_list(text);
    EXPECT_EQ(list.verdict, ListVerdict::kTooLarge);
    EXPECT_TRUE(list.names.empty());
}

TEST(UninstallListReading, LinesLeadingOutOfTheFolderAreRefusedOneByOne) {
    const UninstallList list = read_uninstall_list(list_of({
        "QARN.exe",
        "..\\outside.txt",
        "Help\\..\\..\\outside.txt",
        "C:\\Windows\\win.ini",
        "\\Windows\\win.ini",
        "\\\\server\\share\\x",
        "/etc/passwd",
        "CON",
        "nul.txt",
        "Help\\COM1.log",
        "a:stream",
        "trailing. ",
        "a\\\\b",
        "a\\",
        "what?.txt",
        "readme.txt",
    }));
    EXPECT_EQ(list.verdict, ListVerdict::kRead);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"QARN.exe", "readme.txt"}));
    ASSERT_EQ(list.refused.size(), 14u);
    EXPECT_EQ(list.refused[0].text, "..\\outside.txt");
    EXPECT_EQ(list.refused[0].line, 3u);
    EXPECT_EQ(list.refused[0].refusal, NameRefusal::kParentComponent);
    EXPECT_EQ(list.refused[2].refusal, NameRefusal::kDriveOrColon);
    EXPECT_EQ(list.refused[3].refusal, NameRefusal::kLeadingSeparator);
    EXPECT_EQ(list.refused[4].refusal, NameRefusal::kLeadingSeparator);
    EXPECT_EQ(list.refused[5].refusal, NameRefusal::kLeadingSeparator);
    EXPECT_EQ(list.refused[6].refusal, NameRefusal::kReservedDevice);
    EXPECT_EQ(list.refused[7].refusal, NameRefusal::kReservedDevice);
    EXPECT_EQ(list.refused[8].refusal, NameRefusal::kReservedDevice);
    EXPECT_NE(refused_line_reason(list.refused[0]).find(".."), std::string::npos);
}

TEST(UninstallListReading, BytesOutsidePrintableAsciiAndOverlongLinesAreRefused) {
    const std::string long_name(260, 'n');
    const UninstallList list = read_uninstall_list(
        list_of({"gr\xFC\xDF"
                 "e.txt",
                 std::string("tab\there"), long_name, std::string(259, 'm'), "ok.txt"}));
    EXPECT_EQ(names_of(list), (std::vector<std::string>{std::string(259, 'm'), "ok.txt"}));
    ASSERT_EQ(list.refused.size(), 3u);
    EXPECT_EQ(list.refused[0].problem, ListLineProblem::kNotPlainAscii);
    EXPECT_EQ(list.refused[1].problem, ListLineProblem::kNotPlainAscii);
    EXPECT_EQ(list.refused[2].problem, ListLineProblem::kTooLong);
    EXPECT_EQ(refused_line_reason(list.refused[2]), "longer than 259 characters");
}

TEST(UninstallListReading, LfAloneSlashesBlankLinesAndRepeatsAreTakenCalmly) {
    const UninstallList list = read_uninstall_list(
        "QARN uninstall list 1\nHelp/a.chm\n\n\r\nqarn.EXE\r\nQARN.exe\nHELP\\A.CHM\nlast.txt");
    EXPECT_EQ(list.verdict, ListVerdict::kRead);
    EXPECT_EQ(names_of(list), (std::vector<std::string>{"Help\\a.chm", "qarn.EXE", "last.txt"}));
    EXPECT_TRUE(list.refused.empty());
    EXPECT_EQ(refused_of(list), std::vector<std::string>{});
}

TEST(UninstallListReading, ACarriageReturnInsideALineIsNoName) {
    const UninstallList list = read_uninstall_list(list_of({"a.txt\rb.txt"}));
    EXPECT_TRUE(list.names.empty());
    ASSERT_EQ(list.refused.size(), 1u);
    EXPECT_EQ(list.refused[0].problem, ListLineProblem::kNotPlainAscii);
}

}  // namespace
}  // namespace qarn
