// The command line on which the uninstaller hands the removal to its copy: what is written
// reads back, and nothing else is taken for such a request.
#include <gtest/gtest.h>

#include "uninstall/finish_command.h"

namespace qarn::uninstall {
namespace {

TEST(FinishCommand, WhatIsWrittenReadsBackBlanksAndTrailingBackslashesIncluded) {
    FinishRequest request;
    request.wait_handle = 0x1A4;
    request.copy_file = 0x2C;
    request.copy_folder = 0x30;
    request.language = Language::kGerman;
    request.uninstaller_path = "C:\\Program Files\\My QARN\\UnInst.exe";
    const std::string line = finish_command_line("C:\\Temp\\QARN-UnInst-AB\\UnInst.exe", request);
    EXPECT_EQ(line,
              "\"C:\\Temp\\QARN-UnInst-AB\\UnInst.exe\" /finish 1A4 2C 30 de C:\\Program "
              "Files\\My QARN\\UnInst.exe");
    const std::string arguments = line.substr(line.find(" /finish"));
    FinishRequest read;
    ASSERT_TRUE(parse_finish_arguments(arguments, read));
    EXPECT_EQ(read.wait_handle, 0x1A4u);
    EXPECT_EQ(read.copy_file, 0x2Cu);
    EXPECT_EQ(read.copy_folder, 0x30u);
    EXPECT_EQ(read.language, Language::kGerman);
    EXPECT_EQ(read.uninstaller_path, request.uninstaller_path);

    request.wait_handle = 0xFFFFFFFFFFFFFFF0u;
    request.copy_folder = 0;
    request.language = Language::kEnglish;
    const std::string wide = finish_command_line("x.exe", request);
    ASSERT_TRUE(parse_finish_arguments(wide.substr(wide.find(' ')), read));
    EXPECT_EQ(read.wait_handle, 0xFFFFFFFFFFFFFFF0u);
    EXPECT_EQ(read.copy_folder, 0u);
    EXPECT_EQ(read.language, Language::kEnglish);
}

TEST(FinishCommand, TheCopysFolderIsNamedByAllSixteenRandomBytes) {
    uint8_t random[16] = {0x00, 0x1F, 0xA0, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 0xED};
    EXPECT_EQ(copy_folder_name(random), "QARN-UnInst-001FA0FF0102030405060708090A0BED");
    for (uint8_t& b : random) {
        const uint8_t was = b;
        const std::string before = copy_folder_name(random);
        b ^= 0x10;
        EXPECT_NE(copy_folder_name(random), before);
        b = was;
    }
}

TEST(FinishCommand, AnythingElseIsNoRequest) {
    FinishRequest read;
    EXPECT_FALSE(parse_finish_arguments("", read));
    EXPECT_FALSE(parse_finish_arguments("/S", read));
    EXPECT_FALSE(parse_finish_arguments("/finish", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 2C 30 en", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 2C 30 en   ", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 2C en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1G4 2C 30 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 2C 3x en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(
        parse_finish_arguments("/finish 1A4 11112222333344445 30 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 2C 30 fr C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/FINISH 1A4 2C 30 en C:\\QARN\\UnInst.exe", read));
    EXPECT_FALSE(parse_finish_arguments("/finish 1A4 2C 30 en " + std::string(260, 'p'), read));
    EXPECT_TRUE(parse_finish_arguments("  /finish  0 0  0  en  C:\\QARN\\UnInst.exe  ", read));
    EXPECT_EQ(read.wait_handle, 0u);
    EXPECT_EQ(read.uninstaller_path, "C:\\QARN\\UnInst.exe");
}

}  // namespace
}  // namespace qarn::uninstall
