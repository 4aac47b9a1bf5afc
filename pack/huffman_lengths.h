// Code lengths for the decoder's canonical Huffman codes: from symbol frequencies to lengths
// of at most 15 bits that always form a complete code, and from lengths to the code values.
#pragma once
#include <cstdint>

namespace qarn {

inline constexpr uint32_t kMaxCodeLength = 15;
inline constexpr uint32_t kMaxAlphabet = 298;

// Lengths (0 = no code) for `count` symbols, at most `max_length` bits. Whenever at least one
// symbol has a nonzero frequency the result is a complete prefix code: a lone used symbol
// gets a partner of length 1, so that every bit pattern the decoder may see decodes to
// something defined. count <= kMaxAlphabet.
void build_code_lengths(const uint32_t* freqs, uint32_t count, uint32_t max_length,
                        uint8_t* lengths);

// Code values as the decoder assigns them: shorter codes take smaller values, and within one
// length the smaller symbol takes the smaller value. Unused symbols get 0.
void assign_codes(const uint8_t* lengths, uint32_t count, uint16_t* codes);

// Total bits of `freqs` coded with `lengths`.
uint64_t coded_bits(const uint32_t* freqs, const uint8_t* lengths, uint32_t count);

}  // namespace qarn
