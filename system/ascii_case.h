// Case in entry names, folder names and list lines: ASCII letters only. Bytes above 0x7F
// are the code page's and keep their case, so that a comparison never depends on the
// system's locale.
#pragma once

namespace qarn {

constexpr char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr char ascii_upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace qarn
