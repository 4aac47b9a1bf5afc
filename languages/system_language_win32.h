// Whether Windows itself is set up in German.
#pragma once

namespace qarn {

// True when the system's default language id is one of the five German ones.
bool system_default_is_german();

}  // namespace qarn
