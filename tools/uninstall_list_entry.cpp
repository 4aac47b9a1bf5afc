#include "tools/uninstall_list_entry.h"

#include <algorithm>

#include "pack/dos_time.h"
#include "pack/memory_input.h"
#include "uninstall/uninstall_list.h"

namespace qarn::tools {

UninstallListEntry make_uninstall_list_entry(const std::string& list_name,
                                             const std::vector<ProductFile>& files,
                                             std::string& problem) {
    std::vector<std::string> names;
    names.reserve(files.size());
    uint32_t newest = 0;
    for (const ProductFile& f : files) {
        names.push_back(f.name);
        newest = std::max(newest, f.dos_time);  // date in the high half: compares as a time
    }
    if (newest == 0) newest = dos_date_time(80, 0, 1, 0, 0, 0);  // no file: the format's start
    problem = uninstall_list_name_problem(list_name, names);
    if (!problem.empty()) return {};
    return UninstallListEntry{list_name, uninstall_list_text(names, list_name), newest};
}

PackStatus add_uninstall_list_entry(ArchiveWriter& writer, const UninstallListEntry& entry,
                                    EntryOutcome& outcome) {
    MemoryInput input(reinterpret_cast<const uint8_t*>(entry.text.data()), entry.text.size());
    const EntryDescription d{entry.name.c_str(), 0x20, entry.dos_time, entry.text.size()};
    return writer.add_entry(d, input, outcome);
}

}  // namespace qarn::tools
