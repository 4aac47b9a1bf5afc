#include "archive/checksum.h"

#include <cstring>

namespace qarn {
namespace {

// Four bytes in little-endian order, whatever the host's order.
inline uint32_t le32(const uint8_t* p) {
    return uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16 | uint32_t{p[3]} << 24;
}

}  // namespace

void build_crc32_table(Crc32Table& table) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table.slice[0][i] = c;
    }
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = table.slice[0][i];
        for (int t = 1; t < 16; ++t) {
            c = table.slice[0][c & 0xFF] ^ (c >> 8);
            table.slice[t][i] = c;
        }
    }
}

uint32_t crc32_update(const Crc32Table& table, uint32_t running, const uint8_t* data,
                      size_t length) {
    const auto& t = table.slice;
    for (; length >= 16; length -= 16, data += 16) {
        const uint32_t a = running ^ le32(data);
        const uint32_t b = le32(data + 4);
        const uint32_t c = le32(data + 8);
        const uint32_t d = le32(data + 12);
        running = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^
                  t[12][a >> 24] ^ t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^
                  t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^ t[7][c & 0xFF] ^
                  t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
                  t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
    for (; length >= 8; length -= 8, data += 8) {
        // Little-endian assembly of the next eight bytes, independent of the host's order.
        const uint32_t lo = running ^ (uint32_t{data[0]} | uint32_t{data[1]} << 8 |
                                       uint32_t{data[2]} << 16 | uint32_t{data[3]} << 24);
        const uint32_t hi = uint32_t{data[4]} | uint32_t{data[5]} << 8 |
                            uint32_t{data[6]} << 16 | uint32_t{data[7]} << 24;
        running = t[7][lo & 0xFF] ^ t[6][(lo >> 8) & 0xFF] ^ t[5][(lo >> 16) & 0xFF] ^
                  t[4][lo >> 24] ^ t[3][hi & 0xFF] ^ t[2][(hi >> 8) & 0xFF] ^
                  t[1][(hi >> 16) & 0xFF] ^ t[0][hi >> 24];
    }
    for (; length > 0; --length) running = t[0][(running ^ *data++) & 0xFF] ^ (running >> 8);
    return running;
}

uint16_t old_checksum(uint16_t running, const uint8_t* data, size_t length) {
    uint32_t s = running;
    for (size_t i = 0; i < length; ++i) {
        s = (s + data[i]) & 0xFFFF;
        s = ((s << 1) | (s >> 15)) & 0xFFFF;
    }
    return static_cast<uint16_t>(s);
}

uint32_t update_checksum(const Crc32Table& table, uint32_t running, const uint8_t* data,
                         size_t length, uint32_t kind) {
    if (kind == kKindOld) return old_checksum(static_cast<uint16_t>(running), data, length);
    return crc32_update(table, running, data, length);
}

uint32_t crc32_of(const Crc32Table& table, const uint8_t* data, size_t length) {
    return ~crc32_update(table, 0xFFFFFFFFu, data, length);
}

}  // namespace qarn
