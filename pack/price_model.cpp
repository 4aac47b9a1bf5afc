#include "pack/price_model.h"

#include <cstring>

#include "pack/huffman_lengths.h"

namespace qarn {

void SymbolCounts::clear() { std::memset(this, 0, sizeof *this); }

void SymbolCounts::add(const SymbolCounts& other) {
    for (uint32_t i = 0; i < kLiteralSymbols; ++i) literal[i] += other.literal[i];
    for (uint32_t i = 0; i < kDistanceSymbols; ++i) distance[i] += other.distance[i];
    for (uint32_t i = 0; i < kRepeatSymbols; ++i) repeat[i] += other.repeat[i];
}

void PriceModel::set_neutral() {
    for (uint32_t s = 0; s < 256; ++s) literal[s] = 8 * kPriceScale;
    literal[kSymRepeatLast] = 7 * kPriceScale;
    for (uint32_t k = 0; k < 4; ++k) literal[kSymOldDistance + k] = (6 + k) * kPriceScale;
    for (uint32_t k = 0; k < 8; ++k) literal[kSymShortMatch + k] = 7 * kPriceScale;
    literal[kSymTableChange] = 15 * kPriceScale;
    for (uint32_t k = 0; k < 28; ++k) literal[kSymLongMatch + k] = (6 + k / 6) * kPriceScale;
    for (uint32_t k = 0; k < kDistanceSymbols; ++k) distance[k] = 5 * kPriceScale;
    for (uint32_t k = 0; k < kRepeatSymbols; ++k) repeat[k] = (3 + k / 6) * kPriceScale;
    derive();
}

void PriceModel::set_from_lengths(const uint8_t* lengths) {
    auto fill = [](const uint8_t* len, uint32_t n, uint32_t* price) {
        uint32_t longest = 0;
        for (uint32_t i = 0; i < n; ++i) longest = len[i] > longest ? len[i] : longest;
        const uint32_t missing = (longest < 13 ? longest + 2 : 15) * kPriceScale;
        for (uint32_t i = 0; i < n; ++i) price[i] = len[i] != 0 ? len[i] * kPriceScale : missing;
    };
    fill(lengths, kLiteralSymbols, literal);
    fill(lengths + kLiteralSymbols, kDistanceSymbols, distance);
    fill(lengths + kLiteralSymbols + kDistanceSymbols, kRepeatSymbols, repeat);
    derive();
}

void PriceModel::set_from_counts(const SymbolCounts& counts) {
    uint8_t lengths[kNormalTableSize];
    build_code_lengths(counts.literal, kLiteralSymbols, kMaxCodeLength, lengths);
    build_code_lengths(counts.distance, kDistanceSymbols, kMaxCodeLength,
                       lengths + kLiteralSymbols);
    build_code_lengths(counts.repeat, kRepeatSymbols, kMaxCodeLength,
                       lengths + kLiteralSymbols + kDistanceSymbols);
    set_from_lengths(lengths);
}

void PriceModel::derive() {
    for (uint32_t v = 256; v < 256 + kLengthPadding; ++v) {
        long_length[v] = 0;
        rep_length[v] = 0;
    }
    for (uint32_t v = 0; v < 256; ++v) {
        const uint32_t code = length_code_of(v);
        const uint32_t extra = kLengthBits[code] * kPriceScale;
        long_length[v] = literal[kSymLongMatch + code] + extra;
        rep_length[v] = repeat[code] + extra;
    }
    for (uint32_t c = 0; c < kDistanceSymbols; ++c) {
        distance_slot[c] = distance[c] + kDistanceBits[c] * kPriceScale;
    }
    short_distance[0] = 0;
    for (uint32_t d = 1; d <= kShortMaxDistance; ++d) {
        const uint32_t code = short_code_of(d);
        short_distance[d] = literal[kSymShortMatch + code] + kShortBits[code] * kPriceScale;
    }
}

}  // namespace qarn
