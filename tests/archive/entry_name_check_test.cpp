#include <gtest/gtest.h>

#include "archive/entry_name_check.h"

namespace qarn {
namespace {

TEST(EntryNameCheck, AcceptsOrdinaryNames) {
    for (const char* name : {"QARN.EXE", "docs\\LICENSE.TXT", "a/b/c.txt", "..hidden", "a..b",
                             "CONSOLE.TXT", "COM10", "LPT0.txt", "nul_file", "x.y.z",
                             "\xE4nderung.txt", ".profile"}) {
        EXPECT_EQ(check_entry_name(name), NameRefusal::kNone) << name;
    }
}

TEST(EntryNameCheck, RefusesWhatLeadsOutOfTheTargetFolder) {
    EXPECT_EQ(check_entry_name(".."), NameRefusal::kParentComponent);
    EXPECT_EQ(check_entry_name("..\\x"), NameRefusal::kParentComponent);
    EXPECT_EQ(check_entry_name("a/../../x"), NameRefusal::kParentComponent);
    EXPECT_EQ(check_entry_name("C:x"), NameRefusal::kDriveOrColon);
    EXPECT_EQ(check_entry_name("C:\\Windows\\x"), NameRefusal::kDriveOrColon);
    EXPECT_EQ(check_entry_name("file.txt:stream"), NameRefusal::kDriveOrColon);
    EXPECT_EQ(check_entry_name("\\Windows\\x"), NameRefusal::kLeadingSeparator);
    EXPECT_EQ(check_entry_name("/etc/passwd"), NameRefusal::kLeadingSeparator);
    EXPECT_EQ(check_entry_name("\\\\server\\share\\x"), NameRefusal::kLeadingSeparator);
    EXPECT_EQ(check_entry_name("//server/share"), NameRefusal::kLeadingSeparator);
}

TEST(EntryNameCheck, RefusesDeviceNamesWithOrWithoutExtensionInAnyFolder) {
    for (const char* name : {"CON", "con", "PRN.txt", "aux.dat", "NUL", "Com1", "COM9.log", "lpt1",
                             "LPT9.x.y", "dir\\NUL.txt", "CON .txt", "CONIN$", "COM\xB9"}) {
        EXPECT_EQ(check_entry_name(name), NameRefusal::kReservedDevice) << name;
    }
}

TEST(EntryNameCheck, RefusesComponentsEndingInDotOrSpaceAndOddCharacters) {
    EXPECT_EQ(check_entry_name("name."), NameRefusal::kTrailingDotOrSpace);
    EXPECT_EQ(check_entry_name("dir. \\x"), NameRefusal::kTrailingDotOrSpace);
    EXPECT_EQ(check_entry_name("."), NameRefusal::kTrailingDotOrSpace);
    EXPECT_EQ(check_entry_name("a\\.\\b"), NameRefusal::kTrailingDotOrSpace);
    EXPECT_EQ(check_entry_name("a\\\\b"), NameRefusal::kEmptyComponent);
    EXPECT_EQ(check_entry_name("dir\\"), NameRefusal::kEmptyComponent);
    EXPECT_EQ(check_entry_name("a\tb"), NameRefusal::kControlCharacter);
    EXPECT_EQ(check_entry_name("what?.txt"), NameRefusal::kControlCharacter);
    EXPECT_EQ(check_entry_name("a*b"), NameRefusal::kControlCharacter);
    EXPECT_EQ(check_entry_name(""), NameRefusal::kEmpty);
}

}  // namespace
}  // namespace qarn
