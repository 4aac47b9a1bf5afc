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
// extra languages taking every prefix + "_" name no earlier language claimed. Letter case
// does not matter.
LanguageVerdict language_verdict(const char* entry_name, const LanguageChoice& choice);

}  // namespace qarn
