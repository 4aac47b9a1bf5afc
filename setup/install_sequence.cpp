// The installation, step by step. Nothing is reordered: a killed run's changes are put
// back before anything else; the setup file is checked whole before the folder is made or
// recorded, so that a damaged or cut file changes nothing; the folder is recorded before
// the extraction, so that the record stays even when the extraction fails; the success
// message comes last, whatever the silent steps after the extraction did.
#include "setup/install_sequence.h"

#include <cstring>

#include "archive/undo_journal.h"
#include "platform/platform.h"
#include "system/product_names.h"
#include "system/target_folder.h"
#include "system/target_folder_check.h"

namespace qarn {
namespace {

constexpr uint64_t kCluster = 4096;

InstallOutcome outcome(InstallResult result, int32_t extraction = kExtractOk,
                       const RunSummary& summary = {}) {
    return {result, extraction, summary.problem, summary.first_problem};
}

}  // namespace

uint64_t room_needed(const RunSummary& checked) {
    // Every file may end in a part-used cluster; the journal takes a line per file.
    return checked.bytes_written + (uint64_t{checked.files_written} + 2) * kCluster;
}

InstallOutcome run_install(const InstallRequest& request, const char* setup_path,
                           InstallUser& user, SystemSteps& system) {
    if (request.folder[0] == '\0') return outcome(kInstallNoFolder);

    // A folder typed without its drive and root ("RelQ", "\RelQ", "C:RelQ") would depend
    // on where setup was started, and would be recorded so: it is made full, and the user
    // is shown the form then used. Fully qualified folders stay exactly as typed.
    char target[kPathSize];
    if (!join_checked(target, sizeof target, request.folder, "")) {
        user.show_path_error(request.folder);
        return outcome(kInstallBadFolder);
    }
    if (!is_fully_qualified(target)) {
        if (!make_full_path(target, sizeof target)) {
            user.show_path_error(request.folder);
            return outcome(kInstallBadFolder);
        }
        if (std::strcmp(target, request.folder) != 0) user.show_folder(target);
    }
    // The folder with its backslash, as the extraction joins names to it.
    char base[kPathSize];
    if (!join_checked(base, sizeof base, target, "") || !append_backslash(base, sizeof base)) {
        user.show_path_error(target);
        return outcome(kInstallBadFolder);
    }

    // What a killed run left in the folder goes back before anything else.
    PlainTargetFolder folder(base);
    if (platform::is_directory(target) && recover_interrupted_run(folder) == Recovery::kFailed) {
        work_folder_error(folder, user);
        return outcome(kInstallExtractFailed, kExtractEntryFailed);
    }

    // The whole setup file, as the installation will walk it, before anything is written;
    // names are joined to the shortest folder there is, so that a folder too long for a
    // name is the folder's fault, judged next. One open file for the check and the
    // installation: nobody may change it meanwhile.
    File setup_file = open_shared(setup_path, "rb", 1);
    RunSummary summary{};
    const int32_t checked = check_archive(setup_file, setup_path, kShortestTargetFolder,
                                          request.languages, user, summary);
    if (checked != kExtractOk) return outcome(kInstallExtractFailed, checked, summary);
    if (!target_folder_fits(target, summary.longest_name)) {
        user.show_path_error(target);
        return outcome(kInstallBadFolder, kExtractOk, summary);
    }
    // The room it needs: what it replaces stays on the disk, moved aside, until the run has
    // succeeded. A drive whose free space cannot be read is not refused.
    uint64_t free = 0;
    const uint64_t needed = room_needed(summary);
    if (platform::free_space(target, free) && free < needed) {
        user.show_no_room(target, needed, free);
        return outcome(kInstallNoRoom, kExtractOk, summary);
    }

    // The folder with every missing parent; an existing path (folder or file) is used as
    // it is.
    if (check_exists(target) == kMissing && create_folder_path(target) != kFolderCreated) {
        user.show_path_error(target);
        return outcome(kInstallBadFolder, kExtractOk, summary);
    }
    system.record_target_folder(target);

    user.extraction_starts();
    const int32_t installed = install_archive(setup_file, folder, request.languages, user, summary);
    if (installed != kExtractOk) return outcome(kInstallExtractFailed, installed, summary);
    user.extraction_ended();

    // Every composed name fits: the folder was judged with the longest of them above.
    system.create_shortcuts(base, request.start_menu, request.desktop_icon,
                            request.languages.has(ProductLanguage::kGerman));
    char composed[kPathSize];
    if (join_checked(composed, sizeof composed, base, kUninstallerFile)) {
        system.register_uninstaller(composed);
    }
    system.reconcile_settings(base, request.languages);
    user.show_success();
    return outcome(kInstallDone, kExtractOk, summary);
}

}  // namespace qarn
