#include "tools/product_folder.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <fstream>
#include <map>
#include <system_error>

#include "archive/archive_context.h"
#include "archive/entry_name_check.h"
#include "pack/dos_time.h"
#include "system/ascii_case.h"

namespace qarn::tools {
namespace fs = std::filesystem;
namespace {

constexpr uint64_t kMaxEntrySize = 0x7FFFFFFFu;  // the header's sizes are signed 32-bit counts

std::string lower(const std::string& s) {
    std::string out = s;
    for (char& c : out) c = ascii_lower(c);
    return out;
}

std::string extension_of(const std::string& name) {
    const size_t slash = name.rfind('\\');
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    return lower(name.substr(dot + 1));
}

// The entry name of `relative`, or an empty string with `why` set.
std::string entry_name_of(const fs::path& relative, std::string& why) {
    std::string name;
    for (const fs::path& part : relative) {
        // Through UTF-8, so that the check sees every character the same way everywhere.
        const std::u8string u8 = part.u8string();
        std::string component(u8.begin(), u8.end());
        for (const char c : component) {
            const auto b = static_cast<unsigned char>(c);
            if (b < 0x20 || b > 0x7E) {
                why =
                    "a character outside printable ASCII (the installer writes names in the "
                    "system's ANSI code page)";
                return {};
            }
            if (c == '\\') {
                why = "a '\\' inside a name (the installer reads it as a folder separator)";
                return {};
            }
        }
        if (!name.empty()) name += '\\';
        name += component;
    }
    return name;
}

uint32_t dos_time_of(const fs::path& p, std::error_code& ec) {
    const fs::file_time_type t = fs::last_write_time(p, ec);
    if (ec) return 0;
    const auto sys = std::chrono::file_clock::to_sys(t);
    const std::time_t tt = std::chrono::system_clock::to_time_t(
        std::chrono::time_point_cast<std::chrono::system_clock::duration>(sys));
    const std::tm* local = std::localtime(&tt);
    if (local == nullptr) return dos_date_time(80, 0, 1, 0, 0, 0);
    return dos_date_time(local->tm_year, local->tm_mon, local->tm_mday, local->tm_hour,
                         local->tm_min, local->tm_sec);
}

bool readable(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    char c;
    return in.is_open() && (in.read(&c, 1) || in.eof());
}

// One file of the folder: its entry, or the reason it cannot be one (in scan.errors).
void add_file(const fs::directory_entry& entry, const fs::path& folder, FolderScan& scan) {
    const fs::path relative = entry.path().lexically_relative(folder);
    const std::string shown = relative.generic_string();
    std::error_code type_ec;
    if (entry.is_directory(type_ec)) {
        // Links to folders are not followed (they may loop); saying so beats leaving their
        // files out unnoticed.
        if (entry.is_symlink(type_ec)) {
            scan.errors.push_back(shown + ": a link to a folder (not followed; copy the folder in)");
        }
        return;
    }
    if (!entry.is_regular_file(type_ec)) {
        scan.errors.push_back(shown + ": not a regular file (only files can be packed)");
        return;
    }
    std::string why;
    const std::string name = entry_name_of(relative, why);
    if (name.empty()) {
        scan.errors.push_back(shown + ": name refused: " + why);
        return;
    }
    if (name.size() >= kPathCapacity) {
        scan.errors.push_back(shown + ": name refused: longer than 259 characters (" +
                              std::to_string(name.size()) + ")");
        return;
    }
    const NameRefusal refusal = check_entry_name(name.c_str());
    if (refusal != NameRefusal::kNone) {
        scan.errors.push_back(shown + ": name refused by the installer: " +
                              name_refusal_text(refusal));
        return;
    }
    if (name.size() > kNameRoomInDefaultFolder) {
        scan.warnings.push_back(shown + ": the name has " + std::to_string(name.size()) +
                                " characters; with the default target folder the full path "
                                "would pass 259 characters");
    }
    std::error_code size_ec;
    const uint64_t size = entry.file_size(size_ec);
    if (size_ec) {
        scan.errors.push_back(shown + ": cannot read the file (" + size_ec.message() + ")");
        return;
    }
    if (size > kMaxEntrySize) {
        scan.errors.push_back(shown + ": the file has 2 GB or more, which the archive format "
                                      "cannot hold");
        return;
    }
    if (!readable(entry.path())) {
        scan.errors.push_back(shown + ": cannot read the file");
        return;
    }
    std::error_code time_ec;
    const uint32_t dos_time = dos_time_of(entry.path(), time_ec);
    const fs::perms perms = fs::status(entry.path(), type_ec).permissions();
    const bool read_only = !type_ec && (perms & fs::perms::owner_write) == fs::perms::none;
    scan.files.push_back({entry.path(), name, size, read_only ? 0x21u : 0x20u, dos_time});
}

// Windows knows no difference of letter case: two such names would be one file, and a file
// cannot share its name with another file's folder.
void find_name_clashes(FolderScan& scan) {
    std::map<std::string, std::string> by_lower;
    for (const ProductFile& f : scan.files) {
        const auto [at, fresh] = by_lower.emplace(lower(f.name), f.name);
        if (!fresh) {
            scan.errors.push_back(f.name + ": the same name as " + at->second +
                                  " on Windows, which ignores letter case");
        }
    }
    for (const ProductFile& f : scan.files) {
        const std::string l = lower(f.name);
        for (size_t cut = l.find('\\'); cut != std::string::npos; cut = l.find('\\', cut + 1)) {
            const auto clash = by_lower.find(l.substr(0, cut));
            if (clash != by_lower.end()) {
                scan.errors.push_back(f.name + ": its folder has the name of the file " +
                                      clash->second);
                break;
            }
        }
    }
}

// By extension, then by name without regard to case, then by name as stored.
void sort_in_archive_order(std::vector<ProductFile>& files) {
    std::sort(files.begin(), files.end(), [](const ProductFile& a, const ProductFile& b) {
        const std::string ea = extension_of(a.name);
        const std::string eb = extension_of(b.name);
        if (ea != eb) return ea < eb;
        const std::string la = lower(a.name);
        const std::string lb = lower(b.name);
        if (la != lb) return la < lb;
        return a.name < b.name;
    });
}

}  // namespace

FolderScan scan_product_folder(const fs::path& folder) {
    FolderScan scan;
    std::error_code ec;
    if (!fs::is_directory(folder, ec)) {
        scan.errors.push_back(folder.string() + ": not a folder");
        return scan;
    }
    fs::recursive_directory_iterator it(folder, fs::directory_options::none, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        add_file(*it, folder, scan);
    }
    if (ec) {
        scan.errors.push_back(folder.string() + ": cannot read the folder (" + ec.message() + ")");
        return scan;
    }
    find_name_clashes(scan);
    sort_in_archive_order(scan.files);
    std::sort(scan.errors.begin(), scan.errors.end());
    std::sort(scan.warnings.begin(), scan.warnings.end());
    return scan;
}

}  // namespace qarn::tools
