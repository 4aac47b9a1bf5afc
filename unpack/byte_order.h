// Multi-byte fields in a fixed byte order, whatever the host's: the archive's headers are
// little-endian, the decoder's bit stream is read most significant byte first. Each load
// and store is one memcpy, which compilers turn into a single move (and a byte swap where
// the orders differ).
#pragma once
#include <bit>
#include <cstdint>
#include <cstring>

namespace qarn {

inline uint32_t byte_swap(uint32_t v) { return __builtin_bswap32(v); }
inline uint64_t byte_swap(uint64_t v) { return __builtin_bswap64(v); }

// A T stored in `order` at p, which need not be aligned.
template <typename T, std::endian order>
inline T load(const uint8_t* p) {
    T v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native != order) v = byte_swap(v);
    return v;
}

inline uint16_t load_le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t load_le32(const uint8_t* p) { return load<uint32_t, std::endian::little>(p); }
inline uint64_t load_le64(const uint8_t* p) { return load<uint64_t, std::endian::little>(p); }
inline uint32_t load_be32(const uint8_t* p) { return load<uint32_t, std::endian::big>(p); }
inline uint64_t load_be64(const uint8_t* p) { return load<uint64_t, std::endian::big>(p); }

inline void store_le16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

inline void store_le32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::big) v = byte_swap(v);
    std::memcpy(p, &v, 4);
}

}  // namespace qarn
