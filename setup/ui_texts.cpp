// The Setup dialog's own texts in English and German. The interface language is never
// chosen on its own: it follows the "Deutsch" and "English" product-language boxes.
#include "setup/ui_texts.h"

#include "languages/language_table.h"

namespace qarn {
namespace {

struct InterfaceText {
    int control_id;
    const char* english;
    const char* german;
};

// Set in this order, every time the language changes.
constexpr InterfaceText kInterfaceTexts[] = {
    {kFolderLabel, "Install to:", "Zielpfad:"},
    {kExitButton, "Exit", "Beenden"},
    {kLanguageFrame, "Language", "Sprache"},
    {kStartMenuBox, "Put entry to Start Menu", "Programmgruppe erstellen"},
    {kDesktopBox, "Put icon to Desktop", "Desktop-Icon erstellen"},
    {kBoxOtherLanguages, "Additional languages", "Weitere Sprachen"},
};

const char* pick(int32_t language, const char* english, const char* german) {
    if (language == kUiEnglish) return english;
    if (language == kUiGerman) return german;
    return nullptr;
}

}  // namespace

int32_t g_ui_language = kUiUnset;

int32_t ui_language_for(bool german_checked, bool english_checked) {
    int32_t language = kUiEnglish;
    if (german_checked) language = kUiGerman;
    if (english_checked) language = kUiEnglish;
    return language;
}

void update_ui_language(DialogAccess& dialog) {
    const int32_t language =
        ui_language_for(dialog.is_checked(kBoxGerman), dialog.is_checked(kBoxEnglish));
    // Same language as shown: the dialog is not touched at all.
    if (language == g_ui_language) return;
    g_ui_language = language;
    apply_interface_texts(dialog);
}

void apply_interface_texts(DialogAccess& dialog) {
    if (g_ui_language != kUiEnglish && g_ui_language != kUiGerman) return;
    for (const InterfaceText& text : kInterfaceTexts) {
        dialog.set_text(text.control_id, pick(g_ui_language, text.english, text.german));
    }
}

void show_file_error(DialogAccess& dialog, const char* caption) {
    const char* text = cannot_install_file_text(g_ui_language);
    // Before the language is settled no box is shown; the caller goes on as if it had been
    // closed.
    if (text == nullptr) return;
    dialog.message_box(text, caption, kIconError);
}

const char* cannot_create_path_text(int32_t language) {
    return pick(language, "Cannot create path.", "Kann nicht Verzeichnis erstellen.");
}

const char* cannot_install_file_text(int32_t language) {
    return pick(language, "Cannot install file.", "Kann nicht die Datei installieren.");
}

}  // namespace qarn
