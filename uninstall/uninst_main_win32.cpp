// UnInst.exe of the demo product: the uninstaller that setup.exe registers. Started as the
// uninstall entry starts it (no arguments), it finds what the installation in its own folder
// left behind, asks once, and hands the removal to a copy of itself in a folder made for it
// in the temporary folder, which removes everything, this program's file included, and
// reports what it removed and what it kept. See docs/uninstall.md.
#include <windows.h>

#include <string>

#include "setup/dll_search_win32.h"
#include "system/handles_win32.h"
#include "uninstall/finish_command.h"
#include "uninstall/self_removal_win32.h"
#include "uninstall/uninstall_system_win32.h"
#include "uninstall/uninstall_texts.h"

namespace qarn::uninstall {
namespace {

enum ExitCode : int {
    kExitDone = 0,       // removed, or nothing was left to remove
    kExitCancelled = 1,  // the user said No: nothing changed
    kExitPartly = 2,     // something could not be removed; the report names it
    kExitCannotStart = 3,
};

void show(Language language, const std::string& text, UINT icon) {
    MessageBoxA(nullptr, text.c_str(), caption_text(language), icon | MB_OK | MB_SETFOREGROUND);
}

int report(Language language, const Outcome& outcome) {
    show(language, report_text(language, outcome),
         complete(outcome) ? MB_ICONINFORMATION : MB_ICONWARNING);
    return complete(outcome) ? kExitDone : kExitPartly;
}

// Tells the user that the folder is not worked in (it is a link, or lies in one); true when
// that is so.
bool folder_refused(const Installation& inst, Language language) {
    FolderProblem problem;
    if (!folder_refused(inst, problem)) return false;
    show(language, folder_refused_text(language, inst.folder, problem), MB_ICONWARNING);
    return true;
}

// Tells the user that there is nothing to do; true when that is so.
bool nothing_to_do(const Installation& inst, Language language) {
    const Findings findings = findings_of(inst);
    if (anything_to_remove(findings)) return false;
    if (findings.list_damaged) {
        show(language, damaged_list_text(language, inst.folder), MB_ICONWARNING);
    } else {
        show(language, nothing_left_text(language, inst.folder), MB_ICONINFORMATION);
    }
    return true;
}

// Started by the user (or by the list of installed programs) from the installation's folder.
int start_removal() {
    char own[MAX_PATH];
    const DWORD n = GetModuleFileNameA(nullptr, own, sizeof own);
    if (n == 0 || n >= sizeof own) {
        show(Language::kEnglish, cannot_start_text(Language::kEnglish), MB_ICONERROR);
        return kExitCannotStart;
    }
    Installation inst = survey_installation(own);
    const Language language = choose_language(inst.evidence);
    if (folder_refused(inst, language)) return kExitPartly;
    if (nothing_to_do(inst, language)) return kExitDone;
    const int answer =
        MessageBoxA(nullptr, confirmation_text(language, inst.folder).c_str(),
                    caption_text(language), MB_YESNO | MB_ICONQUESTION | MB_SETFOREGROUND);
    if (answer != IDYES) return kExitCancelled;
    if (hand_over_to_copy(own, language)) return kExitDone;
    // No copy could be started: everything but this file goes now, this file at the restart.
    return report(language, remove_installation(inst, SelfRemoval::kAtRestart));
}

// The copy in its folder, once the user has said Yes.
int finish_removal(const FinishRequest& request) {
    wait_for_original(request.wait_handle);
    int status = kExitDone;
    {
        Installation inst = survey_installation(request.uninstaller_path);
        if (folder_refused(inst, request.language)) {
            status = kExitPartly;
        } else if (!nothing_to_do(inst, request.language)) {
            status = report(request.language, remove_installation(inst, SelfRemoval::kNow));
        }
    }
    // After the report, which is shown while the copy's folder is still there; last of all.
    leave_copy_folder(request);
    return status;
}

}  // namespace
}  // namespace qarn::uninstall

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR arguments, int) {
    using namespace qarn::uninstall;
    // Before anything loads a DLL by name: from the system folder only, never from the
    // program's folder (the copy's is the temporary folder's child) or the current one.
    qarn::restrict_dll_search();
    // Drive errors come back as failed calls, not as system message boxes.
    SetErrorMode(SEM_FAILCRITICALERRORS);
    // The link files are read through the shell's link object.
    const qarn::OleSession ole;
    FinishRequest request;
    if (arguments != nullptr && parse_finish_arguments(arguments, request)) {
        return finish_removal(request);
    }
    return start_removal();
}
