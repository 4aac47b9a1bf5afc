// What a handle must say of a file or folder for the uninstaller to remove it, and of the
// installation's folder for the uninstaller to work in it, with the system's answers made
// up: links as Windows shows them (the reparse-point attribute of the link itself) and as
// Wine shows a Unix symbolic link (followed, so only the final name tells).
#include <gtest/gtest.h>

#include <string>

#include "uninstall/handle_checks.h"

namespace qarn::uninstall {
namespace {

constexpr uint32_t kFileAttributes = 0x20;  // archive
constexpr uint32_t kVolume = 0x1234ABCD;

HandleFacts facts(uint32_t attributes, std::string final_name, uint32_t volume = kVolume) {
    HandleFacts f;
    f.attributes = attributes;
    f.volume = volume;
    f.final_name = std::move(final_name);
    return f;
}

const HandleFacts kFolder = facts(kAttributeDirectory, "\\Program Files\\QARN");

TEST(HandleChecks, OnlyWhatReallyLiesAtItsPlaceBelowTheFolderMayBeRemoved) {
    const struct {
        const char* what;
        HandleFacts item;
        ItemKind kind;
        const char* relative;
        Refusal want;
    } cases[] = {
        {"a plain file", facts(kFileAttributes, "\\Program Files\\QARN\\QARN.exe"),
         ItemKind::kFile, "QARN.exe", Refusal::kNone},
        {"letter case differs", facts(kFileAttributes, "\\PROGRAM FILES\\qarn\\Qarn.EXE"),
         ItemKind::kFile, "QARN.exe", Refusal::kNone},
        {"a read-only file", facts(kFileAttributes | kAttributeReadOnly,
                                   "\\Program Files\\QARN\\Help\\a.chm"),
         ItemKind::kFile, "Help\\a.chm", Refusal::kNone},
        {"an empty folder", facts(kAttributeDirectory, "\\Program Files\\QARN\\Help"),
         ItemKind::kFolder, "Help", Refusal::kNone},
        // Windows: the link itself is opened, and says so.
        {"a file link", facts(kFileAttributes | kAttributeReparsePoint,
                              "\\Program Files\\QARN\\QARN.exe"),
         ItemKind::kFile, "QARN.exe", Refusal::kLink},
        {"a junction", facts(kAttributeDirectory | kAttributeReparsePoint,
                             "\\Program Files\\QARN\\Help"),
         ItemKind::kFolder, "Help", Refusal::kLink},
        // Wine: a Unix link is followed; where it led is all that shows.
        {"followed to a file outside", facts(kFileAttributes, "\\Windows\\system32\\QARN.exe"),
         ItemKind::kFile, "QARN.exe", Refusal::kElsewhere},
        {"a linked folder on the way", facts(kFileAttributes, "\\Outside\\a.chm"),
         ItemKind::kFile, "Help\\a.chm", Refusal::kElsewhere},
        {"a look-alike folder", facts(kFileAttributes, "\\Program Files\\QARN2\\QARN.exe"),
         ItemKind::kFile, "QARN.exe", Refusal::kElsewhere},
        {"a mounted volume on the way",
         facts(kFileAttributes, "\\Program Files\\QARN\\Help\\a.chm", 0x99),
         ItemKind::kFile, "Help\\a.chm", Refusal::kOtherVolume},
        {"a folder under a file's name", facts(kAttributeDirectory, "\\Program Files\\QARN\\x"),
         ItemKind::kFile, "x", Refusal::kWrongKind},
        {"a file under a folder's name", facts(kFileAttributes, "\\Program Files\\QARN\\Help"),
         ItemKind::kFolder, "Help", Refusal::kWrongKind},
        {"no final name", facts(kFileAttributes, ""), ItemKind::kFile, "QARN.exe",
         Refusal::kUnknown},
        {"a final name with a drive", facts(kFileAttributes, "C:\\Program Files\\QARN\\QARN.exe"),
         ItemKind::kFile, "QARN.exe", Refusal::kUnknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check_item(c.item, c.kind, kFolder, c.relative), c.want) << c.what;
    }
}

TEST(HandleChecks, BelowARootOrAFolderOfUnknownPlaceNothingGoes) {
    const HandleFacts root = facts(kAttributeDirectory, "\\");
    EXPECT_EQ(check_item(facts(kFileAttributes, "\\QARN.exe"), ItemKind::kFile, root, "QARN.exe"),
              Refusal::kNone);
    const HandleFacts unknown = facts(kAttributeDirectory, "");
    EXPECT_EQ(check_item(facts(kFileAttributes, "\\QARN.exe"), ItemKind::kFile, unknown,
                         "QARN.exe"),
              Refusal::kUnknown);
    EXPECT_EQ(check_item(kFolder, ItemKind::kFolder, kFolder, ""), Refusal::kUnknown);
}

TEST(HandleChecks, TheInstallationsFolderMayNeitherBeNorLieInALink) {
    const HandleFacts root = facts(kAttributeDirectory, "\\");
    const HandleFacts substituted = facts(kAttributeDirectory, "\\Users\\me\\Drive");
    const struct {
        const char* what;
        HandleFacts folder;
        HandleFacts root;
        const char* below;
        Refusal want;
    } cases[] = {
        {"a real folder", kFolder, root, "Program Files\\QARN", Refusal::kNone},
        {"on a substituted drive", facts(kAttributeDirectory, "\\Users\\me\\Drive\\QARN"),
         substituted, "QARN", Refusal::kNone},
        {"the drive's root itself", facts(kAttributeDirectory, "\\"), root, "", Refusal::kNone},
        {"the folder is a junction", facts(kAttributeDirectory | kAttributeReparsePoint,
                                           "\\Program Files\\QARN"),
         root, "Program Files\\QARN", Refusal::kLink},
        {"a parent is a link", facts(kAttributeDirectory, "\\Elsewhere\\QARN"), root,
         "Program Files\\QARN", Refusal::kElsewhere},
        {"a parent is a mounted volume", facts(kAttributeDirectory, "\\QARN", 0x77), root,
         "Program Files\\QARN", Refusal::kOtherVolume},
        {"a file", facts(kFileAttributes, "\\Program Files\\QARN"), root, "Program Files\\QARN",
         Refusal::kWrongKind},
        {"no final name", facts(kAttributeDirectory, ""), root, "Program Files\\QARN",
         Refusal::kUnknown},
        {"the root's place unknown", kFolder, facts(kAttributeDirectory, ""),
         "Program Files\\QARN", Refusal::kUnknown},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(check_installation_folder(c.folder, c.root, c.below), c.want) << c.what;
    }
}

TEST(HandleChecks, APathSplitsAtItsDrivesOrSharesRoot) {
    const struct {
        const char* path;
        bool ok;
        const char* root;
        const char* below;
    } cases[] = {
        {"C:\\Program Files\\QARN\\", true, "C:\\", "Program Files\\QARN"},
        {"d:/Tools/QARN", true, "d:\\", "Tools\\QARN"},
        {"E:\\", true, "E:\\", ""},
        {"\\\\server\\share\\QARN\\", true, "\\\\server\\share\\", "QARN"},
        {"\\\\server\\share", true, "\\\\server\\share\\", ""},
        {"C:QARN", false, "", ""},
        {"QARN\\sub", false, "", ""},
        {"\\QARN", false, "", ""},
        {"\\\\?\\C:\\QARN", false, "", ""},
        {"\\\\.\\C:\\QARN", false, "", ""},
        {"\\\\server", false, "", ""},
        {"\\\\server\\\\QARN", false, "", ""},
        {"C:\\\\QARN", false, "", ""},
        {"C:\\a\\\\b", false, "", ""},
        {"1:\\QARN", false, "", ""},
    };
    for (const auto& c : cases) {
        std::string root = "unchanged";
        std::string below = "unchanged";
        EXPECT_EQ(split_at_root(c.path, root, below), c.ok) << c.path;
        if (!c.ok) continue;
        EXPECT_EQ(root, c.root) << c.path;
        EXPECT_EQ(below, c.below) << c.path;
    }
}

}  // namespace
}  // namespace qarn::uninstall
