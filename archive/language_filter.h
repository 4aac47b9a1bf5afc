// Which entries an installation writes: the product's language files follow the chosen
// languages, everything else is always written.
#pragma once

#include "languages/language_table.h"

namespace qarn {

// 1 when the entry is wanted, 0 when not. Files are named prefix + code + "." + extension
// (QARN_DE.CHM); an entry of a language that is not chosen is not written, and a file of
// that name already at `target_path` is removed so that no file of it stays behind.
// An empty name is wanted only when `target_path` does not exist.
int language_filter(const char* entry_name, const char* target_path, const LanguageEntry* table,
                    const char* product_prefix);

}  // namespace qarn
