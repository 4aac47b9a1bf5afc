#include "archive/entry_name_check.h"

#include <cstring>

#include "archive/archive_reader.h"
#include "system/ascii_case.h"

namespace qarn {
namespace {

bool equals_upper(const char* s, size_t n, const char* word) {
    if (std::strlen(word) != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (ascii_upper(s[i]) != word[i]) return false;
    }
    return true;
}

// Windows opens a device for these base names, whatever the extension: "nul.txt" is NUL.
// Digits include the code page's superscripts one to three (0xB9, 0xB2, 0xB3).
bool is_reserved_device(const char* component, size_t length) {
    size_t base = 0;
    while (base < length && component[base] != '.') ++base;
    while (base > 0 && component[base - 1] == ' ') --base;  // "CON .txt" is CON too
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* word : kDevices) {
        if (equals_upper(component, base, word)) return true;
    }
    if (base == 4 && (equals_upper(component, 3, "COM") || equals_upper(component, 3, "LPT"))) {
        const auto d = static_cast<unsigned char>(component[3]);
        return (d >= '1' && d <= '9') || d == 0xB9 || d == 0xB2 || d == 0xB3;
    }
    return false;
}

NameRefusal check_component(const char* c, size_t n) {
    if (n == 0) return NameRefusal::kEmptyComponent;
    if (n == 2 && c[0] == '.' && c[1] == '.') return NameRefusal::kParentComponent;
    if (c[n - 1] == '.' || c[n - 1] == ' ') return NameRefusal::kTrailingDotOrSpace;
    if (is_reserved_device(c, n)) return NameRefusal::kReservedDevice;
    return NameRefusal::kNone;
}

}  // namespace

NameRefusal check_entry_name(const char* name) {
    if (name == nullptr || *name == '\0') return NameRefusal::kEmpty;
    if (is_path_separator(name[0])) return NameRefusal::kLeadingSeparator;
    for (const char* p = name; *p != '\0'; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c == ':') return NameRefusal::kDriveOrColon;
        if (c < 0x20 || std::strchr("<>\"|?*", c) != nullptr) return NameRefusal::kControlCharacter;
    }
    const char* start = name;
    for (const char* p = name;; ++p) {
        if (*p == '\0' || is_path_separator(*p)) {
            const NameRefusal r = check_component(start, static_cast<size_t>(p - start));
            if (r != NameRefusal::kNone) return r;
            if (*p == '\0') break;
            start = p + 1;
        }
    }
    return NameRefusal::kNone;
}

const char* name_refusal_text(NameRefusal refusal) {
    switch (refusal) {
        case NameRefusal::kNone: return "acceptable";
        case NameRefusal::kEmpty: return "the name is empty";
        case NameRefusal::kParentComponent: return "a '..' component leads out of the target folder";
        case NameRefusal::kDriveOrColon: return "a drive or colon in the name";
        case NameRefusal::kLeadingSeparator: return "the name starts with a separator (a rooted or UNC path)";
        case NameRefusal::kReservedDevice: return "a Windows device name (CON, PRN, AUX, NUL, COM1-9, LPT1-9)";
        case NameRefusal::kTrailingDotOrSpace: return "a component ends in a dot or a space";
        case NameRefusal::kEmptyComponent: return "an empty component (doubled or trailing separator)";
        case NameRefusal::kControlCharacter: return "a control character or one of < > \" | ? *";
    }
    return "refused";
}

}  // namespace qarn
