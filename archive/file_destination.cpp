#include "archive/file_destination.h"

#include <cstring>

#include "archive/language_choice.h"
#include "platform/platform.h"
#include "system/paths.h"

namespace qarn {
namespace {

// Creates the folders above a file's path; failures show later, when the file is created.
void create_parent_folders(const char* target_path) {
    const uint16_t k = file_name_offset(target_path);
    if (k <= 1 || target_path[k - 1] != '\\') return;
    char folder[kPathSize];
    std::memcpy(folder, target_path, k - 1u);
    folder[k - 1] = '\0';
    create_folder_path(folder);
}

}  // namespace

bool FileDestination::wanted(const char* entry_name, const char* target_path) {
    return wanted_removing_unchosen(entry_name, target_path, languages_, product_prefix_);
}

EntryOutput* FileDestination::create(const char* target_path) {
    output_.file.close();
    create_parent_folders(target_path);
    // Existing files are always replaced. One that cannot be removed (read-only, in use),
    // or a folder standing there, makes the creation fail: it is never opened and
    // overwritten in place, also where the runtime would allow it.
    if (check_exists(target_path) == kExists) platform::remove_file(target_path);
    if (check_exists(target_path) == kExists) return nullptr;
    output_.file = open_shared(target_path, "w+b", 2);
    if (!output_.file) return nullptr;
    if (!make_unbuffered(output_.file)) {
        output_.file.close();
        platform::remove_file(target_path);
        return nullptr;
    }
    path_ = target_path;
    return &output_;
}

bool FileDestination::keep(uint32_t dos_time, uint32_t attr) {
    if (!output_.file.close()) return false;
    platform::set_file_dos_time(path_, dos_time);
    platform::set_file_attributes(path_, attr);
    return true;
}

void FileDestination::discard() {
    output_.file.close();
    platform::remove_file(path_);
}

}  // namespace qarn
