// The Start-menu group and the desktop icon, made into scratch folders and read back through
// the shell link object.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "system/shortcuts_win32.h"
#include "tests/support/test_support.h"
#include "tests/support/windows_test_support.h"

namespace qarn {
namespace {

namespace fs = std::filesystem;
using test::read_link;
using test::TempDir;

class Shortcuts : public ::testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(product_.path());
        fs::create_directories(common_.path());
        fs::create_directories(user_.path());
        for (const char* name : {"QARN.exe", "LICENSE.TXT", "ORDER.HTM", "BESTELL.HTM"}) {
            install(name);
        }
    }
    void install(const char* name) { test::write_file(product_ / name, test::text_bytes(name)); }

    std::string target() const { return product_.installer_path() + "\\"; }
    std::string group() const { return common_.installer_path() + "\\QARN"; }
    std::string link(const std::string& name) const { return group() + "\\" + name + ".lnk"; }
    bool has_link(const std::string& name) const {
        return fs::exists(common_ / "QARN" / (name + ".lnk"));
    }
    int links_in_group() const {
        int n = 0;
        for (const auto& entry : fs::directory_iterator(common_ / "QARN")) {
            (void)entry;
            ++n;
        }
        return n;
    }

    test::ComScope com_;
    TempDir product_;
    TempDir common_;
    TempDir user_;
};

TEST_F(Shortcuts, TheGroupHoldsTheProgramAndEveryDocument) {
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(true));
    const auto program = read_link(link("Zentrivo"));
    ASSERT_TRUE(program.loaded);
    EXPECT_EQ(program.target, target() + "QARN.exe");
    EXPECT_EQ(program.working_folder, product_.installer_path());
    EXPECT_EQ(program.description, "Zentrivo");
    const struct {
        const char* name;
        const char* file;
    } documents[] = {{"License", "LICENSE.TXT"}, {"Order", "ORDER.HTM"}, {"Bestellung", "BESTELL.HTM"}};
    for (const auto& d : documents) {
        const auto info = read_link(link(d.name));
        ASSERT_TRUE(info.loaded) << d.name;
        EXPECT_EQ(info.target, target() + d.file);
        EXPECT_EQ(info.working_folder, product_.installer_path());
        EXPECT_EQ(info.description, d.name);
    }
    EXPECT_EQ(links_in_group(), 4);
}

TEST_F(Shortcuts, WithoutGermanThereIsNoGermanOrderFormShortcut) {
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(false));
    EXPECT_TRUE(has_link("License"));
    EXPECT_TRUE(has_link("Order"));
    EXPECT_FALSE(has_link("Bestellung"));
    EXPECT_TRUE(fs::exists(product_ / "BESTELL.HTM"));
}

TEST_F(Shortcuts, TheDocumentListLeavesOnlyTheGermanOrderFormOut) {
    const DocumentList with = document_list(true);
    const DocumentList without = document_list(false);
    EXPECT_STREQ(with.rows[0].shortcut_name, "License");
    EXPECT_STREQ(with.rows[0].file_name, "LICENSE.TXT");
    EXPECT_STREQ(with.rows[1].shortcut_name, "Order");
    EXPECT_STREQ(with.rows[1].file_name, "ORDER.HTM");
    EXPECT_STREQ(with.rows[2].shortcut_name, "Bestellung");
    EXPECT_STREQ(with.rows[2].file_name, "BESTELL.HTM");
    EXPECT_STREQ(without.rows[2].file_name, "");
    EXPECT_STREQ(without.rows[1].file_name, "ORDER.HTM");
}

TEST_F(Shortcuts, AMissingDocumentGetsNoShortcutWhileTheOthersAreMade) {
    fs::remove(product_ / "ORDER.HTM");
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(true));
    EXPECT_TRUE(has_link("License"));
    EXPECT_FALSE(has_link("Order"));
    EXPECT_TRUE(has_link("Bestellung"));
}

TEST_F(Shortcuts, AnEmptyLicenceRowEndsTheDocumentStep) {
    DocumentList documents = document_list(true);
    documents.rows[0].file_name = "";
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(), documents);
    EXPECT_TRUE(has_link("Zentrivo"));
    EXPECT_FALSE(has_link("License"));
    EXPECT_FALSE(has_link("Order"));
    EXPECT_FALSE(has_link("Bestellung"));
}

TEST_F(Shortcuts, AnEmptyOrderRowIsOnlySkipped) {
    DocumentList documents = document_list(true);
    documents.rows[1].file_name = "";
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(), documents);
    EXPECT_TRUE(has_link("License"));
    EXPECT_FALSE(has_link("Order"));
    EXPECT_TRUE(has_link("Bestellung"));
}

TEST_F(Shortcuts, TheProgramShortcutNeedsTheProgram) {
    fs::remove(product_ / "QARN.exe");
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(true));
    EXPECT_FALSE(has_link("Zentrivo"));
    EXPECT_TRUE(has_link("License"));
}

TEST_F(Shortcuts, TheUsersFolderIsUsedOnlyWhenThereIsNoCommonOne) {
    create_start_menu_group_in("", user_.installer_path().c_str(), target().c_str(),
                               document_list(true));
    EXPECT_TRUE(fs::exists(user_ / "QARN" / "Zentrivo.lnk"));
}

TEST_F(Shortcuts, ACommonFolderThatRefusesTheGroupIsNotReplacedByTheUsersFolder) {
    // The common programs folder is named but the group cannot be made in it (its parent
    // is missing): no group anywhere.
    const std::string refusing = common_.installer_path() + "\\missing\\Programs";
    create_start_menu_group_in(refusing.c_str(), user_.installer_path().c_str(), target().c_str(),
                               document_list(true));
    EXPECT_FALSE(fs::exists(common_ / "missing"));
    EXPECT_TRUE(fs::is_empty(user_.path()));
}

TEST_F(Shortcuts, NoProgramsFolderAtAllMakesNothing) {
    create_start_menu_group_in("", "", target().c_str(), document_list(true));
    EXPECT_TRUE(fs::is_empty(common_.path()));
    EXPECT_TRUE(fs::is_empty(user_.path()));
}

TEST_F(Shortcuts, RunningTheStepTwiceLeavesOneSetOfLinks) {
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(true));
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(true));
    EXPECT_EQ(links_in_group(), 4);
}

TEST_F(Shortcuts, AnExistingGroupIsUsedAsItIs) {
    fs::create_directories(common_ / "QARN");
    test::write_file(common_ / "QARN" / "Notes.txt", test::text_bytes("the user's own"));
    create_start_menu_group_in(common_.installer_path().c_str(), "", target().c_str(),
                               document_list(true));
    EXPECT_EQ(links_in_group(), 5);
}

TEST_F(Shortcuts, TheDesktopIconIsMadeEvenWithoutTheProgram) {
    fs::remove(product_ / "QARN.exe");
    const std::string program = target() + "QARN.exe";
    create_desktop_icon_in(user_.installer_path().c_str(), program.c_str());
    const auto info = read_link(user_.installer_path() + "\\Zentrivo.lnk");
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(info.target, program);
    EXPECT_EQ(info.working_folder, product_.installer_path());
    EXPECT_EQ(info.description, "Zentrivo");
}

TEST_F(Shortcuts, AProgramAtADriveRootWorksInTheRootItself) {
    create_desktop_icon_in(user_.installer_path().c_str(), "C:\\QARN.exe");
    const auto info = read_link(user_.installer_path() + "\\Zentrivo.lnk");
    ASSERT_TRUE(info.loaded);
    EXPECT_EQ(info.working_folder, "C:\\");
}

TEST_F(Shortcuts, NoDesktopFolderMakesNoIcon) {
    create_desktop_icon_in("", (target() + "QARN.exe").c_str());
    EXPECT_TRUE(fs::is_empty(user_.path()));
}

TEST_F(Shortcuts, AShellLinkThatCannotBeSavedReportsFailure) {
    const std::string nowhere = user_.installer_path() + "\\missing\\x.lnk";
    EXPECT_TRUE(FAILED(create_shell_link("C:\\x.exe", "C:\\", nowhere.c_str(), "x")));
    const std::string somewhere = user_.installer_path() + "\\x.lnk";
    EXPECT_EQ(create_shell_link("C:\\x.exe", "C:\\", somewhere.c_str(), "x"), S_OK);
}

TEST_F(Shortcuts, AGroupPathThatWouldNotFitMakesNothing) {
    const std::string deep = common_.installer_path() + "\\" + std::string(240, 'p');
    create_start_menu_group_in(deep.c_str(), "", target().c_str(), document_list(true));
    EXPECT_TRUE(fs::is_empty(common_.path()));
}

}  // namespace
}  // namespace qarn
