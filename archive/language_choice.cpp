#include "archive/language_choice.h"

#include <cstring>

#include "system/ascii_case.h"

namespace qarn {
namespace {

bool starts_with_ignoring_case(const char* s, const char* prefix, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == '\0' || ascii_lower(s[i]) != ascii_lower(prefix[i])) return false;
    }
    return true;
}

}  // namespace

LanguageVerdict language_verdict(const char* entry_name, const LanguageChoice& choice) {
    // Position of the '.' in names such as QARN_DE.CHM: prefix plus the first code.
    const size_t prefix_len = std::strlen(kProductPrefix);
    const size_t dot_pos = prefix_len + std::strlen(language_code(ProductLanguage::kGerman));
    const size_t name_len = std::strlen(entry_name);
    if (name_len < dot_pos + 1 || entry_name[dot_pos] != '.') return LanguageVerdict::kNoLanguage;

    char pattern[16];
    for (int i = 0; i < kLanguageRows; ++i) {
        const auto language = static_cast<ProductLanguage>(i);
        const char* code = language_code(language);
        const size_t code_len = std::strlen(code);
        std::memcpy(pattern, kProductPrefix, prefix_len);
        size_t compare_len = dot_pos;
        if (code[2] == '?') {
            // The extra languages claim every prefix + "_" name no earlier one claimed.
            pattern[prefix_len] = '_';
            compare_len = prefix_len + 1;
        } else {
            std::memcpy(pattern + prefix_len, code, code_len);
        }
        if (!starts_with_ignoring_case(entry_name, pattern, compare_len)) continue;
        return choice.has(language) ? LanguageVerdict::kChosen : LanguageVerdict::kNotChosen;
    }
    return LanguageVerdict::kNoLanguage;
}

}  // namespace qarn
