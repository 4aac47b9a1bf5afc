#include "tests/e2e/uninstall_driver.h"

#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <vector>

#include "tests/e2e/setup_driver.h"
#include "tests/e2e/system_state.h"
#include "tests/support/windows_test_support.h"

namespace qarn::e2e {
namespace {

namespace fs = std::filesystem;

constexpr int kMessageBoxText = 0xFFFF;  // the static control of a message box's text

bool is_uninstaller_box(HWND window) {
    char name[64] = "";
    GetClassNameA(window, name, sizeof name);
    if (std::string(name) != "#32770" || !IsWindowVisible(window)) return false;
    const std::string caption = window_text(window);
    return caption == "Zentrivo Uninstall" || caption == "Zentrivo deinstallieren";
}

struct BoxSearch {
    HWND after;
    HWND found;
};

BOOL CALLBACK find_box(HWND window, LPARAM lparam) {
    auto* search = reinterpret_cast<BoxSearch*>(lparam);
    if (window == search->after || !is_uninstaller_box(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND find_uninstaller_box(HWND after) {
    BoxSearch search{after, nullptr};
    EnumWindows(find_box, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void list_tree(std::ostringstream& out, const std::string& title, const std::string& folder) {
    out << title << " " << folder << ":";
    std::error_code ec;
    if (!fs::exists(folder, ec)) {
        out << " missing\n";
        return;
    }
    out << "\n";
    std::vector<std::string> lines;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        const std::string relative = fs::relative(it->path(), folder, ec).string();
        std::error_code size_ec;
        const auto size = it->is_regular_file(size_ec) ? it->file_size(size_ec) : 0;
        lines.push_back("  " + relative +
                        (it->is_directory(size_ec) ? "\\" : " " + std::to_string(size)));
    }
    std::sort(lines.begin(), lines.end());
    for (const std::string& line : lines) out << line << "\n";
}

std::string temp_folder() {
    char path[MAX_PATH + 1] = "";
    GetTempPathA(sizeof path, path);
    return path;
}

}  // namespace

UninstallRun::~UninstallRun() { end_child_process(process_); }

bool UninstallRun::start(const std::string& command, const std::string& temp) {
    std::string line = command;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    std::string environment;
    if (!temp.empty()) {
        // This process's environment, its temporary folder replaced.
        char* strings = GetEnvironmentStringsA();
        for (const char* s = strings; s != nullptr && *s != '\0'; s += std::strlen(s) + 1) {
            if (_strnicmp(s, "TMP=", 4) == 0 || _strnicmp(s, "TEMP=", 5) == 0) continue;
            environment.append(s).push_back('\0');
        }
        if (strings != nullptr) FreeEnvironmentStringsA(strings);
        environment.append("TMP=" + temp).push_back('\0');
        environment.append("TEMP=" + temp).push_back('\0');
        environment.push_back('\0');
    }
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0,
                        environment.empty() ? nullptr : environment.data(), nullptr, &startup,
                        &process_)) {
        error_ = GetLastError();
        process_ = {};
        return false;
    }
    return true;
}

UninstallBox UninstallRun::wait_for_box(HWND after, DWORD timeout_ms) {
    UninstallBox box;
    wait_until(
        [&] {
            box.window = find_uninstaller_box(after);
            return box.window != nullptr;
        },
        timeout_ms);
    if (box.window == nullptr) return box;
    GetWindowThreadProcessId(box.window, &box.process);
    // The text control may be filled a moment after the box appears.
    wait_until(
        [&] {
            box.text = window_text(GetDlgItem(box.window, kMessageBoxText));
            return !box.text.empty();
        },
        5000);
    box.caption = window_text(box.window);
    return box;
}

void UninstallRun::answer(const UninstallBox& box, int button) {
    PostMessageA(GetDlgItem(box.window, button), BM_CLICK, 0, 0);
    wait_until([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, 10000);
}

bool UninstallRun::no_box_within(DWORD ms) {
    return !wait_until([] { return find_uninstaller_box(nullptr) != nullptr; }, ms);
}

long UninstallRun::wait_for_exit(DWORD timeout_ms) {
    if (process_.hProcess == nullptr) return -1;
    if (WaitForSingleObject(process_.hProcess, timeout_ms) != WAIT_OBJECT_0) return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    return static_cast<long>(code);
}

bool UninstallRun::wait_for_end_of(const UninstallBox& box, DWORD timeout_ms) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, box.process);
    if (process == nullptr) return true;  // gone already
    const bool ended = WaitForSingleObject(process, timeout_ms) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}

ConfirmedUninstall uninstall_with_yes(const std::string& command) {
    ConfirmedUninstall result;
    UninstallRun run;
    if (!run.start(command)) return result;
    const UninstallBox question = run.wait_for_box();
    if (question.window == nullptr) return result;
    result.question = question.text;
    UninstallRun::answer(question, IDYES);
    result.exit_code = run.wait_for_exit();
    const UninstallBox report = run.wait_for_box(question.window);
    if (report.window == nullptr) return result;
    result.report = report.text;
    UninstallRun::answer(report, IDOK);
    UninstallRun::wait_for_end_of(report);
    return result;
}

std::string system_snapshot(const std::string& folder) {
    std::ostringstream out;
    list_tree(out, "folder", folder);
    list_tree(out, "all users' group", special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN");
    list_tree(out, "user's group", special_folder(CSIDL_PROGRAMS) + "\\QARN");
    list_tree(out, "settings home", special_folder(CSIDL_APPDATA) + "\\Obrelux");
    out << "desktop icon: "
        << (exists(special_folder(CSIDL_DESKTOP) + "\\Zentrivo.lnk") ? "yes" : "no") << "\n";
    out << "uninstaller copies:";
    for (const std::string& name : folder_entries(temp_folder())) {
        if (name.rfind("QARN-UnInst-", 0) == 0) out << " " << name;
    }
    out << "\n";
    out << "Dir: " << recorded_dir() << "\n";
    out << "DisplayName: " << uninstall_value("DisplayName") << "\n";
    out << "UninstallString: " << uninstall_value("UninstallString") << "\n";
    out << "values under HKCU\\Software\\Obrelux\\QARN: "
        << test::registry_value_count(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN") << "\n";
    return out.str();
}

std::string pending_removals() {
    char buffer[16384] = {};
    DWORD size = sizeof buffer - 2;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager",
                     "PendingFileRenameOperations", RRF_RT_REG_MULTI_SZ, nullptr, buffer,
                     &size) != ERROR_SUCCESS) {
        return "";
    }
    std::string text;
    for (DWORD i = 0; i < size; ++i) text += buffer[i] != '\0' ? buffer[i] : '\n';
    return text;
}

}  // namespace qarn::e2e
