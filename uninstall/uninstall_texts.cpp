#include "uninstall/uninstall_texts.h"

namespace qarn::uninstall {
namespace {

// The report's words in one language. "%s" is never used: counts and names are joined in
// code, so no text can be read as a format.
struct Words {
    const char* caption;
    const char* removed_from;  // "Zentrivo has been removed from" + folder
    const char* partly_removed_from;
    const char* removed_heading;
    const char* not_removed_heading;  // files or records that resisted
    const char* left_alone_heading;   // refused lines of the list
    const char* linked_heading;       // links, and what lies behind them
    const char* kept_heading;
    const char* file;
    const char* files;
    const char* folder;
    const char* folders;
    const char* and_word;
    const char* shortcut;
    const char* shortcuts;
    const char* of_group;  // "4 shortcuts" + " of the Start-menu group QARN"
    const char* and_the_group;
    const char* and_both_groups;
    const char* desktop_icon;
    const char* uninstall_entry;
    const char* user_key;
    const char* uninstaller_at_restart;
    const char* work_folder;
    const char* your_settings;
    const char* files_you_added;  // "1 file" + this + folder
    const char* that_holds_it;
    const char* that_holds_them;
    const char* the_folder;
    const char* pointing_elsewhere;
    const char* entry_of_other;  // + the command
    const char* key_of_other;    // + the folder
    const char* files_unknown;
    const char* more;  // "and 3 more"
};

constexpr Words kEnglish = {
    "Zentrivo Uninstall",
    "Zentrivo has been removed from ",
    "Zentrivo could not be removed completely from ",
    "Removed:",
    "Not removed (is Zentrivo still running, or are administrator rights needed? Close it "
    "and run the uninstaller again):",
    "Left alone, because they name nothing inside the folder, lines of the list of "
    "installed files:",
    "Left alone, because they are links (junctions or symbolic links) or lie behind one, "
    "and removing through a link could reach outside the folder:",
    "Kept:",
    "file",
    "files",
    "folder",
    "folders",
    " and ",
    "shortcut",
    "shortcuts",
    " of the Start-menu group QARN",
    ", and the group",
    ", and both groups",
    "the desktop icon Zentrivo.lnk",
    "the entry in the list of installed programs",
    "the registry key HKEY_CURRENT_USER\\Software\\Obrelux\\QARN",
    " at the next restart of Windows",
    "the work folder QARN.UNDO that an interrupted setup left",
    "your settings: ",
    " you added, and the folder ",
    " that holds it",
    " that holds them",
    "the folder ",
    " pointing elsewhere",
    "the entry in the list of installed programs, which starts ",
    "the registry key HKEY_CURRENT_USER\\Software\\Obrelux\\QARN, which names ",
    "the program's files: the list of installed files (UNINST.LST) is missing or damaged, "
    "so they cannot be told apart from yours",
    "and more: ",
};

constexpr Words kGerman = {
    "Zentrivo deinstallieren",
    "Zentrivo wurde entfernt aus ",
    "Zentrivo konnte nicht vollst\xE4ndig entfernt werden aus ",
    "Entfernt:",
    "Nicht entfernt (l\xE4uft Zentrivo noch, oder fehlen Administratorrechte? Beenden Sie es "
    "und starten Sie die Deinstallation erneut):",
    "Nicht angetastet, weil sie nichts innerhalb des Ordners bezeichnen, Zeilen der Liste "
    "der installierten Dateien:",
    "Nicht angetastet, weil sie symbolische Verkn\xFCpfungen oder Verzeichnisverbindungen "
    "sind oder hinter einer liegen, und das Entfernen dar\xFC"
    "ber au\xDF"
    "erhalb des Ordners treffen k\xF6nnte:",
    "Behalten:",
    "Datei",
    "Dateien",
    "Ordner",
    "Ordner",
    " und ",
    "Verkn\xFCpfung",
    "Verkn\xFCpfungen",
    " der Programmgruppe QARN",
    ", und die Gruppe",
    ", und beide Gruppen",
    "das Desktop-Icon Zentrivo.lnk",
    "der Eintrag in der Liste der installierten Programme",
    "der Registrierungsschl\xFCssel HKEY_CURRENT_USER\\Software\\Obrelux\\QARN",
    " beim n\xE4"
    "chsten Neustart von Windows",
    "der Arbeitsordner QARN.UNDO, den eine abgebrochene Installation hinterlassen hat",
    "Ihre Einstellungen: ",
    ", die Sie angelegt haben, und der Ordner ",
    ", der sie enth\xE4lt",
    ", der sie enth\xE4lt",
    "der Ordner ",
    " mit anderem Ziel",
    "der Eintrag in der Liste der installierten Programme, der dieses Programm startet: ",
    "der Registrierungsschl\xFCssel HKEY_CURRENT_USER\\Software\\Obrelux\\QARN, der diesen "
    "Ordner nennt: ",
    "die Dateien des Programms: die Liste der installierten Dateien (UNINST.LST) fehlt oder "
    "ist besch\xE4"
    "digt, daher lassen sie sich nicht von Ihren unterscheiden",
    "und weitere: ",
};

const Words& words(Language language) { return language == Language::kGerman ? kGerman : kEnglish; }

std::string count_of(size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void add_line(std::string& text, const std::string& line) { text += "\n- " + line; }

// Up to kNamesShown names, one a line, then how many more.
void add_names(std::string& text, const Words& w, const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size() && i < kNamesShown; ++i) add_line(text, names[i]);
    if (names.size() > kNamesShown) {
        add_line(text, w.more + std::to_string(names.size() - kNamesShown));
    }
}

}  // namespace

bool complete(const Outcome& outcome) { return outcome.failed.empty(); }

const char* caption_text(Language language) { return words(language).caption; }

std::string confirmation_text(Language language, std::string_view folder) {
    const std::string shown = shown_folder(folder);
    if (language == Language::kGerman) {
        return "Zentrivo aus dem Ordner\n\n    " + shown +
               "\n\nmit Programmgruppe und Desktop-Icon entfernen?\n\nIhre Einstellungen "
               "(QARN.INI) und Dateien, die Sie selbst angelegt haben, bleiben erhalten.";
    }
    return "Remove Zentrivo from the folder\n\n    " + shown +
           "\n\nwith its Start-menu group and desktop icon?\n\nYour settings (QARN.INI) and "
           "files you added yourself are kept.";
}

std::string nothing_left_text(Language language, std::string_view folder) {
    const std::string shown = shown_folder(folder);
    if (language == Language::kGerman) {
        return "Es ist nichts mehr zu entfernen: Zentrivo ist in\n\n    " + shown +
               "\n\nnicht mehr installiert.";
    }
    return "There is nothing left to remove: Zentrivo is no longer installed in\n\n    " + shown;
}

std::string damaged_list_text(Language language, std::string_view folder) {
    const std::string shown = shown_folder(folder);
    if (language == Language::kGerman) {
        return "Die Liste der installierten Dateien (UNINST.LST) in\n\n    " + shown +
               "\n\nist besch\xE4"
               "digt: Die Dateien von Zentrivo lassen sich nicht von Ihren "
               "unterscheiden. Es wurde nichts entfernt.";
    }
    return "The list of installed files (UNINST.LST) in\n\n    " + shown +
           "\n\nis damaged: Zentrivo's files cannot be told apart from yours. Nothing was "
           "removed.";
}

std::string cannot_start_text(Language language) {
    if (language == Language::kGerman) {
        return "Der Pfad der Deinstallation ist zu lang (mehr als 259 Zeichen). Es wurde nichts "
               "entfernt.";
    }
    return "The uninstaller's path is too long (more than 259 characters). Nothing was removed.";
}

std::string folder_refused_text(Language language, std::string_view folder,
                                FolderProblem problem) {
    const std::string shown = shown_folder(folder);
    if (language == Language::kGerman) {
        return "Zentrivo wird nicht entfernt aus\n\n    " + shown + "\n\n" +
               (problem == FolderProblem::kLinked
                    ? "Dieser Ordner ist eine symbolische Verkn\xFCpfung oder "
                      "Verzeichnisverbindung oder liegt in einem verkn\xFCpften oder "
                      "eingebundenen Ordner, und die Deinstallation entfernt nichts \xFC"
                      "ber eine Verkn\xFCpfung."
                    : "Das System gibt nicht an, wo dieser Ordner tats\xE4"
                      "chlich liegt.") +
               " Es wurde nichts entfernt.";
    }
    return "Zentrivo is not removed from\n\n    " + shown + "\n\n" +
           (problem == FolderProblem::kLinked
                ? "This folder is a link (a junction or symbolic link), or lies in a linked or "
                  "mounted folder, and the uninstaller removes nothing through a link."
                : "The system does not say where this folder really lies.") +
           " Nothing was removed.";
}

std::string report_text(Language language, const Outcome& o) {
    const Words& w = words(language);
    const std::string shown = shown_folder(o.folder);
    std::string text = (complete(o) ? w.removed_from : w.partly_removed_from) + shown;
    if (language == Language::kEnglish) text += '.';

    std::string removed;
    if (o.files_removed > 0 || o.folders_removed > 0) {
        std::string line;
        if (o.files_removed > 0) line = count_of(o.files_removed, w.file, w.files);
        if (o.folders_removed > 0) {
            if (!line.empty()) line += w.and_word;
            line += count_of(o.folders_removed, w.folder, w.folders);
        }
        add_line(removed, line);
    }
    if (o.group_links_removed > 0 || o.groups_removed > 0) {
        std::string line = count_of(o.group_links_removed, w.shortcut, w.shortcuts) + w.of_group;
        if (o.groups_removed == 1) line += w.and_the_group;
        if (o.groups_removed > 1) line += w.and_both_groups;
        add_line(removed, line);
    }
    if (o.desktop_icon_removed) add_line(removed, w.desktop_icon);
    if (o.uninstall_entry_removed) add_line(removed, w.uninstall_entry);
    if (o.user_key_removed) add_line(removed, w.user_key);
    if (o.work_folder_removed) add_line(removed, w.work_folder);
    if (o.uninstaller_at_restart) {
        add_line(removed, std::string("UnInst.exe") + w.uninstaller_at_restart);
    }
    if (!removed.empty()) text += std::string("\n\n") + w.removed_heading + removed;

    if (!o.failed.empty()) {
        text += std::string("\n\n") + w.not_removed_heading;
        add_names(text, w, o.failed);
    }
    if (!o.refused.empty()) {
        text += std::string("\n\n") + w.left_alone_heading;
        add_names(text, w, o.refused);
    }
    if (!o.linked.empty()) {
        text += std::string("\n\n") + w.linked_heading;
        add_names(text, w, o.linked);
    }

    std::string kept;
    for (const std::string& s : o.settings) add_line(kept, w.your_settings + s);
    if (o.folder_kept) {
        if (o.user_files > 0) {
            add_line(kept, count_of(o.user_files, w.file, w.files) + w.files_you_added + shown +
                               (o.user_files == 1 ? w.that_holds_it : w.that_holds_them));
        } else {
            add_line(kept, w.the_folder + shown);
        }
    }
    if (o.foreign_links > 0) {
        add_line(kept, count_of(o.foreign_links, w.shortcut, w.shortcuts) + w.pointing_elsewhere);
    }
    if (!o.other_uninstall_entry.empty()) {
        add_line(kept, w.entry_of_other + o.other_uninstall_entry);
    }
    if (!o.other_user_key.empty()) add_line(kept, w.key_of_other + o.other_user_key);
    if (o.files_unknown) add_line(kept, w.files_unknown);
    if (!kept.empty()) text += std::string("\n\n") + w.kept_heading + kept;
    return text;
}

}  // namespace qarn::uninstall
