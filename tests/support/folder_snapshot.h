// What a folder holds, every file's bytes, last-write time and permissions and every folder
// included: two snapshots compare equal exactly when the folder is as it was (diff -r, with
// times and attributes).
#pragma once
#include <filesystem>
#include <map>
#include <string>
#include <system_error>

#include "tests/support/test_support.h"

namespace qarn::test {

struct SnapshotItem {
    bool folder = false;
    Bytes data;
    std::filesystem::file_time_type written{};
    std::filesystem::perms permissions{};
    bool operator==(const SnapshotItem&) const = default;
};

using FolderSnapshot = std::map<std::string, SnapshotItem>;

inline FolderSnapshot snapshot(const std::filesystem::path& folder) {
    namespace fs = std::filesystem;
    FolderSnapshot items;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        SnapshotItem item;
        const fs::file_status status = it->symlink_status();
        item.folder = fs::is_directory(status);
        item.permissions = status.permissions();
        if (!item.folder) {
            item.data = read_file(it->path());
            item.written = fs::last_write_time(it->path(), ec);
        }
        items[fs::relative(it->path(), folder).generic_string()] = item;
    }
    return items;
}

// The names in `a` that differ from `b`, for a readable failure.
inline std::string snapshot_difference(const FolderSnapshot& a, const FolderSnapshot& b) {
    std::string out;
    for (const auto& [name, item] : a) {
        const auto other = b.find(name);
        if (other == b.end()) {
            out += " +" + name;
        } else if (!(other->second == item)) {
            out += " ~" + name;
        }
    }
    for (const auto& [name, item] : b) {
        if (a.find(name) == a.end()) out += " -" + name;
    }
    return out;
}

}  // namespace qarn::test
