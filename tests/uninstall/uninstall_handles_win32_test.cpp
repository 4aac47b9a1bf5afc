// The uninstaller's system calls for removing things, on real files: removal through handles
// (links left alone, outside files untouched, a folder only when empty), and the
// installation's folder refused when it is or lies in a link. Under Wine the links are Unix
// symbolic links, the only kind Wine makes (and it follows them).
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/windows_test_support.h"
#include "uninstall/handle_removal_win32.h"

namespace qarn::uninstall {
namespace {

namespace fs = std::filesystem;

std::string own_folder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

bool exists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

void write_file(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

std::string read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A scratch folder of the test's own with an installation-like folder and one outside it:
//   <root>\QARN\          the folder things are removed from
//   <root>\Outside\       files that must survive
class HandleRemoval : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = own_folder() + "uninstall-handles-" + std::to_string(GetCurrentProcessId());
        test::remove_tree(root_);
        fs::create_directories(root_ + "\\QARN\\Help");
        fs::create_directories(root_ + "\\Outside");
        folder_ = root_ + "\\QARN\\";
        write_file(root_ + "\\Outside\\QARN.exe", "outside");
    }
    void TearDown() override { test::remove_tree(root_); }

    void link(const std::string& name, const std::string& target, bool folder) {
        std::string why;
        ASSERT_TRUE(test::make_symbolic_link(folder_ + name, target, folder, why)) << why;
    }

    std::string root_;
    std::string folder_;
};

TEST_F(HandleRemoval, PlainFilesAndEmptyFoldersGoThroughTheirHandles) {
    write_file(folder_ + "QARN.exe", "product");
    write_file(folder_ + "Help\\a.chm", "help");
    write_file(folder_ + "READ.ME", "read only");
    SetFileAttributesA((folder_ + "READ.ME").c_str(), FILE_ATTRIBUTE_READONLY);
    Folder folder = open_installation_folder(folder_);
    ASSERT_TRUE(folder.usable());

    const struct {
        const char* name;
        ItemKind kind;
        Removal want;
    } steps[] = {
        {"QARN.exe", ItemKind::kFile, Removal::kRemoved},
        {"QARN.exe", ItemKind::kFile, Removal::kGone},
        {"READ.ME", ItemKind::kFile, Removal::kRemoved},
        {"Help", ItemKind::kFolder, Removal::kNotEmpty},
        {"Help", ItemKind::kFile, Removal::kRefused},
        {"Help\\a.chm", ItemKind::kFile, Removal::kRemoved},
        {"Help", ItemKind::kFolder, Removal::kRemoved},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(remove_item(folder, step.name, step.kind), step.want) << step.name;
    }
    EXPECT_TRUE(fs::is_empty(folder_));
    EXPECT_EQ(remove_folder_itself(folder), Removal::kRemoved);
    EXPECT_FALSE(exists(folder_));
    EXPECT_EQ(read_file(root_ + "\\Outside\\QARN.exe"), "outside");
}

TEST_F(HandleRemoval, AFileInUseIsLeftAsItWas) {
    write_file(folder_ + "QARN.exe", "product");
    const Folder folder = open_installation_folder(folder_);
    // Open as a running program's file is: without leave to delete it.
    const OwnedHandle held(CreateFileA((folder_ + "QARN.exe").c_str(), GENERIC_READ,
                                       FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    EXPECT_EQ(remove_item(folder, "QARN.exe", ItemKind::kFile), Removal::kFailed);
    EXPECT_EQ(read_file(folder_ + "QARN.exe"), "product");
}

TEST_F(HandleRemoval, ALinkIsNeitherFollowedNorRemovedAndWhatItLeadsToStays) {
    link("QARN.exe", root_ + "\\Outside\\QARN.exe", false);
    link("Docs", root_ + "\\Outside", true);
    const Folder folder = open_installation_folder(folder_);
    ASSERT_TRUE(folder.usable());
    const struct {
        const char* name;
        ItemKind kind;
    } links[] = {
        {"QARN.exe", ItemKind::kFile},       // a file link named like a product file
        {"Docs\\QARN.exe", ItemKind::kFile},  // a file behind a folder link
        {"Docs", ItemKind::kFolder},          // the folder link itself
    };
    for (const auto& l : links) {
        Refusal why = Refusal::kNone;
        EXPECT_EQ(remove_item(folder, l.name, l.kind, &why), Removal::kRefused) << l.name;
        EXPECT_TRUE(why == Refusal::kLink || why == Refusal::kElsewhere) << l.name;
        EXPECT_EQ(read_file(root_ + "\\Outside\\QARN.exe"), "outside") << l.name;
    }
    EXPECT_TRUE(exists(folder_ + "QARN.exe"));
    EXPECT_TRUE(exists(folder_ + "Docs"));
    // Not read through either.
    EXPECT_FALSE(open_for_reading(folder, "QARN.exe"));
    write_file(folder_ + "UNINST.LST", "list");
    EXPECT_TRUE(open_for_reading(folder, "UNINST.LST"));
}

TEST_F(HandleRemoval, TheInstallationsFolderIsRefusedWhenItIsOrLiesInALink) {
    fs::create_directories(root_ + "\\Real\\QARN");
    std::string why;
    ASSERT_TRUE(test::make_symbolic_link(root_ + "\\Via", root_ + "\\Real", true, why)) << why;
    ASSERT_TRUE(test::make_symbolic_link(root_ + "\\Linked", root_ + "\\Real\\QARN", true, why))
        << why;
    EXPECT_TRUE(open_installation_folder(root_ + "\\Real\\QARN\\").usable());
    // Written in another letter case, and without the trailing '\'.
    std::string lower = root_ + "\\real\\qarn";
    EXPECT_TRUE(open_installation_folder(lower).usable());

    for (const std::string& path : {root_ + "\\Via\\QARN\\", root_ + "\\Linked\\"}) {
        const Folder folder = open_installation_folder(path);
        EXPECT_FALSE(folder.usable()) << path;
        EXPECT_FALSE(folder.missing) << path;
        EXPECT_TRUE(folder.refusal == Refusal::kLink || folder.refusal == Refusal::kElsewhere)
            << path;
        write_file(root_ + "\\Real\\QARN\\x.txt", "kept");
        EXPECT_EQ(remove_item(folder, "x.txt", ItemKind::kFile), Removal::kRefused) << path;
        EXPECT_TRUE(exists(root_ + "\\Real\\QARN\\x.txt")) << path;
    }
    const Folder missing = open_installation_folder(root_ + "\\Nothing\\");
    EXPECT_TRUE(missing.missing);
    EXPECT_FALSE(missing.usable());
}

TEST_F(HandleRemoval, ASystemFolderMayBeALinkButNothingBehindALinkBelowItGoes) {
    std::string why;
    ASSERT_TRUE(test::make_symbolic_link(root_ + "\\Desktop", root_ + "\\QARN", true, why)) << why;
    write_file(folder_ + "Zentrivo.lnk", "icon");
    link("Other.lnk", root_ + "\\Outside\\QARN.exe", false);
    const Folder desktop = open_system_folder(root_ + "\\Desktop");
    ASSERT_TRUE(desktop.usable());
    EXPECT_EQ(remove_item(desktop, "Other.lnk", ItemKind::kFile), Removal::kRefused);
    EXPECT_EQ(remove_item(desktop, "Zentrivo.lnk", ItemKind::kFile), Removal::kRemoved);
    EXPECT_FALSE(exists(folder_ + "Zentrivo.lnk"));
    EXPECT_EQ(read_file(root_ + "\\Outside\\QARN.exe"), "outside");
}

}  // namespace
}  // namespace qarn::uninstall
