// Constants of the RAR 2.0 packed-data format, shared by the decoder and the compressor.
#pragma once
#include <cstdint>

namespace qarn {

inline constexpr uint32_t kWindowSize = 0x100000;  // 1 MB sliding window
inline constexpr uint32_t kWindowMask = kWindowSize - 1;

// Alphabet sizes of the table header.
inline constexpr uint32_t kPrecodeSymbols = 19;
inline constexpr uint32_t kLiteralSymbols = 298;   // 256 literals, 256..269 specials, 270..297 lengths
inline constexpr uint32_t kDistanceSymbols = 48;
inline constexpr uint32_t kRepeatSymbols = 28;     // length codes after a repeated distance
inline constexpr uint32_t kAudioSymbols = 257;     // per audio channel, 256 = table change
inline constexpr uint32_t kNormalTableSize = kLiteralSymbols + kDistanceSymbols + kRepeatSymbols;  // 374
inline constexpr uint32_t kMaxTableSize = 4 * kAudioSymbols;  // 1,028: the largest header

// Special symbols of the literal/length alphabet.
inline constexpr uint32_t kSymRepeatLast = 256;     // repeat the last match
inline constexpr uint32_t kSymOldDistance = 257;    // 257..260: match at the 1st..4th recent distance
inline constexpr uint32_t kSymShortMatch = 261;     // 261..268: length 2, short distance
inline constexpr uint32_t kSymTableChange = 269;    // a table header follows
inline constexpr uint32_t kSymLongMatch = 270;      // 270..297: length code, then a distance symbol

// The longest single step of the decoder: a long match of length code 27 with all five
// extra bits set (224 + 3 + 31) and 2 added for a distance of 0x40000 or more, or a match at
// a recent distance (224 + 2 + 31) with 3 added.
inline constexpr uint32_t kLongestDecoderStep = 260;
// The window is flushed whenever fewer than this many bytes are free ahead of the write
// position, so that no step ever overwrites bytes not yet handed on.
inline constexpr uint32_t kFlushMargin = kLongestDecoderStep + 10;

inline constexpr uint8_t kLengthBits[28] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2,
                                            2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5};
inline constexpr uint8_t kLengthBases[28] = {0,  1,  2,  3,  4,  5,  6,   7,   8,   10,
                                             12, 14, 16, 20, 24, 28, 32,  40,  48,  56,
                                             64, 80, 96, 112, 128, 160, 192, 224};

inline constexpr uint8_t kDistanceBits[48] = {0,  0,  0,  0,  1,  1,  2,  2,  3,  3,  4,  4,
                                              5,  5,  6,  6,  7,  7,  8,  8,  9,  9,  10, 10,
                                              11, 11, 12, 12, 13, 13, 14, 14, 15, 15, 16, 16,
                                              16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};
inline constexpr uint32_t kDistanceBases[48] = {
    0,       1,       2,       3,       4,       6,       8,       12,      16,      24,
    32,      48,      64,      96,      128,     192,     256,     384,     512,     768,
    1024,    1536,    2048,    3072,    4096,    6144,    8192,    12288,   16384,   24576,
    32768,   49152,   65536,   98304,   0x20000, 0x30000, 0x40000, 0x50000, 0x60000, 0x70000,
    0x80000, 0x90000, 0xA0000, 0xB0000, 0xC0000, 0xD0000, 0xE0000, 0xF0000};

inline constexpr uint8_t kShortBases[8] = {0, 4, 8, 16, 32, 64, 128, 192};
inline constexpr uint8_t kShortBits[8] = {2, 2, 3, 4, 5, 6, 6, 6};

// Distances at which the decoder lengthens a match on its own.
inline constexpr uint32_t kFarDistance = 0x40000;
inline constexpr uint32_t kMidDistance = 0x2000;
inline constexpr uint32_t kNearDistance = 0x101;  // only for matches at a recent distance

}  // namespace qarn
