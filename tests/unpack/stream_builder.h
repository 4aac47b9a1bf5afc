// Hand-made packed data for decoder tests: a bit writer, canonical codes from lengths, and
// table headers, so that each test states exactly which symbols the stream carries.
#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "unpack/rar20_format.h"
#include "tests/support/memory_streams.h"
#include "unpack/unpack_state.h"

namespace qarn::test {

class BitWriter {
public:
    void put(uint32_t value, uint32_t bits) {
        for (uint32_t i = bits; i-- > 0;) {
            if (fill_ == 0) bytes_.push_back(0);
            if ((value >> i) & 1) bytes_.back() |= static_cast<uint8_t>(0x80 >> fill_);
            fill_ = (fill_ + 1) & 7;
        }
    }
    std::vector<uint8_t> bytes() const { return bytes_; }
    size_t bit_count() const { return bytes_.size() * 8 - (fill_ == 0 ? 0 : 8 - fill_); }

private:
    std::vector<uint8_t> bytes_;
    uint32_t fill_ = 0;
};

// Canonical codes as the decoder assigns them: by length, then by symbol number.
struct CanonicalCode {
    std::vector<uint32_t> code;
    std::vector<uint8_t> length;
    explicit CanonicalCode(const std::vector<uint8_t>& lengths) : code(lengths.size()), length(lengths) {
        uint32_t next = 0;
        for (uint32_t len = 1; len <= 15; ++len) {
            for (size_t s = 0; s < lengths.size(); ++s) {
                if (lengths[s] == len) code[s] = next++;
            }
            next <<= 1;
        }
    }
    void put(BitWriter& w, uint32_t symbol) const { w.put(code[symbol], length[symbol]); }
};

// One length for every symbol of each table. The layout most tests use: every literal/length
// symbol 9 bits, every distance symbol 6, every repeat-length symbol 5; the pre-code gives
// every code-length symbol 5 bits.
struct FlatTables {
    std::vector<uint8_t> lengths;
    CanonicalCode literal{std::vector<uint8_t>(lengths.begin(), lengths.begin() + 298)};
    CanonicalCode distance{std::vector<uint8_t>(lengths.begin() + 298, lengths.begin() + 346)};
    CanonicalCode repeat{std::vector<uint8_t>(lengths.begin() + 346, lengths.end())};
    explicit FlatTables(uint8_t literal_bits = 9, uint8_t distance_bits = 6, uint8_t repeat_bits = 5)
        : lengths(make(literal_bits, distance_bits, repeat_bits)) {}
    static std::vector<uint8_t> make(uint8_t literal_bits = 9, uint8_t distance_bits = 6,
                                     uint8_t repeat_bits = 5) {
        std::vector<uint8_t> l(kNormalTableSize, literal_bits);
        for (size_t i = 298; i < 346; ++i) l[i] = distance_bits;
        for (size_t i = 346; i < kNormalTableSize; ++i) l[i] = repeat_bits;
        return l;
    }
};

// A normal table header whose lengths are written as plain pre-code symbols (keep flag 0,
// or 1 to write them as changes to `old`).
inline void put_table_header(BitWriter& w, const std::vector<uint8_t>& lengths, bool keep = false,
                             const std::vector<uint8_t>* old = nullptr) {
    w.put(0, 1);  // normal data
    w.put(keep ? 1 : 0, 1);
    for (int i = 0; i < 19; ++i) w.put(5, 4);  // every pre-code symbol 5 bits: code = symbol
    for (size_t i = 0; i < lengths.size(); ++i) {
        const uint32_t base = keep && old != nullptr ? (*old)[i] : 0;
        w.put((lengths[i] - base) & 15, 5);
    }
}

// A decoder record with its window, as the extraction run holds them.
struct Decoder {
    std::unique_ptr<UnpackState> state = std::make_unique<UnpackState>();
    std::unique_ptr<uint8_t[]> window = std::make_unique<uint8_t[]>(kWindowSize);
    MemoryWriter writer;

    // Decodes one entry from `packed`; returns what it produced.
    std::vector<uint8_t> decode(const std::vector<uint8_t>& packed, int32_t unpacked_size,
                                bool solid);
};

}  // namespace qarn::test
