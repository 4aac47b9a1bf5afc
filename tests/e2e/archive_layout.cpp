#include "tests/e2e/archive_layout.h"

#include <cstring>
#include <fstream>

namespace qarn::e2e {
namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kMainType = 0x73;
constexpr uint8_t kFileType = 0x74;
constexpr uint8_t kEndType = 0x7B;
constexpr uint16_t kHasAddSize = 0x8000;
constexpr size_t kFileHeaderFixed = 32;

uint32_t le16(const std::vector<uint8_t>& b, size_t at) { return b[at] | (b[at + 1] << 8); }

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return le16(b, at) | (le16(b, at + 2) << 16);
}

// The first marker whose main header's type byte is in place: the program in front of
// the archive may hold the marker's bytes too, but not followed by a main header.
bool find_marker(const std::vector<uint8_t>& b, size_t& at) {
    for (size_t m = 0; m + kArchiveHeadBytes <= b.size(); ++m) {
        if (std::memcmp(b.data() + m, kMarker, sizeof kMarker) == 0 && b[m + 9] == kMainType) {
            at = m;
            return true;
        }
    }
    return false;
}

}  // namespace

ArchiveLayout read_archive_layout(const std::vector<uint8_t>& b) {
    ArchiveLayout layout;
    if (!find_marker(b, layout.marker_at)) return layout;
    size_t at = layout.marker_at + sizeof kMarker + le16(b, layout.marker_at + 7 + 5);
    while (at + 7 <= b.size()) {
        const uint8_t type = b[at + 2];
        const uint32_t flags = le16(b, at + 3);
        const size_t head_size = le16(b, at + 5);
        if (type == kEndType) {
            layout.end_mark_at = at;
            layout.found = at + kEndMarkBytes <= b.size();
            return layout;
        }
        if (head_size < 7 || at + head_size > b.size()) return layout;
        const size_t add = (flags & kHasAddSize) && at + 11 <= b.size() ? le32(b, at + 7) : 0;
        if (type == kFileType) {
            if (head_size < kFileHeaderFixed) return layout;
            EntryLayout e;
            const size_t name_size = le16(b, at + 26);
            if (at + kFileHeaderFixed + name_size > b.size()) return layout;
            const auto name = b.begin() + static_cast<std::ptrdiff_t>(at + kFileHeaderFixed);
            e.name.assign(name, name + static_cast<std::ptrdiff_t>(name_size));
            e.header_at = at;
            e.data_at = at + head_size;
            e.packed = add;
            e.size = le32(b, at + 11);
            e.folder = (le32(b, at + 28) & 0x18) != 0 || (flags & 0xE0) == 0xE0;
            layout.entries.push_back(e);
        }
        at += head_size + add;
    }
    return layout;
}

std::vector<uint8_t> without_entries(const std::vector<uint8_t>& setup,
                                     const ArchiveLayout& layout) {
    const size_t head_end = layout.marker_at + kArchiveHeadBytes;
    std::vector<uint8_t> out(setup.begin(), setup.begin() + static_cast<std::ptrdiff_t>(head_end));
    const auto mark = setup.begin() + static_cast<std::ptrdiff_t>(layout.end_mark_at);
    out.insert(out.end(), mark, mark + kEndMarkBytes);
    return out;
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    const auto size = static_cast<std::streamsize>(bytes.size());
    out.write(reinterpret_cast<const char*>(bytes.data()), size);
    out.close();
    return static_cast<bool>(out);
}

}  // namespace qarn::e2e
