// The files of a product folder as mksetup build packs them: every regular file under the
// folder (folders arise from the files' paths; empty folders are not kept; links to files
// are followed, links to folders are refused), named by its path below the folder with '\'
// between components, in a fixed order.
//
// Order (the folder order): by extension (compared without regard to letter case), then by
// name without regard to case, then by name as stored. Files of one kind sit together, which
// helps the solid stream, and the order depends on nothing but the names. From level 4 on,
// mksetup build chains them by content instead (tools/content_order.h).
//
// Names are checked here, before anything is packed, and every problem is listed, not only
// the first: names the installer would refuse; names outside printable ASCII (the installer
// writes names in the system's ANSI code page, which differs between machines); names longer
// than 259 characters (the target folder is chosen only at install time, so only the name
// itself can be checked; a name that leaves less room than the default target folder
// "C:\Program Files\QARN\" needs is warned about); names that only differ in letter case,
// or a file whose name is another file's folder, which Windows cannot hold side by side;
// files of 2 GB or more; files that cannot be read.
#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace qarn::tools {

struct ProductFile {
    std::filesystem::path path;  // on disk
    std::string name;            // entry name, '\' between components
    uint64_t size;
    uint32_t attributes;  // 0x20 archive, plus 0x01 when read-only
    uint32_t dos_time;    // last modification, local time
};

struct FolderScan {
    std::vector<ProductFile> files;   // in archive order
    std::vector<std::string> errors;  // one line each, naming the file
    std::vector<std::string> warnings;
};

// Room the default target folder "C:\Program Files\QARN\" leaves an entry name.
inline constexpr size_t kNameRoomInDefaultFolder = 259 - 22;

FolderScan scan_product_folder(const std::filesystem::path& folder);

}  // namespace qarn::tools
