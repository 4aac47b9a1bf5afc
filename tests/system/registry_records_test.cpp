// The registry records of an installation, written into redirected registry roots.
#include <gtest/gtest.h>

#include <string>

#include "system/registry_records_win32.h"
#include "tests/support/windows_test_support.h"

namespace qarn {
namespace {

using test::registry_text;
using test::registry_value_count;
using test::RegistryRedirect;

constexpr char kProductKeyPath[] = "Software\\Obrelux\\QARN";
constexpr char kUninstallKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrivo";

TEST(TargetFolderRecord, KeepsTheFolderExactlyAsTyped) {
    RegistryRedirect user(HKEY_CURRENT_USER);
    write_target_dir("D:\\Tools\\Q");
    EXPECT_EQ(registry_text(HKEY_CURRENT_USER, kProductKeyPath, "Dir"), "D:\\Tools\\Q");
    write_target_dir("D:\\Tools\\Q\\");
    EXPECT_EQ(registry_text(HKEY_CURRENT_USER, kProductKeyPath, "Dir"), "D:\\Tools\\Q\\");
    EXPECT_EQ(registry_value_count(HKEY_CURRENT_USER, kProductKeyPath), 1);
}

TEST(TargetFolderRecord, IsAStringValue) {
    RegistryRedirect user(HKEY_CURRENT_USER);
    write_target_dir("C:\\Program Files\\QARN");
    DWORD type = 0;
    char data[64];
    DWORD size = sizeof data;
    ASSERT_EQ(RegGetValueA(HKEY_CURRENT_USER, kProductKeyPath, "Dir", RRF_RT_ANY, &type, data,
                           &size),
              ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof "C:\\Program Files\\QARN");  // with its terminator
}

// Quoted, so that Windows cannot take "C:\My.exe" for the program of "C:\My Programs\...".
TEST(UninstallRecord, NamesTheProductAndItsUninstallerInQuotes) {
    RegistryRedirect machine(HKEY_LOCAL_MACHINE);
    write_uninstall_entry("C:\\My Programs\\QARN\\UnInst.exe");
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName"), "Zentrivo");
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              "\"C:\\My Programs\\QARN\\UnInst.exe\"");
    EXPECT_EQ(registry_value_count(HKEY_LOCAL_MACHINE, kUninstallKey), 2);

    // The longest path a path buffer holds still gets its quotes.
    const std::string longest = "C:\\" + std::string(259 - 3 - 11, 'q') + "\\UnInst.exe";
    ASSERT_EQ(longest.size(), 259u);
    write_uninstall_entry(longest.c_str());
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              "\"" + longest + "\"");
}

TEST(UninstallRecord, ALaterInstallationReplacesBothRecords) {
    RegistryRedirect user(HKEY_CURRENT_USER);
    RegistryRedirect machine(HKEY_LOCAL_MACHINE);
    write_target_dir("C:\\First");
    write_uninstall_entry("C:\\First\\UnInst.exe");
    write_target_dir("D:\\Second");
    write_uninstall_entry("D:\\Second\\UnInst.exe");
    EXPECT_EQ(registry_text(HKEY_CURRENT_USER, kProductKeyPath, "Dir"), "D:\\Second");
    EXPECT_EQ(registry_text(HKEY_LOCAL_MACHINE, kUninstallKey, "UninstallString"),
              "\"D:\\Second\\UnInst.exe\"");
}

TEST(RegistryText, ReadsAValueAndReportsAMissingOne) {
    RegistryRedirect user(HKEY_CURRENT_USER);
    char out[260];
    EXPECT_FALSE(read_registry_text(HKEY_CURRENT_USER, "Software\\Nothing", "Dir", out, sizeof out));
    EXPECT_STREQ(out, "");
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Dir", "E:\\x");
    EXPECT_TRUE(read_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Dir", out, sizeof out));
    EXPECT_STREQ(out, "E:\\x");
    EXPECT_FALSE(read_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Other", out, sizeof out));
}

TEST(RegistryText, RefusesAValueLongerThanAPathInsteadOfCuttingIt) {
    RegistryRedirect user(HKEY_CURRENT_USER);
    char out[260];
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Fits", std::string(259, 'a'));
    EXPECT_TRUE(read_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Fits", out, sizeof out));
    EXPECT_EQ(std::string(out), std::string(259, 'a'));
    test::set_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Long", std::string(260, 'a'));
    EXPECT_FALSE(read_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Long", out, sizeof out));
    EXPECT_STREQ(out, "");
}

TEST(RegistryText, TerminatesAValueStoredWithoutTerminator) {
    RegistryRedirect user(HKEY_CURRENT_USER);
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Some", 0, nullptr, 0, KEY_WRITE,
                              nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k, "Raw", 0, REG_BINARY, reinterpret_cast<const BYTE*>("C:\\Raw"), 6);
    RegCloseKey(k);
    char out[260];
    memset(out, 'x', sizeof out);
    EXPECT_TRUE(read_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Raw", out, sizeof out));
    EXPECT_STREQ(out, "C:\\Raw");
    char tiny[6];
    EXPECT_FALSE(read_registry_text(HKEY_CURRENT_USER, "Software\\Some", "Raw", tiny, sizeof tiny));
}

}  // namespace
}  // namespace qarn
