// The installer's destination for entries: their files in the target folder on disk, the
// product-language rule deciding which are written.
#pragma once
#include "archive/entry_loop.h"
#include "languages/language_table.h"

namespace qarn {

class FileDestination final : public EntryDestination {
public:
    FileDestination(const LanguageEntry* languages, const char* product_prefix)
        : languages_(languages), product_prefix_(product_prefix) {}

    bool wanted(const char* entry_name, const char* target_path) override;
    EntryOutput* create(const char* target_path) override;
    bool keep(uint32_t dos_time, uint32_t attr) override;
    void discard() override;

private:
    // The open entry file. Writes go straight to the file, unbuffered: the count each write
    // reports is what reached the file, so the data checksum covers exactly those bytes.
    class Output final : public EntryOutput {
    public:
        size_t write(const uint8_t* src, size_t count) override {
            return write_bytes(&file, src, count);
        }
        File file;
    };

    const LanguageEntry* languages_;
    const char* product_prefix_;
    Output output_;
    const char* path_ = nullptr;  // of the last create, in the loop's own buffer
};

}  // namespace qarn
