// The manifest UnInst.exe is built with, read back from the program as built.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace {

// The demo product's programs are built beside the test programs' folder.
std::string uninstaller_path() {
    char path[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string s(path, n);
    return s.substr(0, s.find_last_of('\\') + 1) + "..\\demo-programs\\UnInst.exe";
}

TEST(UninstallerManifest, DeclaresThatItRunsElevated) {
    const std::string program = uninstaller_path();
    const HMODULE module = LoadLibraryExA(program.c_str(), nullptr,
                                          LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << program;
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    ASSERT_NE(found, nullptr);  // RT_MANIFEST 1, the one the loader reads
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    const std::string manifest(data, SizeofResource(module, found));
    FreeLibrary(module);
    EXPECT_NE(manifest.find("<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security>"
                            "<requestedPrivileges><requestedExecutionLevel "
                            "level=\"requireAdministrator\" uiAccess=\"false\"/>"),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
}

}  // namespace
