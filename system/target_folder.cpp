#include "system/target_folder.h"

namespace qarn {

platform::Found TargetFolder::look(const char* relative) {
    return platform::look_below(base_, relative);
}

bool TargetFolder::make_folder(const char* relative) {
    return platform::make_folder_below(base_, relative);
}

bool TargetFolder::move_file(const char* from, const char* to) {
    return platform::move_file_below(base_, from, to);
}

bool TargetFolder::remove(const char* relative) { return platform::remove_below(base_, relative); }

platform::NewFile TargetFolder::create_file(const char* relative) {
    return platform::create_file_below(base_, relative);
}

size_t TargetFolder::write(platform::NewFile& file, const void* data, size_t count) {
    return file.write(data, count);
}

bool TargetFolder::flush(platform::NewFile& file) { return file.flush(); }

bool TargetFolder::finish(platform::NewFile& file, uint32_t dos_date_time, uint32_t attributes) {
    return file.finish(dos_date_time, attributes);
}

int64_t TargetFolder::read_file(const char* relative, void* buffer, size_t capacity) {
    return platform::read_file_below(base_, relative, buffer, capacity);
}

}  // namespace qarn
