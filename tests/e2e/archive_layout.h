// Where the parts of the archive a setup file carries lie: the marker, the main header, each
// entry's header and data, the end mark. Read from a good setup file, so that a scenario can
// derive a damaged one from it (cut short, emptied) and know what the installer should say.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qarn::e2e {

struct EntryLayout {
    std::string name;
    size_t header_at = 0;  // offset of the entry's header in the setup file
    size_t data_at = 0;    // offset of its packed data
    size_t packed = 0;     // packed bytes
    uint64_t size = 0;     // unpacked bytes
    bool folder = false;
};

struct ArchiveLayout {
    bool found = false;
    size_t marker_at = 0;    // the 7-byte marker; the 13-byte main header follows it
    size_t end_mark_at = 0;  // the end mark (end-of-archive block, then 7 zero bytes)
    std::vector<EntryLayout> entries;  // in archive order
};

// The end mark: a 7-byte end-of-archive block, then a 7-byte header of size 0.
inline constexpr size_t kEndMarkBytes = 14;
// The marker and the main header.
inline constexpr size_t kArchiveHeadBytes = 7 + 13;

// The layout of the archive in `setup`, found as the first marker followed by a main
// header behind the program; `found` false when there is none or a block leads outside
// the file.
ArchiveLayout read_archive_layout(const std::vector<uint8_t>& setup);

// The setup file with an archive that holds no entries: the program, the marker and main
// header, the end mark.
std::vector<uint8_t> without_entries(const std::vector<uint8_t>& setup,
                                     const ArchiveLayout& layout);

// Writes `bytes` to `path`; false on any failure.
bool write_file(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace qarn::e2e
