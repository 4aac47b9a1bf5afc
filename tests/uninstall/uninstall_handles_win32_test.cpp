// The uninstaller's system calls for removing things and for its copy's folder, on real files:
// removal through handles (links left alone, outside files untouched, a folder only when
// empty), the installation's folder refused when it is or lies in a link, and the copy's
// folder made in one step with its access list. Under Wine the links are Unix symbolic
// links, the only kind Wine makes (and it follows them).
#include <gtest/gtest.h>

#include <windows.h>
#include <aclapi.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/windows_test_support.h"
#include "uninstall/handle_removal_win32.h"
#include "uninstall/self_removal_win32.h"

namespace qarn::uninstall {
namespace {

namespace fs = std::filesystem;

std::string own_folder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

std::string temp_folder() {
    char path[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof path, path);
    return std::string(path, n < sizeof path ? n : 0);
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
        // In the temporary folder, not beside the program: the build may lie on a volume
        // mounted below its drive's root (a share in a virtual machine), and the
        // installation's folder is refused there by design.
        root_ = temp_folder() + "uninstall-handles-" + std::to_string(GetCurrentProcessId());
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

// --- The copy's folder ------------------------------------------------------------------

std::string sid_text(PSID sid) {
    char name[256];
    char domain[256];
    DWORD n = sizeof name;
    DWORD d = sizeof domain;
    SID_NAME_USE use;
    return LookupAccountSidA(nullptr, sid, name, &n, domain, &d, &use) ? name : "?";
}

bool same_sid(PSID sid, WELL_KNOWN_SID_TYPE type) {
    alignas(DWORD) unsigned char known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

struct Ace {
    PSID sid;
    ACCESS_MASK mask;
    BYTE flags;
};

std::vector<Ace> aces_of(PACL acl) {
    std::vector<Ace> out;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) break;
        auto* allowed = static_cast<ACCESS_ALLOWED_ACE*>(ace);
        EXPECT_EQ(allowed->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
        out.push_back({&allowed->SidStart, allowed->Mask, allowed->Header.AceFlags});
    }
    return out;
}

TEST(CopyFolderAccess, OnlyAdministratorsAndSystemWhenElevatedOnlyTheAccountOtherwise) {
    for (const bool elevated : {true, false}) {
        SCOPED_TRACE(elevated ? "elevated" : "not elevated");
        PrivateAccess access;
        ASSERT_TRUE(access.build(elevated));
        SECURITY_DESCRIPTOR_CONTROL control = 0;
        DWORD revision = 0;
        ASSERT_TRUE(GetSecurityDescriptorControl(access.descriptor(), &control, &revision));
        EXPECT_NE(control & SE_DACL_PROTECTED, 0);  // nothing from the temporary folder
        BOOL present = FALSE;
        BOOL defaulted = FALSE;
        PACL acl = nullptr;
        ASSERT_TRUE(GetSecurityDescriptorDacl(access.descriptor(), &present, &acl, &defaulted));
        ASSERT_TRUE(present && acl != nullptr);
        const std::vector<Ace> aces = aces_of(acl);
        ASSERT_EQ(aces.size(), elevated ? 2u : 1u);
        for (const Ace& ace : aces) {
            EXPECT_EQ(ace.mask, static_cast<ACCESS_MASK>(FILE_ALL_ACCESS)) << sid_text(ace.sid);
            EXPECT_EQ(ace.flags, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE) << sid_text(ace.sid);
        }
        if (elevated) {
            EXPECT_TRUE(same_sid(aces[0].sid, WinBuiltinAdministratorsSid)) << sid_text(aces[0].sid);
            EXPECT_TRUE(same_sid(aces[1].sid, WinLocalSystemSid)) << sid_text(aces[1].sid);
        } else {
            HANDLE token = nullptr;
            ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
            const OwnedHandle owned(token);
            alignas(TOKEN_USER) unsigned char user[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
            DWORD size = 0;
            ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, sizeof user, &size));
            EXPECT_TRUE(EqualSid(aces[0].sid, reinterpret_cast<TOKEN_USER*>(user)->User.Sid));
        }
    }
}

TEST(CopyFolder, IsMadeInOneStepWithItsAccessListAndNeverOverWhatIsThere) {
    const std::string parent = own_folder();
    uint8_t a[16];
    uint8_t b[16];
    ASSERT_TRUE(random_bytes(a));
    ASSERT_TRUE(random_bytes(b));
    EXPECT_NE(copy_folder_name(a), copy_folder_name(b));
    const std::string name = copy_folder_name(a);

    PrivateAccess access;
    ASSERT_TRUE(access.build(PrivateAccess::this_process_is_elevated()));
    OwnedHandle folder;
    ASSERT_TRUE(make_private_folder(parent, name, access, false, folder));
    EXPECT_TRUE(fs::is_directory(parent + name));
    // What the system keeps of the access list. Wine keeps it as the Unix mode, which gives
    // the owner and SYSTEM full control; either way nobody else is let in, where a folder
    // made without it gives everyone read access.
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_EQ(GetNamedSecurityInfoA((parent + name).c_str(), SE_FILE_OBJECT,
                                    DACL_SECURITY_INFORMATION, nullptr, nullptr, &acl, nullptr,
                                    &descriptor),
              static_cast<DWORD>(ERROR_SUCCESS));
    const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
    ASSERT_NE(acl, nullptr);
    for (const Ace& ace : aces_of(acl)) {
        EXPECT_FALSE(same_sid(ace.sid, WinWorldSid)) << sid_text(ace.sid);
        EXPECT_FALSE(same_sid(ace.sid, WinBuiltinUsersSid)) << sid_text(ace.sid);
        EXPECT_FALSE(same_sid(ace.sid, WinAuthenticatedUserSid)) << sid_text(ace.sid);
    }

    // The same name again: refused, the first one left as it is.
    OwnedHandle again;
    EXPECT_FALSE(make_private_folder(parent, name, access, false, again));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_TRUE(delete_through(folder.get()));
    folder.reset();
    EXPECT_FALSE(exists(parent + name));

    // A link of that name, made beforehand, is not used, and nothing is made where it leads.
    fs::create_directories(parent + name + "-target");
    std::string why;
    ASSERT_TRUE(test::make_symbolic_link(parent + name, parent + name + "-target", true, why))
        << why;
    EXPECT_FALSE(make_private_folder(parent, name, access, false, again));
    EXPECT_TRUE(fs::is_empty(parent + name + "-target"));
    test::remove_tree(parent + name);
    test::remove_tree(parent + name + "-target");
}

}  // namespace
}  // namespace qarn::uninstall
