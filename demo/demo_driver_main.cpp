// The driver of scripts/demo.sh: runs setup.exe as a user would and reports what it
// installed; then removes it again with the uninstall entry and reports what is left.
//
//   setup-demo-driver drive SIGNAL_DIR TAG       start setup.exe, keep the proposed settings,
//                                                press OK, close the success message, report
//   setup-demo-driver report                     report what an installation left behind
//   setup-demo-driver uninstall SIGNAL_DIR TAG   add a file of the user's own and the
//                                                product's settings, run the uninstall
//                                                entry's command, answer Yes, report what
//                                                is left
//
// While driving, the driver stops twice for a screenshot: it creates SIGNAL_DIR/TAG-dialog
// (or TAG-success, TAG-question, TAG-report) and goes on once the demo script has created
// the same name with ".done" appended (or after 60 s). The setup file is named by
// QARN_E2E_SETUP.
#include <windows.h>
#include <shlobj.h>

#include <cstdio>
#include <string>

#include "tests/e2e/setup_driver.h"
#include "tests/e2e/system_state.h"
#include "tests/e2e/uninstall_driver.h"
#include "tests/support/windows_test_support.h"

namespace qarn::e2e {
namespace {

std::string windows_form(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

// Lets the demo script take a screenshot of what is on the screen now.
void pause_for_screenshot(const std::string& signal_dir, const std::string& name) {
    const std::string ready = signal_dir + "\\" + name;
    const std::string done = ready + ".done";
    write_text(ready, "");
    wait_until([&] { return exists(done); }, 60000);
}

const char* checked_text(bool checked) { return checked ? "[x]" : "[ ]"; }

std::string local_time_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return "?";
    FILETIME local;
    SYSTEMTIME t;
    FileTimeToLocalFileTime(&data.ftLastWriteTime, &local);
    FileTimeToSystemTime(&local, &t);
    char text[32];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay,
                  t.wHour, t.wMinute, t.wSecond);
    return text;
}

unsigned long long size_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void print_link(const std::string& path) {
    const test::LinkInfo link = test::read_link(path);
    if (!link.loaded) {
        std::printf("    %s (unreadable)\n", path.c_str());
        return;
    }
    const size_t slash = path.find_last_of('\\');
    std::printf("    %-16s -> %s\n", path.substr(slash + 1).c_str(), link.target.c_str());
    std::printf("    %-16s    starts in %s, description \"%s\"\n", "",
                link.working_folder.c_str(), link.description.c_str());
}

int report() {
    test::ComScope com;
    const std::string folder = recorded_dir();
    std::printf("\nFiles in %s:\n", folder.c_str());
    for (const std::string& name : folder_entries(folder)) {
        const std::string path = folder + "\\" + name;
        std::printf("    %-14s %8llu  %s\n", name.c_str(), size_of(path), local_time_of(path).c_str());
    }
    std::printf("\nRegistry:\n");
    std::printf("    HKEY_CURRENT_USER\\Software\\Obrelux\\QARN\n");
    std::printf("        Dir             = %s\n", folder.c_str());
    std::printf("    HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrivo\n");
    std::printf("        DisplayName     = %s\n", uninstall_value("DisplayName").c_str());
    std::printf("        UninstallString = %s\n", uninstall_value("UninstallString").c_str());

    const std::string group = special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN";
    std::printf("\nStart-menu group %s:\n", group.c_str());
    for (const std::string& name : folder_entries(group)) print_link(group + "\\" + name);
    const std::string desktop = special_folder(CSIDL_DESKTOP) + "\\Zentrivo.lnk";
    std::printf("\nDesktop:\n");
    if (exists(desktop)) {
        print_link(desktop);
    } else {
        std::printf("    no icon\n");
    }

    std::printf("\nSettings file:\n");
    const std::string in_folder = folder + "\\QARN.INI";
    const std::string in_home = special_folder(CSIDL_APPDATA) + "\\Obrelux\\QARN.INI";
    bool any = false;
    for (const std::string& ini : {in_folder, in_home}) {
        if (!exists(ini)) continue;
        any = true;
        std::printf("    %s\n        [QARN] Language=%s\n", ini.c_str(), settings_language(ini).c_str());
    }
    if (!any) {
        std::printf("    none: with several languages chosen the product keeps its own choice\n"
                    "    (the folder %s is ready for it)\n",
                    (special_folder(CSIDL_APPDATA) + "\\Obrelux").c_str());
    }
    return 0;
}

// A message box's text, indented under its caption.
void print_box(const char* what, const UninstallBox& box) {
    std::printf("%s \"%s\":\n", what, box.caption.c_str());
    std::string indented = "    ";
    for (const char c : box.text) {
        indented += c;
        if (c == '\n') indented += "    ";
    }
    std::printf("%s\n", indented.c_str());
}

// What an uninstallation left: the folder, the shortcuts, the registry, the settings.
void report_left(const std::string& folder, const std::string& settings) {
    std::printf("\nWhat is left:\n");
    std::printf("    %s: ", folder.c_str());
    if (!exists(folder)) {
        std::printf("gone\n");
    } else {
        const std::vector<std::string> names = folder_entries(folder);
        for (size_t i = 0; i < names.size(); ++i) std::printf("%s%s", i == 0 ? "" : ", ", names[i].c_str());
        std::printf("\n");
    }
    const std::string common = special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN";
    const std::string user = special_folder(CSIDL_PROGRAMS) + "\\QARN";
    std::printf("    Start-menu group QARN: %s\n", exists(common) || exists(user) ? "still there" : "gone");
    std::printf("    desktop icon Zentrivo.lnk: %s\n",
                exists(special_folder(CSIDL_DESKTOP) + "\\Zentrivo.lnk") ? "still there" : "gone");
    std::printf("    HKEY_LOCAL_MACHINE\\...\\Uninstall\\Zentrivo: UninstallString = %s\n",
                uninstall_value("UninstallString").c_str());
    std::printf("    HKEY_CURRENT_USER\\Software\\Obrelux\\QARN: Dir = %s\n", recorded_dir().c_str());
    std::printf("    settings file %s: %s\n", settings.c_str(),
                exists(settings) ? ("kept, [QARN] Language=" + settings_language(settings)).c_str() : "gone");
    std::string pending = pending_removals();
    std::printf("    removed at the next restart of Windows: %s\n",
                pending.find("QARN-UnInst-") != std::string::npos
                    ? "the uninstaller's copy in the temporary folder"
                    : "nothing");
}

int uninstall(const std::string& signal_dir, const std::string& tag) {
    test::ComScope com;
    const std::string folder = recorded_dir();
    const std::string own_file = folder + "\\My notes.txt";
    const std::string settings = special_folder(CSIDL_APPDATA) + "\\Obrelux\\QARN.INI";
    write_text(own_file, "The user's own notes, kept in the product's folder.\r\n");
    // What the product does when the user picks its language in Options > Language.
    WritePrivateProfileStringA("QARN", "Language", "US", settings.c_str());
    std::printf("The user adds a file of their own, %s,\n", own_file.c_str());
    std::printf("and the product saves its settings in %s.\n\n", settings.c_str());

    const std::string command = uninstall_value("UninstallString");
    std::printf("The uninstall entry's command, started as Windows starts it: %s\n\n", command.c_str());
    UninstallRun run;
    if (!run.start(command)) {
        std::printf("the command did not start (error %lu)\n", run.error());
        return 1;
    }
    const UninstallBox question = run.wait_for_box();
    if (question.window == nullptr) {
        std::printf("the uninstaller asked nothing\n");
        return 1;
    }
    print_box("The question", question);
    pause_for_screenshot(signal_dir, tag + "-question");
    UninstallRun::answer(question, IDYES);
    std::printf("Yes pressed.\n\n");
    const UninstallBox report = run.wait_for_box(question.window);
    if (report.window == nullptr) {
        std::printf("no report after Yes\n");
        return 1;
    }
    print_box("The report", report);
    pause_for_screenshot(signal_dir, tag + "-report");
    UninstallRun::answer(report, IDOK);
    UninstallRun::wait_for_end_of(report);
    report_left(folder, settings);
    return 0;
}

int drive(const std::string& signal_dir, const std::string& tag) {
    SetupRun run;
    if (!run.start(60000)) {
        std::printf("setup.exe did not show its dialog\n");
        return 1;
    }
    prepare_icon_references();
    std::printf("The dialog \"%s\" proposes:\n", run.caption().c_str());
    std::printf("    %s %s\n", run.text(102).c_str(), run.text(103).c_str());
    std::printf("    %s Deutsch  %s English  %s %s\n", checked_text(run.checked(201)),
                checked_text(run.checked(202)), checked_text(run.checked(203)),
                run.text(203).c_str());
    std::printf("    %s %s\n", checked_text(run.checked(105)), run.text(105).c_str());
    std::printf("    %s %s\n", checked_text(run.checked(106)), run.text(106).c_str());
    pause_for_screenshot(signal_dir, tag + "-dialog");

    const ULONGLONG pressed = GetTickCount64();
    run.click(1);
    const MessageBoxSeen box = run.wait_for_message_box();
    if (box.window == nullptr) {
        std::printf("no message after OK\n");
        return 1;
    }
    std::printf("OK pressed; after %llu ms: \"%s\" (caption \"%s\")\n", box.seen_at - pressed,
                box.text.c_str(), box.caption.c_str());
    pause_for_screenshot(signal_dir, tag + "-success");
    SetupRun::close_message_box(box);
    if (run.wait_for_exit() != 0) {
        std::printf("setup.exe did not end as expected\n");
        return 1;
    }
    return report();
}

}  // namespace
}  // namespace qarn::e2e

int main(int argc, char** argv) {
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "report" && argc == 2) return qarn::e2e::report();
    if (command == "drive" && argc == 4) {
        return qarn::e2e::drive(qarn::e2e::windows_form(argv[2]), argv[3]);
    }
    if (command == "uninstall" && argc == 4) {
        return qarn::e2e::uninstall(qarn::e2e::windows_form(argv[2]), argv[3]);
    }
    std::fprintf(stderr,
                 "usage: setup-demo-driver drive SIGNAL_DIR TAG | report | uninstall SIGNAL_DIR TAG\n");
    return 2;
}
