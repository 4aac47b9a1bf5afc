// The product's uninstaller, started as Windows starts the uninstall entry's command
// (Wine started with LC_ALL=en_US.UTF-8): it removes what setup installed and nothing else,
// keeps the user's files and settings, refuses a hostile list line by line, and changes
// nothing when it is answered No, run a second time, or started for a folder already gone.
#include <shlobj.h>
#include <aclapi.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <sstream>

#include "tests/e2e/scenario.h"
#include "tests/e2e/uninstall_driver.h"

namespace qarn::e2e {
namespace {

using Uninstall = Scenario;

bool has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string common_group() { return special_folder(CSIDL_COMMON_PROGRAMS) + "\\QARN"; }
std::string user_group() { return special_folder(CSIDL_PROGRAMS) + "\\QARN"; }
std::string desktop_icon() { return special_folder(CSIDL_DESKTOP) + "\\Zentrivo.lnk"; }
std::string settings_home() { return special_folder(CSIDL_APPDATA) + "\\Obrelux"; }

// An installation with the boxes as given (true: checked), into `folder`.
void install(const std::string& folder, bool german, bool english, bool others) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.type(kFolderField, folder);
    const struct {
        int box;
        bool wanted;
    } boxes[] = {{kBoxGerman, german}, {kBoxEnglish, english}, {kBoxOtherLanguages, others}};
    for (const auto& b : boxes) {
        if (run.checked(b.box) != b.wanted) {
            run.click(b.box);
            ASSERT_TRUE(wait_until([&] { return run.checked(b.box) == b.wanted; }, 5000));
        }
    }
    install_and_expect_success(run);
}

// The lines of the installed uninstall list after its tag, sorted.
std::vector<std::string> list_lines(const std::string& list_file) {
    const std::vector<uint8_t> bytes = file_bytes(list_file);
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(in, line)) {
        EXPECT_TRUE(!line.empty() && line.back() == '\r') << "not ended by CR LF: " << line;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    EXPECT_FALSE(lines.empty());
    if (lines.empty()) return lines;
    EXPECT_EQ(lines.front(), "QARN uninstall list 1");
    lines.erase(lines.begin());
    std::sort(lines.begin(), lines.end());
    return lines;
}

std::string temp_folder() {
    char path[MAX_PATH + 1] = "";
    GetTempPathA(sizeof path, path);
    return path;
}

// What the uninstaller's copy leaves in the temporary folder: its folder, or its file moved
// out of it.
std::vector<std::string> copy_traces() {
    std::vector<std::string> names;
    for (const std::string& name : folder_entries(temp_folder())) {
        if (name.rfind("QARN-UnInst-", 0) == 0) names.push_back(name);
    }
    return names;
}

bool same_path_text(const std::string& a, const std::string& b) {
    return _stricmp(a.c_str(), b.c_str()) == 0;
}

std::vector<uint8_t> file_bytes_of_text(const std::string& text) {
    return std::vector<uint8_t>(text.begin(), text.end());
}

bool is_copy_folder_name(const std::string& name) {
    const std::string prefix = "QARN-UnInst-";
    return name.size() == prefix.size() + 32 && name.rfind(prefix, 0) == 0 &&
           std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(),
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

bool is_account(PSID sid, WELL_KNOWN_SID_TYPE type) {
    alignas(DWORD) unsigned char known[SECURITY_MAX_SID_SIZE];
    DWORD size = sizeof known;
    return CreateWellKnownSid(type, nullptr, known, &size) && EqualSid(sid, known);
}

// The accounts the access list of `path` lets in, as the system keeps it; "<error>" when it
// cannot be read.
std::vector<std::string> accounts_let_into(const std::string& path) {
    PACL acl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr,
                              nullptr, &acl, nullptr, &descriptor) != ERROR_SUCCESS) {
        return {"<error>"};
    }
    const std::unique_ptr<void, decltype(&LocalFree)> owned(descriptor, &LocalFree);
    std::vector<std::string> accounts;
    for (DWORD i = 0; acl != nullptr && i < acl->AceCount; ++i) {
        void* ace = nullptr;
        if (!GetAce(acl, i, &ace)) break;
        const auto* allowed = static_cast<const ACCESS_ALLOWED_ACE*>(ace);
        if (allowed->Header.AceType != ACCESS_ALLOWED_ACE_TYPE) continue;
        PSID sid = const_cast<DWORD*>(&allowed->SidStart);
        if (is_account(sid, WinWorldSid)) {
            accounts.push_back("Everyone");
        } else if (is_account(sid, WinBuiltinUsersSid)) {
            accounts.push_back("Users");
        } else if (is_account(sid, WinAuthenticatedUserSid)) {
            accounts.push_back("Authenticated Users");
        } else if (is_account(sid, WinLocalSystemSid)) {
            accounts.push_back("SYSTEM");
        } else if (is_account(sid, WinBuiltinAdministratorsSid)) {
            accounts.push_back("Administrators");
        } else {
            accounts.push_back("an account");
        }
    }
    return accounts;
}

std::string image_of_process(DWORD id) {
    const std::unique_ptr<void, decltype(&CloseHandle)> process(
        OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id), &CloseHandle);
    if (process == nullptr) return "<gone>";
    char path[MAX_PATH] = "";
    DWORD size = sizeof path;
    return QueryFullProcessImageNameA(process.get(), 0, path, &size) ? path : "<unknown>";
}

void link_or_fail(const std::string& link, const std::string& target, bool folder) {
    std::string why;
    ASSERT_TRUE(test::make_symbolic_link(link, target, folder, why)) << why;
}

void expect_no_product_traces(const std::string& folder) {
    expect_absent(folder, product_files());
    EXPECT_FALSE(exists(common_group()));
    EXPECT_FALSE(exists(user_group()));
    EXPECT_FALSE(exists(desktop_icon()));
    EXPECT_EQ(uninstall_value("UninstallString"), "<missing>");
    EXPECT_EQ(uninstall_value("DisplayName"), "<missing>");
    EXPECT_EQ(test::registry_value_count(HKEY_CURRENT_USER, "Software\\Obrelux\\QARN"), -1);
}

TEST_F(Uninstall, TheEntryRemovesTheProductAndKeepsTheUsersFileAndSettings) {
    SetupRun setup;
    ASSERT_TRUE(setup.start());
    const std::string folder = program_files_dir() + "\\QARN";  // the proposal, with a blank
    install_and_expect_success(setup);

    // The list names every installed file, itself included.
    EXPECT_EQ(list_lines(folder + "\\UNINST.LST"), product_files());
    ASSERT_TRUE(exists(desktop_icon()));
    ASSERT_EQ(folder_entries(common_group()).size(), 4u);

    // The user's own file, and the product's settings kept in its folder.
    write_text(folder + "\\My notes.txt", "mine");
    write_text(folder + "\\QARN.INI", "[QARN]\r\nLanguage=US\r\n");

    // Quoted, with its blank, and started as Windows starts it.
    const std::string command = uninstall_value("UninstallString");
    ASSERT_EQ(command, "\"" + folder + "\\UnInst.exe\"");
    const ConfirmedUninstall done = uninstall_with_yes(command);
    EXPECT_TRUE(has(done.question, "Remove Zentrivo from the folder\n\n    " + folder + "\n\n"))
        << done.question;
    EXPECT_EQ(done.exit_code, 0);
    EXPECT_TRUE(has(done.report, "Zentrivo has been removed from " + folder + ".")) << done.report;
    // The files, and the settings home the installer made (left empty: the product keeps
    // its settings in its folder here).
    EXPECT_TRUE(
        has(done.report, "- " + std::to_string(product_files().size()) + " files and 1 folder\n"))
        << done.report;
    EXPECT_TRUE(has(done.report, "- 4 shortcuts of the Start-menu group QARN, and the group"))
        << done.report;
    EXPECT_TRUE(has(done.report, "- the desktop icon Zentrivo.lnk")) << done.report;
    EXPECT_TRUE(has(done.report, "- the entry in the list of installed programs")) << done.report;
    EXPECT_TRUE(has(done.report, "- the registry key HKEY_CURRENT_USER\\Software\\Obrelux\\QARN"))
        << done.report;
    EXPECT_TRUE(has(done.report, "- your settings: " + folder + "\\QARN.INI")) << done.report;
    EXPECT_TRUE(has(done.report, "- 1 file you added, and the folder " + folder + " that holds it"))
        << done.report;

    expect_no_product_traces(folder);
    EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"My notes.txt", "QARN.INI"}));
    EXPECT_EQ(settings_language(folder + "\\QARN.INI"), "US");
    // The empty settings home the installer made goes too.
    EXPECT_FALSE(exists(settings_home()));
    // The copy that did the work is gone, or goes at the next restart.
    EXPECT_TRUE(has(pending_removals(), "QARN-UnInst-")) << pending_removals();
}

// Installations of earlier versions recorded the command without quotes: it still starts the
// uninstaller, which still takes the entry for its own.
TEST_F(Uninstall, AnUnquotedEntryOfAnEarlierInstallationIsRemovedToo) {
    const std::string folder = kScratch + "\\Earlier Version";
    install(folder, true, true, true);
    test::set_registry_text(HKEY_LOCAL_MACHINE,
                            "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Zentrivo",
                            "UninstallString", folder + "\\UnInst.exe");
    const ConfirmedUninstall done = uninstall_with_yes(uninstall_value("UninstallString"));
    EXPECT_TRUE(has(done.report, "Zentrivo has been removed from " + folder + ".")) << done.report;
    EXPECT_TRUE(has(done.report, "- the entry in the list of installed programs")) << done.report;
    expect_no_product_traces(folder);
    EXPECT_FALSE(exists(folder));
}

TEST_F(Uninstall, WithNothingOfTheUsersTheFolderGoesAndTheSettingsFileStaysInItsHome) {
    const std::string folder = kScratch + "\\Only English";
    install(folder, false, true, false);
    const std::string settings = settings_home() + "\\QARN.INI";
    ASSERT_EQ(settings_language(settings), "US");

    const ConfirmedUninstall done = uninstall_with_yes(uninstall_value("UninstallString"));
    EXPECT_TRUE(has(done.report, "Zentrivo has been removed from " + folder + ".")) << done.report;
    EXPECT_TRUE(has(done.report, " and 1 folder\n")) << done.report;
    EXPECT_TRUE(has(done.report, "- your settings: " + settings)) << done.report;
    EXPECT_FALSE(has(done.report, "you added")) << done.report;
    expect_no_product_traces(folder);
    EXPECT_FALSE(exists(folder));
    EXPECT_EQ(folder_entries(settings_home()), std::vector<std::string>{"QARN.INI"});
    EXPECT_EQ(settings_language(settings), "US");
    EXPECT_TRUE(exists(kScratch));
}

TEST_F(Uninstall, AGermanOnlyInstallationIsRemovedInGerman) {
    const std::string folder = kScratch + "\\Nur Deutsch";
    install(folder, true, false, false);
    UninstallRun run;
    ASSERT_TRUE(run.start(uninstall_value("UninstallString")));
    const UninstallBox question = run.wait_for_box();
    ASSERT_NE(question.window, nullptr);
    EXPECT_EQ(question.caption, "Zentrivo deinstallieren");
    EXPECT_TRUE(has(question.text, "Zentrivo aus dem Ordner\n\n    " + folder)) << question.text;
    UninstallRun::answer(question, IDYES);
    EXPECT_EQ(run.wait_for_exit(), 0);
    const UninstallBox report = run.wait_for_box(question.window);
    ASSERT_NE(report.window, nullptr);
    EXPECT_EQ(report.caption, "Zentrivo deinstallieren");
    EXPECT_TRUE(has(report.text, "Zentrivo wurde entfernt aus " + folder)) << report.text;
    EXPECT_TRUE(has(report.text, "Behalten:\n- Ihre Einstellungen: ")) << report.text;
    UninstallRun::answer(report, IDOK);
    UninstallRun::wait_for_end_of(report);
    expect_no_product_traces(folder);
    EXPECT_FALSE(exists(folder));
}

TEST_F(Uninstall, AHostileListTouchesNothingOutsideTheFolder) {
    const std::string around = kScratch + "\\Hostile";
    const std::string folder = around + "\\QARN";
    install(folder, true, true, true);
    // Files beside and above the folder, each named by a line of the list.
    write_text(around + "\\outside.txt", "beside");
    write_text(around + "\\absolute.txt", "absolute");
    write_text(kScratch + "\\rooted.txt", "rooted");
    std::string list = "QARN uninstall list 1\r\n";
    for (const std::string& line : list_lines(folder + "\\UNINST.LST")) list += line + "\r\n";
    for (const char* line :
         {"..\\outside.txt", "C:\\e2e\\Hostile\\absolute.txt", "\\e2e\\rooted.txt", "CON",
          "NUL.txt", "Help\\..\\..\\outside.txt", "..\\..\\e2e\\Hostile\\outside.txt",
          "C:outside.txt", "\\\\?\\C:\\e2e\\rooted.txt"}) {
        list += std::string(line) + "\r\n";
    }
    write_text(folder + "\\UNINST.LST", list);

    const ConfirmedUninstall done = uninstall_with_yes(uninstall_value("UninstallString"));
    EXPECT_TRUE(has(done.report, "Zentrivo has been removed from " + folder + ".")) << done.report;
    EXPECT_TRUE(has(done.report,
                    "lines of the list of installed files:\n- ..\\outside.txt\n"
                    "- C:\\e2e\\Hostile\\absolute.txt\n- \\e2e\\rooted.txt\n- CON\n- NUL.txt\n"))
        << done.report;
    EXPECT_TRUE(has(done.report, "- Help\\..\\..\\outside.txt\n- and more: 3")) << done.report;
    expect_no_product_traces(folder);
    EXPECT_FALSE(exists(folder));
    EXPECT_EQ(file_bytes(around + "\\outside.txt"),
              (std::vector<uint8_t>{'b', 'e', 's', 'i', 'd', 'e'}));
    EXPECT_TRUE(exists(around + "\\absolute.txt"));
    EXPECT_TRUE(exists(kScratch + "\\rooted.txt"));
    EXPECT_EQ(folder_entries(around), (std::vector<std::string>{"absolute.txt", "outside.txt"}));
}

// The copy that does the work runs from a folder made for it, which only it (Administrators
// and SYSTEM) may enter, and which goes when it is done.
TEST_F(Uninstall, TheCopyRunsFromAPrivateFolderOfItsOwnThatGoesWithIt) {
    const std::string folder = kScratch + "\\Copy Folder";
    install(folder, true, true, true);
    ASSERT_TRUE(copy_traces().empty());
    UninstallRun run;
    ASSERT_TRUE(run.start(uninstall_value("UninstallString")));
    const UninstallBox question = run.wait_for_box();
    ASSERT_NE(question.window, nullptr);
    EXPECT_TRUE(copy_traces().empty());  // nothing is written before Yes
    UninstallRun::answer(question, IDYES);
    EXPECT_EQ(run.wait_for_exit(), 0);
    const UninstallBox report = run.wait_for_box(question.window);
    ASSERT_NE(report.window, nullptr);
    EXPECT_TRUE(has(report.text, "Zentrivo has been removed from " + folder + ".")) << report.text;

    // While the report is up, the copy is running, from its folder.
    const std::vector<std::string> traces = copy_traces();
    ASSERT_EQ(traces.size(), 1u);
    const std::string copy_folder = temp_folder() + traces[0];
    EXPECT_TRUE(is_copy_folder_name(traces[0])) << traces[0];
    EXPECT_TRUE(is_folder(copy_folder));
    // (Not listed: Wine lists no folder that a handle with the right to delete it holds.)
    EXPECT_TRUE(exists(copy_folder + "\\UnInst.exe"));
    EXPECT_TRUE(same_path_text(image_of_process(report.process), copy_folder + "\\UnInst.exe"))
        << image_of_process(report.process);
    // Nobody else is let in. (Wine keeps an access list only as the Unix mode, which reads
    // back as its owner and SYSTEM; a folder made without one lets everyone read.)
    for (const std::string& account : accounts_let_into(copy_folder)) {
        EXPECT_TRUE(account == "SYSTEM" || account == "Administrators" || account == "an account")
            << account;
    }
    EXPECT_FALSE(accounts_let_into(copy_folder).empty());

    UninstallRun::answer(report, IDOK);
    EXPECT_TRUE(UninstallRun::wait_for_end_of(report));
    // Gone, the folder and the file that ran from it (under Wine at once, as its last handle
    // closed; on Windows, where the system keeps it, at the next restart).
    wait_until([] { return copy_traces().empty(); }, 5000);
    EXPECT_EQ(copy_traces(), std::vector<std::string>{});
    EXPECT_TRUE(has(pending_removals(), copy_folder + ".tmp\n")) << pending_removals();
    expect_no_product_traces(folder);
    EXPECT_FALSE(exists(folder));
}

// A product file or folder replaced by a link (under Wine a Unix symbolic link, the only
// kind it makes): the link is left, and what it leads to is not touched.
TEST_F(Uninstall, LinksInTheFolderAreLeftAloneAndWhatTheyLeadToIsNotTouched) {
    const std::string folder = kScratch + "\\Links\\QARN";
    install(folder, true, true, true);
    const std::string outside = kScratch + "\\Outside";
    make_folder(outside + "\\Help");
    write_text(outside + "\\LICENSE.TXT", "not the product's");
    write_text(outside + "\\Help\\QARN_DE.CHM", "not the product's either");
    ASSERT_TRUE(DeleteFileA((folder + "\\LICENSE.TXT").c_str()));
    link_or_fail(folder + "\\LICENSE.TXT", outside + "\\LICENSE.TXT", false);
    link_or_fail(folder + "\\Help", outside + "\\Help", true);
    // A list naming a file in that folder, as a product with a Help folder would.
    std::string list = "QARN uninstall list 1\r\n";
    for (const std::string& line : list_lines(folder + "\\UNINST.LST")) list += line + "\r\n";
    write_text(folder + "\\UNINST.LST", list + "Help\\QARN_DE.CHM\r\n");

    const ConfirmedUninstall done = uninstall_with_yes(uninstall_value("UninstallString"));
    EXPECT_TRUE(has(done.report, "Zentrivo has been removed from " + folder + ".")) << done.report;
    EXPECT_TRUE(has(done.report,
                    "Left alone, because they are links (junctions or symbolic links) or lie "
                    "behind one, and removing through a link could reach outside the folder:\n"
                    "- LICENSE.TXT\n- Help\\QARN_DE.CHM\n"))
        << done.report;
    EXPECT_TRUE(has(done.report, "Kept:\n- the folder " + folder)) << done.report;
    EXPECT_EQ(done.exit_code, 0);

    EXPECT_EQ(file_bytes(outside + "\\LICENSE.TXT"), file_bytes_of_text("not the product's"));
    EXPECT_EQ(file_bytes(outside + "\\Help\\QARN_DE.CHM"),
              file_bytes_of_text("not the product's either"));
    EXPECT_EQ(folder_entries(folder), (std::vector<std::string>{"Help", "LICENSE.TXT"}));
    EXPECT_EQ(uninstall_value("UninstallString"), "<missing>");
    EXPECT_FALSE(exists(desktop_icon()));
}

// An installation reached through a link: the uninstaller works in no folder that is, or
// lies in, a link, so nothing changes anywhere.
TEST_F(Uninstall, AnInstallationReachedThroughALinkIsNotTouched) {
    const std::string real = kScratch + "\\Real";
    install(real + "\\QARN", true, true, true);
    link_or_fail(kScratch + "\\Via", real, true);
    const std::string via = kScratch + "\\Via\\QARN";
    const std::string before = system_snapshot(real + "\\QARN");

    UninstallRun run;
    ASSERT_TRUE(run.start("\"" + via + "\\UnInst.exe\""));
    const UninstallBox box = run.wait_for_box();
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(box.text, "Zentrivo is not removed from\n\n    " + via +
                            "\n\nThis folder is a link (a junction or symbolic link), or lies in "
                            "a linked or mounted folder, and the uninstaller removes nothing "
                            "through a link. Nothing was removed.");
    UninstallRun::answer(box, IDOK);
    EXPECT_EQ(run.wait_for_exit(), 2);
    EXPECT_EQ(system_snapshot(real + "\\QARN"), before);
    EXPECT_TRUE(copy_traces().empty());
}

// A setup that was ended by force leaves its work folder (what it moved aside, its journal):
// the installer's, not the user's. It goes with everything in it, is said so, and keeps
// nothing alive: with a file of the user's the folder stays for that file alone, without
// one the folder goes.
TEST_F(Uninstall, AWorkFolderASetupLeftGoesAndIsNotCountedAsTheUsers) {
    for (const bool users_file : {true, false}) {
        SCOPED_TRACE(users_file ? "with a file of the user's" : "without");
        const std::string folder = kScratch + (users_file ? "\\Interrupted" : "\\Killed");
        install(folder, true, true, true);
        const std::string work = folder + "\\QARN.UNDO";
        make_folder(work + "\\moved\\Help");
        write_text(work + "\\journal", "1 QARN.exe\r\n");
        write_text(work + "\\moved\\QARN.exe", "the previous version");
        write_text(work + "\\moved\\Help\\QARN_DE.CHM", "the previous help");
        SetFileAttributesA((work + "\\moved\\QARN.exe").c_str(), FILE_ATTRIBUTE_READONLY);
        if (users_file) write_text(folder + "\\My notes.txt", "mine");

        const ConfirmedUninstall done = uninstall_with_yes(uninstall_value("UninstallString"));
        EXPECT_TRUE(has(done.report, "Zentrivo has been removed from " + folder + "."))
            << done.report;
        EXPECT_TRUE(has(done.report, "- " + std::to_string(product_files().size()) + " files"))
            << done.report;
        EXPECT_TRUE(has(done.report, "- the work folder QARN.UNDO that an interrupted setup left"))
            << done.report;
        EXPECT_EQ(has(done.report, "- 1 file you added, and the folder " + folder), users_file)
            << done.report;
        EXPECT_EQ(done.exit_code, 0);
        expect_no_product_traces(folder);
        if (users_file) {
            EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"My notes.txt"});
        } else {
            EXPECT_FALSE(exists(folder));
        }
    }
}

TEST_F(Uninstall, WithoutATemporaryFolderTheUninstallerGoesAtTheNextRestart) {
    const std::string folder = kScratch + "\\No Temp";
    install(folder, true, true, true);
    // No copy can be made where the temporary folder is missing: the uninstaller does the
    // work itself and leaves its own file, and the folder, to the next restart.
    UninstallRun run;
    ASSERT_TRUE(run.start(uninstall_value("UninstallString"), kScratch + "\\no such folder"));
    const UninstallBox question = run.wait_for_box();
    ASSERT_NE(question.window, nullptr);
    UninstallRun::answer(question, IDYES);
    const UninstallBox report = run.wait_for_box(question.window);
    ASSERT_NE(report.window, nullptr);
    EXPECT_TRUE(has(report.text, "Zentrivo has been removed from " + folder + ".")) << report.text;
    EXPECT_TRUE(has(report.text,
                    "- " + std::to_string(product_files().size() - 1) + " files and 1 folder\n"))
        << report.text;
    EXPECT_TRUE(has(report.text, "- UnInst.exe at the next restart of Windows")) << report.text;
    EXPECT_FALSE(has(report.text, "Kept:")) << report.text;
    UninstallRun::answer(report, IDOK);
    EXPECT_EQ(run.wait_for_exit(), 0);

    EXPECT_EQ(folder_entries(folder), std::vector<std::string>{"UnInst.exe"});
    const std::string pending = pending_removals();
    EXPECT_TRUE(has(pending, folder + "\\UnInst.exe\n")) << pending;
    EXPECT_TRUE(has(pending, folder + "\n")) << pending;
    EXPECT_FALSE(exists(common_group()));
    EXPECT_FALSE(exists(desktop_icon()));
    EXPECT_EQ(uninstall_value("UninstallString"), "<missing>");
}

TEST_F(Uninstall, AFileInUseKeepsWhatASecondRunNeedsAndTheSecondRunFinishes) {
    const std::string folder = kScratch + "\\In Use";
    install(folder, true, true, true);
    // The product's program held open without leave to delete it, as a running program is.
    HANDLE held = CreateFileA((folder + "\\QARN.exe").c_str(), GENERIC_READ, FILE_SHARE_READ,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const ConfirmedUninstall first = uninstall_with_yes(uninstall_value("UninstallString"));
    CloseHandle(held);
    EXPECT_TRUE(has(first.report, "Zentrivo could not be removed completely from " + folder + "."))
        << first.report;
    EXPECT_TRUE(has(first.report, "run the uninstaller again):\n- QARN.exe")) << first.report;
    EXPECT_FALSE(has(first.report, "Kept:")) << first.report;
    // Everything a second run needs is still there.
    EXPECT_EQ(folder_entries(folder),
              (std::vector<std::string>{"QARN.exe", "UNINST.LST", "UnInst.exe"}));
    EXPECT_EQ(uninstall_value("UninstallString"), uninstall_command_for(folder));
    EXPECT_EQ(recorded_dir(), folder);
    EXPECT_TRUE(exists(desktop_icon()));
    EXPECT_EQ(folder_entries(common_group()).size(), 4u);

    const ConfirmedUninstall second = uninstall_with_yes(uninstall_value("UninstallString"));
    EXPECT_TRUE(has(second.report, "Zentrivo has been removed from " + folder + "."))
        << second.report;
    EXPECT_TRUE(has(second.report, "- 3 files and 2 folders\n")) << second.report;
    expect_no_product_traces(folder);
    EXPECT_FALSE(exists(folder));
}

TEST_F(Uninstall, NoChangesNothing) {
    SetupRun setup;
    ASSERT_TRUE(setup.start());
    const std::string folder = program_files_dir() + "\\QARN";
    install_and_expect_success(setup);
    write_text(folder + "\\My notes.txt", "mine");
    const std::string before = system_snapshot(folder);

    UninstallRun run;
    ASSERT_TRUE(run.start(uninstall_value("UninstallString")));
    const UninstallBox question = run.wait_for_box();
    ASSERT_NE(question.window, nullptr);
    EXPECT_EQ(question.caption, "Zentrivo Uninstall");
    UninstallRun::answer(question, IDNO);
    EXPECT_EQ(run.wait_for_exit(), 1);
    EXPECT_TRUE(UninstallRun::no_box_within(1500));
    EXPECT_EQ(system_snapshot(folder), before);
}

TEST_F(Uninstall, ASecondRunSaysThereIsNothingLeftAndChangesNothing) {
    const std::string folder = kScratch + "\\Twice";
    install(folder, true, true, true);
    write_text(folder + "\\My notes.txt", "mine");
    const ConfirmedUninstall first = uninstall_with_yes(uninstall_value("UninstallString"));
    ASSERT_TRUE(has(first.report, "has been removed")) << first.report;
    expect_no_product_traces(folder);

    // The uninstaller again, from a backup, in the folder that stayed for the user's file.
    ASSERT_TRUE(CopyFileA((product_dir() + "\\UnInst.exe").c_str(),
                          (folder + "\\UnInst.exe").c_str(), TRUE));
    const std::string before = system_snapshot(folder);
    UninstallRun run;
    ASSERT_TRUE(run.start(folder + "\\UnInst.exe"));
    const UninstallBox box = run.wait_for_box();
    ASSERT_NE(box.window, nullptr);
    EXPECT_EQ(
        box.text,
        "There is nothing left to remove: Zentrivo is no longer installed in\n\n    " + folder);
    UninstallRun::answer(box, IDOK);
    EXPECT_EQ(run.wait_for_exit(), 0);
    EXPECT_EQ(system_snapshot(folder), before);
}

TEST_F(Uninstall, AFolderDeletedByHandLeavesNothingToStartAndNothingChanges) {
    const std::string folder = kScratch + "\\Deleted";
    install(folder, true, true, true);
    const std::string command = uninstall_value("UninstallString");
    // By hand: the folder with everything in it.
    ASSERT_TRUE(std::filesystem::remove_all(folder) > 0);
    const std::string before = system_snapshot(folder);

    UninstallRun run;
    EXPECT_FALSE(run.start(command));
    EXPECT_TRUE(run.error() == ERROR_FILE_NOT_FOUND || run.error() == ERROR_PATH_NOT_FOUND)
        << run.error();
    EXPECT_TRUE(UninstallRun::no_box_within(1500));
    EXPECT_EQ(system_snapshot(folder), before);

    // A copy of the uninstaller started from another folder finds nothing of its own there,
    // and leaves the entries that point at the deleted folder alone.
    const std::string elsewhere = kScratch + "\\Elsewhere";
    make_folder(elsewhere);
    write_text(elsewhere + "\\QARN.exe", "not the product's");
    ASSERT_TRUE(CopyFileA((product_dir() + "\\UnInst.exe").c_str(),
                          (elsewhere + "\\UnInst.exe").c_str(), TRUE));
    const std::string elsewhere_before = system_snapshot(elsewhere);
    UninstallRun copy;
    ASSERT_TRUE(copy.start("\"" + elsewhere + "\\UnInst.exe\""));
    const UninstallBox box = copy.wait_for_box();
    ASSERT_NE(box.window, nullptr);
    EXPECT_TRUE(has(box.text, "There is nothing left to remove")) << box.text;
    UninstallRun::answer(box, IDOK);
    EXPECT_EQ(copy.wait_for_exit(), 0);
    EXPECT_EQ(system_snapshot(elsewhere), elsewhere_before);
    EXPECT_EQ(system_snapshot(folder), before);
}

}  // namespace
}  // namespace qarn::e2e
