// The uninstall list as the uninstaller reads it from the product's folder: any bytes at all.
// Whatever the list holds, the plan made of it may only name files and folders inside the
// product's folder, each passing the installer's name rules and fitting a path; the settings
// file is never planned for removal.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "archive/entry_name_check.h"
#include "uninstall/uninstall_plan.h"
#include "uninstall/uninstall_list.h"

namespace {

constexpr std::string_view kFolder = "C:\\Program Files\\Obrelux\\Zentrivo\\";

void expect_inside(const std::string& relative) {
    const std::string path = std::string(kFolder) + relative;
    if (relative.empty() || path.size() > qarn::uninstall::kMaxPath) std::abort();
    if (!qarn::uninstall::inside_folder(path, kFolder)) std::abort();
    if (qarn::check_entry_name(relative.c_str()) != qarn::NameRefusal::kNone) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const qarn::UninstallList list = qarn::read_uninstall_list(bytes);
    if (list.verdict != qarn::ListVerdict::kRead && (!list.names.empty() || !list.refused.empty())) {
        std::abort();  // an unusable list yields nothing
    }
    for (const qarn::ListedName& n : list.names) {
        if (qarn::check_entry_name(n.name.c_str()) != qarn::NameRefusal::kNone) std::abort();
    }
    const qarn::uninstall::FilePlan plan =
        qarn::uninstall::plan_files(list, kFolder, "UnInst.exe");
    for (const std::string& f : plan.files) {
        expect_inside(f);
        if (qarn::uninstall::same_path(f, qarn::uninstall::kSettingsName)) std::abort();
    }
    for (const std::string& f : plan.folders) expect_inside(f);
    return 0;
}
