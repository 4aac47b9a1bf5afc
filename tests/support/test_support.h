// Helpers shared by the test programs: fixture lookup, temporary folders, files, and a
// writer of small hand-made archives (stored or raw packed entries, any header field).
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace qarn::test {

using Bytes = std::vector<uint8_t>;

// Path of a file under ../shared (QARN_SHARED_DIR), or empty when it is not there.
std::string shared_file(const std::string& relative);

// Skips the test when a shared fixture is missing, but fails it under CI, so that CI never
// passes by skipping.
#define QARN_REQUIRE_SHARED(path_var, relative)                                              \
    const std::string path_var = ::qarn::test::shared_file(relative);                        \
    if (path_var.empty()) {                                                                  \
        if (std::getenv("CI") != nullptr) FAIL() << "shared fixture missing under CI: " << (relative); \
        GTEST_SKIP() << "shared fixture " << (relative) << " not found (set QARN_SHARED_DIR); skipped"; \
    }

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // The folder in the installer's own form: '\' separators, no trailing separator.
    std::string installer_path() const;
    std::filesystem::path operator/(const std::string& rel) const { return path_ / rel; }

private:
    std::filesystem::path path_;
};

// `p` in the installer's form ('\' separators).
std::string installer_form(const std::filesystem::path& p);

Bytes read_file(const std::filesystem::path& p);
void write_file(const std::filesystem::path& p, const Bytes& data);
Bytes text_bytes(const std::string& s);
// Deterministic pseudo-random bytes.
Bytes random_bytes(size_t n, uint32_t seed);
uint32_t crc32(const Bytes& data);
// Decodes base64 text (as fuzzers report inputs); characters outside the alphabet are skipped.
Bytes from_base64(const std::string& text);
uint16_t old_sum(const Bytes& data);

struct TestEntry {
    std::string name;
    Bytes data;                    // the unpacked bytes
    uint8_t method = '0';
    std::optional<Bytes> packed;   // packed bytes for a compressed entry (stored: the data)
    uint16_t flags = 0x8000;
    uint8_t host_os = 2;
    uint8_t unp_ver = 20;
    uint32_t attr = 0x20;
    uint32_t ftime = 0x5A2C6341;   // 2025-01-12 12:26:02
    std::optional<uint32_t> file_crc;
    std::optional<uint32_t> unp_size;
    std::optional<uint32_t> pack_size;
    std::optional<uint16_t> head_crc;
    std::optional<uint16_t> head_size;
    Bytes extra_header;            // bytes after the name, inside head_size
    // head_crc over the whole header, extra bytes included (as archivers write it), rather
    // than over the fixed bytes and the name alone.
    bool whole_header_crc = false;
};

struct ArchiveOptions {
    bool solid = false;
    bool volume = false;
    bool old_kind = false;         // "RE~^" marker; the prefix must carry "RSFX" at 28..31
    Bytes prefix;                  // bytes before the archive (an executable image)
    Bytes suffix;                  // bytes after the last block
    Bytes main_extra;              // bytes after the main header's 13, inside its head_size
    bool end_mark = false;         // the writer's end mark after the last entry
    bool promise_end_mark = false; // the main header promises it, as mksetup's archives do
};

// A stored entry holding `text`, and a folder entry (flags 0xE0, attribute 0x10).
TestEntry stored(const std::string& name, const std::string& text);
TestEntry folder_entry(const std::string& name);

Bytes build_archive(const std::vector<TestEntry>& entries, const ArchiveOptions& options = {});
// The header bytes of one file entry (head_crc computed unless overridden).
Bytes file_header_bytes(const TestEntry& e, bool old_kind = false);

}  // namespace qarn::test
