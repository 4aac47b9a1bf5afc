// Which entries an installation writes: the product's language files follow the chosen
// languages, everything else is always written.
#pragma once

#include "languages/language_table.h"

namespace qarn {

enum class LanguageVerdict {
    kNoLanguage,  // not a language file: always written
    kChosen,      // a file of a chosen language: written
    kNotChosen,   // a file of a language not chosen: not written, and none may stay
};

// Files of a language are named prefix + code + "." + extension (QARN_DE.CHM), the
// extra-languages row taking every prefix + "_" name no earlier row claimed. Letter case
// does not matter.
LanguageVerdict language_verdict(const char* entry_name, const LanguageEntry* table,
                                 const char* product_prefix);

// True when the entry is written. An entry of a language that is not chosen is not
// written, and a file of that name already at `target_path` is removed, so that no file of
// it stays behind. An empty name is wanted only when `target_path` does not exist.
bool wanted_removing_unchosen(const char* entry_name, const char* target_path,
                              const LanguageEntry* table, const char* product_prefix);

}  // namespace qarn
