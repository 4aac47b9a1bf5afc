// The Setup dialog's interface texts in English and German, and the rule that picks them:
// German exactly when "Deutsch" is checked and "English" is not.
#pragma once
#include <cstddef>
#include <cstdint>

#include "system/dialog_access.h"

namespace qarn {

enum UiLanguage : int32_t { kUiUnset = 0, kUiEnglish = 1, kUiGerman = 2 };

// Process-wide; 0 until the first update_ui_language.
extern int32_t g_ui_language;

// The rule on its own, from the two boxes' states.
int32_t ui_language_for(bool german_checked, bool english_checked);

void update_ui_language(DialogAccess& dialog);
void apply_interface_texts(DialogAccess& dialog);

// "Cannot install file." or its German form, captioned with the file; nothing while the
// language is unset.
void show_file_error(DialogAccess& dialog, const char* caption);

// The texts by language; null for kUiUnset.
const char* cannot_create_path_text(int32_t language);
const char* cannot_install_file_text(int32_t language);

// The box of a drive with too little room: what the installation needs and what the drive
// has, in megabytes with one decimal. False for kUiUnset, or when `out` cannot hold the text.
bool compose_no_room_text(int32_t language, uint64_t needed, uint64_t free, char* out,
                          size_t capacity);

}  // namespace qarn
