// The product languages the user can choose: German, English, and all others together.
// The table is the one place that choice lives; the dialog's check boxes mirror it.
#pragma once
#include <cstdint>

#include "resources/control_ids.h"
#include "system/dialog_access.h"

namespace qarn {

struct LanguageEntry {
    const char* code;    // "_DE", "_US", "_??" ('?' any character); null ends the table
    int16_t control_id;  // check box of the language
    // A count rather than a flag: two operations add 1 to it, so it may be 2. Read it only
    // through is_chosen.
    int16_t selected;
};

// Whether the row's language is chosen: any count but 0.
inline bool is_chosen(const LanguageEntry& row) { return row.selected != 0; }

inline constexpr int kLanguageRows = 3;

// Rows in order, ended by a row without a code. Process-wide and mutable: the dialog's
// boxes mirror it.
extern LanguageEntry g_language_table[kLanguageRows + 1];

// The product languages, in the table's row order: "_??" stands for every suffix no earlier
// row claims, so it comes last.
enum class ProductLanguage : uint8_t { kGerman, kEnglish, kOthers };

// The code of a language's files ("_DE", "_US", "_??").
const char* language_code(ProductLanguage language);

// The languages one installation writes: what the dialog's boxes say, as a value the
// installation is given.
struct LanguageChoice {
    bool chosen[kLanguageRows];  // by ProductLanguage
    bool has(ProductLanguage language) const { return chosen[static_cast<int>(language)]; }
};

inline constexpr LanguageChoice kEveryLanguage = {{true, true, true}};

// The choice the table holds now.
LanguageChoice chosen_languages(const LanguageEntry* table = g_language_table);

// The file-name prefix of the product's files, "QARN".
extern const char* const kProductPrefix;

// Puts every row back to its start value (all three chosen). For tests.
void reset_language_table();

// True when the system's default language id is one of the five German ones.
bool is_german_language_id(uint16_t lang_id);

void apply_german_defaults();
void table_to_boxes(DialogAccess& dialog);
void boxes_to_table(DialogAccess& dialog);
void ensure_one_language(DialogAccess& dialog);

// Marks the languages whose help files (QARN_xx.HLP) a previous installation left in
// `folder`. A missing folder, or one too long to form the search pattern in a path buffer,
// leaves the table as it is.
void mark_installed_languages(const char* folder);

}  // namespace qarn
