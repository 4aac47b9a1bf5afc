// The Setup dialog's own texts in English and German. The interface language is never
// chosen on its own: it follows the "Deutsch" and "English" product-language boxes.
#include "setup/ui_texts.h"

#include "languages/language_table.h"
#include "system/paths.h"

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

namespace {

// Appends `bytes` as megabytes with one decimal ("41.2 MB"; German "41,2 MB"). A need is
// rounded up, free space down, so that the box never shows a need as met that is not.
// Shifts, not 64-bit divisions: a 32-bit program would carry the runtime's long division
// for them; 32 bits of tenths reach 400 terabytes.
bool append_megabytes(char* out, size_t capacity, uint64_t bytes, bool round_up, char decimal_mark) {
    const uint64_t up = round_up ? 1023 : 0;
    const uint64_t tenths64 = ((((bytes + up) >> 10) * 10) + up) >> 10;
    const auto tenths = static_cast<uint32_t>(tenths64 < 0xFFFFFFFFu ? tenths64 : 0xFFFFFFFFu);
    char digits[16];
    int n = 0;
    digits[n++] = static_cast<char>('0' + tenths % 10);
    digits[n++] = decimal_mark;
    for (uint32_t v = tenths / 10;; v /= 10) {
        digits[n++] = static_cast<char>('0' + v % 10);
        if (v < 10) break;
    }
    char number[20];
    for (int i = 0; i < n; ++i) number[i] = digits[n - 1 - i];
    number[n] = '\0';
    return append_checked(out, number, capacity) && append_checked(out, " MB", capacity);
}

}  // namespace

bool compose_no_room_text(int32_t language, uint64_t needed, uint64_t free, char* out,
                          size_t capacity) {
    if (language != kUiEnglish && language != kUiGerman) return false;
    const bool german = language == kUiGerman;
    const char mark = german ? ',' : '.';
    // German in the ANSI code page: "f\xFCr" is "für", "ben\xF6tigt" "benötigt".
    return join_checked(out, capacity,
                        german ? "Nicht genug freier Speicherplatz f\xFCr die Installation: "
                                 "ben\xF6tigt werden "
                               : "There is not enough free space for the installation: it needs ",
                        "") &&
           append_megabytes(out, capacity, needed, true, mark) &&
           append_checked(out, german ? ", auf dem Laufwerk sind " : ", the drive has ", capacity) &&
           append_megabytes(out, capacity, free, false, mark) &&
           append_checked(out, german ? " frei." : " free.", capacity);
}

}  // namespace qarn
