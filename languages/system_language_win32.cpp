// Whether Windows itself is set up in German: the system default, not the user's choice,
// decides the start values of the language boxes.
#include <windows.h>

#include "languages/system_language_win32.h"

#include "languages/language_table.h"

namespace qarn {

bool system_default_is_german() { return is_german_language_id(GetSystemDefaultLangID()); }

}  // namespace qarn
