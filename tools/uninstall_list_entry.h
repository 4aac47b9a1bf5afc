// mksetup build --uninstall-list NAME: the uninstall list (uninstall/uninstall_list.h) of the
// files about to be packed, added as the archive's last entry.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "pack/archive_writer.h"
#include "tools/product_folder.h"

namespace qarn::tools {

struct UninstallListEntry {
    std::string name;
    std::string text;
    // The newest time among the product's files, so that a rebuild of the same folder
    // gives the same bytes; attributes 0x20 (archive), as every other entry.
    uint32_t dos_time = 0;
};

// The list entry for the scanned `files` (in archive order), or an empty name with
// `problem` set when `list_name` cannot be the list's name.
UninstallListEntry make_uninstall_list_entry(const std::string& list_name,
                                             const std::vector<ProductFile>& files,
                                             std::string& problem);

// Packs the list as the next entry.
PackStatus add_uninstall_list_entry(ArchiveWriter& writer, const UninstallListEntry& entry,
                                    EntryOutcome& outcome);

}  // namespace qarn::tools
