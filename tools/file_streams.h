// Files as the archive writer reads and writes them (std::filesystem paths, so that any
// folder name works on Windows too).
#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>

#include "pack/archive_writer.h"

namespace qarn::tools {

// One product file, read from its start, and again after rewind().
class FileEntryInput final : public EntryInput {
public:
    // `on_read` hears of every piece read (for the progress bar); may be empty.
    FileEntryInput(const std::filesystem::path& path, std::function<void(uint64_t)> on_read);
    bool is_open() const { return in_.is_open(); }
    int64_t read(uint8_t* dst, size_t count) override;
    bool rewind() override;

private:
    std::ifstream in_;
    std::function<void(uint64_t)> on_read_;
};

// The setup file being written; going back is needed to complete each file header.
class FileArchiveOutput final : public ArchiveOutput {
public:
    explicit FileArchiveOutput(const std::filesystem::path& path);
    bool is_open() const { return out_.is_open(); }
    bool write(const uint8_t* src, size_t count) override;
    bool seek(uint64_t offset) override;
    // Hands everything written so far to the file, so that it can be read back.
    bool flush();
    // Flushes and closes; false when anything failed on the way.
    bool close();

private:
    std::ofstream out_;
};

}  // namespace qarn::tools
