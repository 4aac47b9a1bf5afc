#include "archive/language_choice.h"

#include <cstring>

#include "platform/platform.h"
#include "system/paths.h"

namespace qarn {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_ignoring_case(const char* s, const char* prefix, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (s[i] == '\0' || lower(s[i]) != lower(prefix[i])) return false;
    }
    return true;
}

}  // namespace

LanguageVerdict language_verdict(const char* entry_name, const LanguageEntry* table,
                                 const char* product_prefix) {
    if (table[0].code == nullptr) return LanguageVerdict::kNoLanguage;

    // Position of the '.' in names such as QARN_DE.CHM: prefix plus the first row's code.
    const size_t prefix_len = std::strlen(product_prefix);
    const size_t dot_pos = prefix_len + std::strlen(table[0].code);
    const size_t name_len = std::strlen(entry_name);
    if (name_len < dot_pos + 1 || entry_name[dot_pos] != '.') return LanguageVerdict::kNoLanguage;

    char pattern[32];
    for (const LanguageEntry* row = table; row->code != nullptr; ++row) {
        const size_t code_len = std::strlen(row->code);
        if (prefix_len + code_len >= sizeof pattern) continue;
        std::memcpy(pattern, product_prefix, prefix_len);
        size_t compare_len;
        if (code_len >= 3 && row->code[2] == '?') {
            // The extra-languages row claims every prefix + "_" name no earlier row claimed.
            pattern[prefix_len] = '_';
            compare_len = prefix_len + 1;
        } else {
            std::memcpy(pattern + prefix_len, row->code, code_len);
            compare_len = dot_pos;
            if (prefix_len + code_len != dot_pos) continue;  // a code of another length cannot match
        }
        if (!starts_with_ignoring_case(entry_name, pattern, compare_len)) continue;
        return is_chosen(*row) ? LanguageVerdict::kChosen : LanguageVerdict::kNotChosen;
    }
    return LanguageVerdict::kNoLanguage;
}

bool wanted_removing_unchosen(const char* entry_name, const char* target_path,
                              const LanguageEntry* table, const char* product_prefix) {
    if (*entry_name == '\0') return check_exists(target_path) == kMissing;
    if (language_verdict(entry_name, table, product_prefix) != LanguageVerdict::kNotChosen) {
        return true;
    }
    if (check_exists(target_path) == kExists) platform::remove_file(target_path);
    return false;
}

}  // namespace qarn
