// The installer's destination for entries: their files in the target folder on disk, the
// product-language rule deciding which are written. Whatever stood where an entry goes,
// and a file of a language not chosen, is moved aside through the run's undo journal, not
// deleted: until the run has succeeded, the previous installation can be put back.
#pragma once
#include "archive/entry_loop.h"
#include "archive/undo_journal.h"
#include "languages/language_table.h"
#include "system/paths.h"
#include "system/target_folder.h"

namespace qarn {

class FileDestination final : public EntryDestination {
public:
    // Target paths handed to the destination begin with `folder.base()`.
    FileDestination(TargetFolder& folder, UndoJournal& journal, const LanguageChoice& languages);

    bool wanted(const char* entry_name, const char* target_path) override;
    EntryOutput* create(const char* target_path) override;
    bool keep(uint32_t dos_time, uint32_t attr) override;
    void discard() override;

private:
    // The open entry file. Writes go straight to the file, unbuffered: the count each write
    // reports is what reached the file, so the data checksum covers exactly those bytes.
    class Output final : public EntryOutput {
    public:
        explicit Output(TargetFolder& folder) : folder_(folder) {}
        size_t write(const uint8_t* src, size_t count) override {
            return folder_.write(file, src, count);
        }
        platform::NewFile file;

    private:
        TargetFolder& folder_;
    };

    const char* relative(const char* target_path) const { return target_path + base_length_; }
    bool make_parent_folders(const char* relative);
    // Makes room for the entry's file: moves aside a file standing there. False when
    // something else stands there, or a read-only file, which Windows would not let go.
    bool clear_the_way(const char* relative);

    TargetFolder& folder_;
    UndoJournal& journal_;
    LanguageChoice languages_;
    size_t base_length_;
    Output output_;
    char last_[kPathSize] = {};  // the relative path of the last create
};

}  // namespace qarn
