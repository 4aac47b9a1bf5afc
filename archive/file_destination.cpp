#include "archive/file_destination.h"

#include <cstring>

#include "archive/language_choice.h"

namespace qarn {

using platform::Kind;

FileDestination::FileDestination(TargetFolder& folder, UndoJournal& journal,
                                 const LanguageChoice& languages)
    : folder_(folder),
      journal_(journal),
      languages_(languages),
      base_length_(std::strlen(folder.base())),
      output_(folder) {}

bool FileDestination::wanted(const char* entry_name, const char* target_path) {
    if (*entry_name == '\0') return false;  // the target folder itself: never written
    if (language_verdict(entry_name, languages_) != LanguageVerdict::kNotChosen) return true;
    // No file of a language not chosen stays behind. Failures are passed over, as the
    // removal of a read-only file would fail.
    const platform::Found found = folder_.look(relative(target_path));
    if (found.kind == Kind::kFile && (found.attributes & 0x01) == 0) {
        journal_.move_aside(relative(target_path));
    }
    return false;
}

bool FileDestination::make_parent_folders(const char* rel) {
    char folder[kPathSize];
    for (size_t i = 0; rel[i] != '\0'; ++i) {
        if (rel[i] != '\\') continue;
        std::memcpy(folder, rel, i);
        folder[i] = '\0';
        const Kind kind = folder_.look(folder).kind;
        if (kind == Kind::kFolder) continue;
        if (kind != Kind::kMissing || !journal_.note_folder(folder)) return false;
        if (!folder_.make_folder(folder)) {
            journal_.note_not_made(folder);
            return false;
        }
    }
    return true;
}

bool FileDestination::clear_the_way(const char* rel) {
    const platform::Found found = folder_.look(rel);
    if (found.kind == Kind::kMissing) return true;
    return found.kind == Kind::kFile && (found.attributes & 0x01) == 0 && journal_.move_aside(rel);
}

EntryOutput* FileDestination::create(const char* target_path) {
    output_.file.close();
    const char* rel = relative(target_path);
    if (!join_checked(last_, sizeof last_, rel, "") || !make_parent_folders(rel) ||
        !clear_the_way(rel) || !journal_.note_file(rel)) {
        last_[0] = '\0';
        return nullptr;
    }
    output_.file = folder_.create_file(rel);
    if (!output_.file) {
        journal_.note_not_made(rel);
        last_[0] = '\0';
        return nullptr;
    }
    return &output_;
}

bool FileDestination::keep(uint32_t dos_time, uint32_t attr) {
    return folder_.finish(output_.file, dos_time, attr);
}

void FileDestination::discard() {
    output_.file.close();
    if (last_[0] != '\0') folder_.remove(last_);
}

}  // namespace qarn
