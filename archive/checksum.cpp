#include "archive/checksum.h"

#include "unpack/byte_order.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define QARN_CRC_CARRYLESS 1
#endif

namespace qarn {
namespace {

uint32_t crc32_sliced(const Crc32Table& table, uint32_t running, const uint8_t* data,
                      size_t length) {
    const auto& t = table.slice;
#if !defined(__OPTIMIZE_SIZE__)  // the installer, built for size, goes byte by byte
    for (; length >= 16; length -= 16, data += 16) {
        const uint32_t a = running ^ load_le32(data);
        const uint32_t b = load_le32(data + 4);
        const uint32_t c = load_le32(data + 8);
        const uint32_t d = load_le32(data + 12);
        running = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^
                  t[12][a >> 24] ^ t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^
                  t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^ t[7][c & 0xFF] ^
                  t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
                  t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
    }
#endif
    for (; length > 0; --length) running = t[0][(running ^ *data++) & 0xFF] ^ (running >> 8);
    return running;
}

#ifdef QARN_CRC_CARRYLESS
// Folding with carry-less multiplication. The data is four 128-bit lanes that each step
// moves 512 bits further along by multiplying with x^(512±32) mod P, then one lane, then a
// Barrett reduction to 32 bits. The constants are those powers of x reduced modulo the
// polynomial, bit-reflected like the CRC itself. Compiled for SSE2 and PCLMULQDQ by
// attribute only, so the rest of the program still runs on any x86 processor; it is only
// called where the processor said it has both.
#define QARN_CARRYLESS_TARGET __attribute__((target("sse2,pclmul")))
#if defined(__i386__)
// 32-bit Windows keeps the stack aligned to 4 bytes only; the vector spills want 16.
#define QARN_CARRYLESS_ALIGN __attribute__((force_align_arg_pointer))
#else
#define QARN_CARRYLESS_ALIGN
#endif

QARN_CARRYLESS_TARGET inline __m128i fold(__m128i lane, __m128i k, __m128i next) {
    return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x00),
                                       _mm_clmulepi64_si128(lane, k, 0x11)),
                         next);
}

QARN_CARRYLESS_TARGET inline __m128i load128(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// `length` at least 64 and a multiple of 16.
QARN_CARRYLESS_TARGET QARN_CARRYLESS_ALIGN uint32_t crc32_folded(uint32_t running,
                                                               const uint8_t* data,
                                                               size_t length) {
    const __m128i k1k2 = _mm_set_epi32(0x00000001, 0xc6e41596, 0x00000001, 0x54442bd4);
    const __m128i k3k4 = _mm_set_epi32(0x00000000, 0xccaa009e, 0x00000001, 0x751997d0);
    const __m128i k5 = _mm_set_epi32(0, 0, 0x00000001, 0x63cd6124);
    const __m128i poly = _mm_set_epi32(0x00000001, 0xf7011641, 0x00000001, 0xdb710641);
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);

    __m128i x0 = _mm_xor_si128(load128(data), _mm_cvtsi32_si128(static_cast<int>(running)));
    __m128i x1 = load128(data + 16);
    __m128i x2 = load128(data + 32);
    __m128i x3 = load128(data + 48);
    data += 64;
    length -= 64;
    for (; length >= 64; length -= 64, data += 64) {
        x0 = fold(x0, k1k2, load128(data));
        x1 = fold(x1, k1k2, load128(data + 16));
        x2 = fold(x2, k1k2, load128(data + 32));
        x3 = fold(x3, k1k2, load128(data + 48));
    }
    x0 = fold(x0, k3k4, x1);
    x0 = fold(x0, k3k4, x2);
    x0 = fold(x0, k3k4, x3);
    for (; length >= 16; length -= 16, data += 16) x0 = fold(x0, k3k4, load128(data));

    // 128 bits to 64, then to 32 with the 32 zero bits the CRC appends, then Barrett.
    x0 = _mm_xor_si128(_mm_clmulepi64_si128(x0, k3k4, 0x10), _mm_srli_si128(x0, 8));
    x0 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x0, low32), k5, 0x00),
                       _mm_srli_si128(x0, 4));
    __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x0, low32), poly, 0x10);
    t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), poly, 0x00);
    return static_cast<uint32_t>(_mm_cvtsi128_si32(_mm_srli_si128(_mm_xor_si128(t, x0), 4)));
}

bool processor_has_carryless() {
    unsigned eax = 0;
    unsigned ebx = 0;
    unsigned ecx = 0;
    unsigned edx = 0;
    // __get_cpuid also checks that the processor has the instruction at all.
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0) return false;
    return (ecx & bit_PCLMUL) != 0 && (edx & bit_SSE2) != 0;
}
#endif

// Below this the set-up of the folding costs more than it saves.
constexpr size_t kFoldMinimum = 128;

}  // namespace

void build_crc32_table(Crc32Table& table, bool allow_carryless) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
        table.slice[0][i] = c;
    }
#if !defined(__OPTIMIZE_SIZE__)
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = table.slice[0][i];
        for (int t = 1; t < 16; ++t) {
            c = table.slice[0][c & 0xFF] ^ (c >> 8);
            table.slice[t][i] = c;
        }
    }
#endif
    table.carryless = 0;
#ifdef QARN_CRC_CARRYLESS
    if (allow_carryless && processor_has_carryless()) table.carryless = 1;
#else
    (void)allow_carryless;
#endif
}

uint32_t crc32_update(const Crc32Table& table, uint32_t running, const uint8_t* data,
                      size_t length) {
#ifdef QARN_CRC_CARRYLESS
    if (table.carryless != 0 && length >= kFoldMinimum) {
        const size_t folded = length & ~size_t{15};
        running = crc32_folded(running, data, folded);
        data += folded;
        length -= folded;
    }
#endif
    return crc32_sliced(table, running, data, length);
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
