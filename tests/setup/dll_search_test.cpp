// The setup program's DLL search. A probe program, copied into a folder of its own with a
// uniquely named DLL beside it and started in another folder holding a second one, loads a
// DLL by name after the setup program's start-up call, after the fallback of systems
// without SetDefaultDllDirectories, or without either: so that each case can fail.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "tests/support/test_support.h"

namespace {

// Exit status of the probe.
enum Probe : DWORD { kLoaded = 0, kNotFound = 1, kUsage = 2, kNotRestricted = 3 };

std::string own_folder() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1);
}

class DllSearch : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string unique =
            std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
        program_folder_ = (temp_ / "program").string();
        current_folder_ = (temp_ / "current").string();
        ASSERT_TRUE(CreateDirectoryA(program_folder_.c_str(), nullptr));
        ASSERT_TRUE(CreateDirectoryA(current_folder_.c_str(), nullptr));
        probe_ = program_folder_ + "\\probe.exe";
        beside_ = "qarn-beside-" + unique + ".dll";
        in_current_ = "qarn-current-" + unique + ".dll";
        const std::string library = own_folder() + "dll_search_probe_library.dll";
        ASSERT_TRUE(CopyFileA((own_folder() + "dll_search_probe.exe").c_str(), probe_.c_str(), TRUE));
        ASSERT_TRUE(CopyFileA(library.c_str(), (program_folder_ + "\\" + beside_).c_str(), TRUE));
        ASSERT_TRUE(CopyFileA(library.c_str(), (current_folder_ + "\\" + in_current_).c_str(), TRUE));
    }

    // Runs the probe in the current folder; its exit status, or ~0 when it did not run.
    DWORD probe(const char* mode, const std::string& dll) {
        std::string command = "\"" + probe_ + "\" " + mode + " " + dll;
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(probe_.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                            current_folder_.c_str(), &startup, &process))
            return ~DWORD{0};
        DWORD status = ~DWORD{0};
        if (WaitForSingleObject(process.hProcess, 30000) == WAIT_OBJECT_0)
            GetExitCodeProcess(process.hProcess, &status);
        else
            TerminateProcess(process.hProcess, 99);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        return status;
    }

    qarn::test::TempDir temp_;
    std::string program_folder_;
    std::string current_folder_;
    std::string probe_;
    std::string beside_;
    std::string in_current_;
};

TEST_F(DllSearch, WithoutTheStartUpCallDllsBesideTheProgramAndInTheCurrentFolderLoad) {
    EXPECT_EQ(probe("none", beside_), kLoaded);
    EXPECT_EQ(probe("none", in_current_), kLoaded);
}

TEST_F(DllSearch, AfterTheStartUpCallOnlyTheSystemFolderIsSearched) {
    EXPECT_EQ(probe("restrict", beside_), kNotFound);
    EXPECT_EQ(probe("restrict", in_current_), kNotFound);
    // The system's own DLLs still load by name (this one the probe does not import).
    EXPECT_EQ(probe("restrict", "version.dll"), kLoaded);
}

bool running_under_wine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

TEST_F(DllSearch, WithoutSetDefaultDllDirectoriesTheCurrentFolderIsLeftOut) {
    EXPECT_EQ(probe("fallback", "version.dll"), kLoaded);
    // What such systems cannot do: their search keeps the program's own folder.
    EXPECT_EQ(probe("fallback", beside_), kLoaded);
    if (running_under_wine())
        GTEST_SKIP() << "Wine keeps the current folder in the search after "
                        "SetDllDirectoryA(\"\"); Windows takes it out";
    EXPECT_EQ(probe("fallback", in_current_), kNotFound);
}

}  // namespace
