// The product-language table and its rules: start values, German defaults, the copies to
// and from the check boxes, the "at least one real language" rule, and the marking of the
// languages a previous installation left behind.
#include "languages/language_table.h"

#include "platform/platform.h"
#include "system/paths.h"

namespace qarn {
namespace {

// Row order matters: "_??" stands for every suffix no earlier row claims, so it is last.
constexpr LanguageEntry kStartTable[kLanguageRows + 1] = {
    {"_DE", kBoxGerman, 1},
    {"_US", kBoxEnglish, 1},
    {"_??", kBoxOtherLanguages, 1},
    {nullptr, 0, 0},
};

// A row is a real language unless its code is a wildcard after the underscore.
bool is_real_language(const LanguageEntry& row) {
    return row.code[0] != '\0' && row.code[1] != '?';
}

// The help file of one row in `folder_with_backslash`: folder, prefix, code and ".HLP",
// e.g. C:\QARN\QARN_DE.HLP. False when it does not fit.
bool format_help_pattern(char* out, size_t capacity, const char* folder_with_backslash,
                         const char* code) {
    return join_checked(out, capacity, folder_with_backslash, kProductPrefix) &&
           append_checked(out, code, capacity) && append_checked(out, ".HLP", capacity);
}

}  // namespace

LanguageEntry g_language_table[kLanguageRows + 1] = {
    kStartTable[0], kStartTable[1], kStartTable[2], kStartTable[3],
};

const char* const kProductPrefix = "QARN";

const char* language_code(ProductLanguage language) {
    return kStartTable[static_cast<int>(language)].code;
}

LanguageChoice chosen_languages(const LanguageEntry* table) {
    LanguageChoice choice{};
    for (const LanguageEntry* row = table; row->code != nullptr; ++row) {
        for (int i = 0; i < kLanguageRows; ++i) {
            if (row->control_id == kStartTable[i].control_id) choice.chosen[i] = is_chosen(*row);
        }
    }
    return choice;
}

void reset_language_table() {
    for (int i = 0; i <= kLanguageRows; ++i) g_language_table[i] = kStartTable[i];
}

bool is_german_language_id(uint16_t lang_id) {
    switch (lang_id) {
        case 0x0407:  // Germany
        case 0x0807:  // Switzerland
        case 0x0C07:  // Austria
        case 0x1007:  // Luxembourg
        case 0x1407:  // Liechtenstein
            return true;
        default:
            return false;
    }
}

void apply_german_defaults() {
    for (LanguageEntry* row = g_language_table; row->code != nullptr; ++row) {
        if (row->control_id == kBoxGerman) {
            row->selected = 1;
        } else if (row->control_id == kBoxEnglish || row->control_id == kBoxOtherLanguages) {
            row->selected = 0;
        }
    }
}

void table_to_boxes(DialogAccess& dialog) {
    // Only checks: a row that is not chosen leaves its box as the user set it.
    for (const LanguageEntry* row = g_language_table; row->code != nullptr; ++row) {
        if (is_chosen(*row)) dialog.set_checked(row->control_id);
    }
}

void boxes_to_table(DialogAccess& dialog) {
    for (LanguageEntry* row = g_language_table; row->code != nullptr; ++row) {
        row->selected = dialog.is_checked(row->control_id) ? 1 : 0;
    }
}

void ensure_one_language(DialogAccess& dialog) {
    LanguageEntry* english = nullptr;
    for (LanguageEntry* row = g_language_table; row->code != nullptr; ++row) {
        if (is_chosen(*row) && is_real_language(*row)) return;
        if (row->control_id == kBoxEnglish) english = row;
    }
    // No real language chosen (the extra-languages box does not count): English it is.
    if (english != nullptr) {
        english->selected = static_cast<int16_t>(english->selected + 1);
        table_to_boxes(dialog);
    }
}

void mark_installed_languages(const char* folder) {
    if (check_exists(folder) == kMissing) return;

    char base[kPathSize];
    if (!join_checked(base, sizeof base, folder, "") || !append_backslash(base, sizeof base)) {
        return;  // a folder no path buffer can hold: keep the start values
    }
    // Every pattern must fit before any row changes, so that the table is either marked
    // as a whole or left as it was.
    char pattern[kPathSize];
    for (const LanguageEntry* row = g_language_table; row->code != nullptr; ++row) {
        if (!format_help_pattern(pattern, sizeof pattern, base, row->code)) return;
    }
    for (LanguageEntry* row = g_language_table; row->code != nullptr; ++row) {
        format_help_pattern(pattern, sizeof pattern, base, row->code);
        // '?' in a code is the search's one-character wildcard: "_??" finds any
        // two-character suffix, German and English included.
        if (platform::find_first_match(pattern)) {
            row->selected = static_cast<int16_t>(row->selected + 1);
        } else {
            row->selected = 0;
        }
    }
}

}  // namespace qarn
