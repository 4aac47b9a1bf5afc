#include "uninstall/self_removal_win32.h"

#include <windows.h>

#include <cstdint>

#include "uninstall/finish_command.h"

namespace qarn::uninstall {
namespace {

constexpr DWORD kWaitForOriginalMs = 30000;

// A free name for the copy in the temporary folder, and the copy made there (never over an
// existing file).
bool copy_into_temp(const std::string& source, std::string& copy, std::string& temp_folder) {
    char temp[MAX_PATH + 1];
    const DWORD n = GetTempPathA(sizeof temp, temp);
    if (n == 0 || n >= sizeof temp) return false;
    temp_folder = with_backslash(temp);
    const uint32_t seed = GetCurrentProcessId() ^ GetTickCount();
    for (uint32_t attempt = 0; attempt < 32; ++attempt) {
        const uint32_t number = seed + attempt * 0x9E3779B9u;
        std::string name = "QARN-UnInst-";
        for (int shift = 28; shift >= 0; shift -= 4) {
            name += "0123456789ABCDEF"[(number >> shift) & 0xF];
        }
        copy = temp_folder + name + ".exe";
        if (copy.size() > kMaxPath) return false;
        if (CopyFileA(source.c_str(), copy.c_str(), TRUE)) return true;
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) {
            return false;
        }
    }
    return false;
}

}  // namespace

bool hand_over_to_copy(const std::string& uninstaller_path, Language language) {
    std::string copy;
    std::string temp_folder;
    if (!copy_into_temp(uninstaller_path, copy, temp_folder)) return false;

    // A handle to this process that the copy inherits and waits on: unlike a process id,
    // it cannot come to name another process once this one has ended.
    HANDLE self = nullptr;
    if (!DuplicateHandle(GetCurrentProcess(), GetCurrentProcess(), GetCurrentProcess(), &self,
                         SYNCHRONIZE, TRUE, 0)) {
        DeleteFileA(copy.c_str());
        return false;
    }
    FinishRequest request;
    request.wait_handle = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(self));
    request.language = language;
    request.uninstaller_path = uninstaller_path;
    std::string command = finish_command_line(copy, request);

    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    // The copy works in the temporary folder, so that no process has the installation's
    // folder as its current folder when the folder is removed.
    const BOOL started = CreateProcessA(copy.c_str(), command.data(), nullptr, nullptr, TRUE, 0,
                                        nullptr, temp_folder.c_str(), &startup, &process);
    CloseHandle(self);
    if (!started) {
        DeleteFileA(copy.c_str());
        return false;
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

void wait_for_original(uint64_t handle_value) {
    if (handle_value == 0) return;
    HANDLE original = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(handle_value));
    // A value that is no handle of ours fails at once; the removal then only finds the
    // original's file still in use, and says so.
    if (WaitForSingleObject(original, kWaitForOriginalMs) != WAIT_FAILED) CloseHandle(original);
}

void remove_own_file_at_restart() {
    char own[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    if (n == 0 || n >= sizeof own) return;
    MoveFileExA(own, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

}  // namespace qarn::uninstall
