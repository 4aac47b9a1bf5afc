// The command line on which the uninstaller hands the removal to its copy: what is written
// reads back, and nothing else is taken for such a request.
#include <gtest/gtest.h>

#include "uninstall/finish_command.h"

namespace qarn::uninstall {
namespace {

TEST(FinishCommand, WhatIsWrittenReadsBackBlanksAndTrailingBackslashesIncluded) {
    FinishRequest request;
    request.wait_handle = 0x1A4;
    request.language = Language::kGerman;
    request.uninstaller_path = "C:\\Program Files\\My QARN\\UnInst.exe";
    const std::string line = finish_command_line("C:\\Temp\\QARN-UnInst-0000ABCD.exe", request);
    EXPECT_EQ(line,
              "\"C:\\Temp\\QARN-UnInst-0000ABCD.exe\" /finish 1A4 de C:\\Program Files\\My "
              "QARN\\UnInst.exe");
    const std::string arguments = line.substr(line.find(" /finish"));
    FinishRequest read;
    ASSERT_TRUE(parse_finish_arguments(arguments, read));
    EXPECT_EQ(read.wait_handle, 0x1A4u);
    EXPECT_EQ(read.language, Language::kGerman);
    EXPECT_EQ(read.uninstaller_path, request.uninstaller_path);

    request.wait_handle = 0xFFFFFFFFFFFFFFF0u;
    request.language = Language::kEnglish;
    const std::string wide = finish_command_line("x.exe", request);
    ASSERT_TRUE(parse_finish_arguments(wide.substr(wide.find(' ')), read));
    EXPECT_EQ(read.wait_handle, 0xFFFFFFFFFFFFFFF0u);
    EXPECT_EQ(read.language, Language::kEnglish);
}

TEST(FinishCommand, AnythingElseIsNoRequest) {
    FinishRequest read;
    EXPECT_FALSE(parse_finish_arguments("", read));
    EXPECT_FALSE(parse_finish_arguments("/S", read));
    EXPECT_FALSE(parse_finish_arguments("/finish", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 en", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 en   ", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1G4 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 11112222333344445 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 fr C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/FINISH 1A4 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 en " + std::string(260, 'p'), read));
    EXPECT_TRUE(parse_finish_arguments("  /finish  0  en  C:\\QARN\\UnInst.exe  ", read));
    EXPECT_EQ(read.wait_handle, 0u);
    EXPECT_EQ(read.uninstaller_path, "C:\\QARN\\UnInst.exe");
}

}  // namespace
}  // namespace qarn::uninstall
