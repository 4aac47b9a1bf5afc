// The decoding loop keeps the hot state (bit position, window position, remaining size) in
// locals and writes it back only around the rare calls out: refills, table headers and
// window flushes. Per symbol it makes one comparison for the input buffer, one for the
// window's free space, and one fast-table lookup.
#include "unpack/lz_decoder.h"

#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/code_tables.h"

namespace qarn {
namespace {

void init_decoder(UnpackState& s, bool solid) {
    s.read_pos = 0;
    s.bit_pos = 0;
    if (solid) return;
    s.current_channel = 0;
    std::memset(s.old_distances, 0, sizeof s.old_distances);
    s.old_distance_count = 0;
    s.last_length = 0;
    s.last_distance = 0;
    std::memset(s.window, 0, kWindowSize);
    std::memset(s.old_lengths, 0, sizeof s.old_lengths);
    s.flush_pos = 0;
    s.write_pos = 0;
}

// Hands the bytes between flush_pos and write_pos to the writer, in window order.
void flush_window(UnpackState& s) {
    if (s.write_pos < s.flush_pos) {
        s.writer->write_unpacked(s.window + s.flush_pos,
                                 static_cast<int32_t>(kWindowSize - s.flush_pos));
        s.writer->write_unpacked(s.window, static_cast<int32_t>(s.write_pos));
    } else {
        s.writer->write_unpacked(s.window + s.flush_pos,
                                 static_cast<int32_t>(s.write_pos - s.flush_pos));
    }
    s.flush_pos = s.write_pos;
}

// Copies `length` bytes from `distance` back, byte order preserved: a distance shorter than
// the length repeats the match's own output, and a distance of a whole window copies each
// byte onto itself. Both positions wrap at the window's end.
inline uint32_t copy_match(uint8_t* window, uint32_t write_pos, uint32_t distance,
                           uint32_t length) {
    uint32_t src = (write_pos - distance) & kWindowMask;
    const uint32_t gap = distance & kWindowMask;  // how far the source trails the output
    if (write_pos + length <= kWindowSize && src + length <= kWindowSize && gap >= 8) {
        // No wrap and the source runs at least 8 bytes behind (or ahead, by nearly a
        // window): 8-byte pieces read only bytes that are already final.
        uint8_t* dst = window + write_pos;
        const uint8_t* from = window + src;
        uint32_t n = length;
        for (; n >= 8; n -= 8, dst += 8, from += 8) std::memcpy(dst, from, 8);
        for (; n > 0; --n) *dst++ = *from++;
        return write_pos + length;
    }
    for (uint32_t n = 0; n < length; ++n) {
        window[write_pos] = window[src];
        write_pos = (write_pos + 1) & kWindowMask;
        src = (src + 1) & kWindowMask;
    }
    return write_pos;
}

// Highest read position at which a symbol may start without a look at the input: below the
// refill threshold, and inside the entry's packed data, so that a damaged entry's overrun
// is seen within a symbol of happening rather than a buffer later.
inline uint32_t symbol_read_limit(const UnpackState& s) {
    const uint32_t left = s.packed_size > s.input_base ? s.packed_size - s.input_base : 0;
    return left < kRefillBeforeSymbol ? left : kRefillBeforeSymbol;
}

}  // namespace

void decompress(UnpackState& s, uint8_t* window, bool solid) {
    s.window = window;
    init_decoder(s, solid);
    refill_input(s, true);
    if (!solid) read_tables(s);

    // The unpacked size is a signed count; decrementing it wraps like the 32-bit register
    // it describes, and the overrun bound ends whatever a hostile size starts.
    int32_t remaining = static_cast<int32_t>(static_cast<uint32_t>(s.remaining_size) - 1u);
    uint32_t write_pos = s.write_pos;
    uint32_t read_limit = symbol_read_limit(s);

    while (remaining >= 0) {
        write_pos &= kWindowMask;
        if (s.read_pos >= read_limit) {
            if (s.read_pos > kRefillBeforeSymbol) refill_input(s, false);
            if (input_overrun(s)) break;
            read_limit = symbol_read_limit(s);
        }
        if (((s.flush_pos - write_pos) & kWindowMask) < kFlushMargin && s.flush_pos != write_pos) {
            s.write_pos = write_pos;
            flush_window(s);
        }

        const uint32_t sym = decode_symbol(s, s.literal_table);
        if (sym < 256) {
            window[write_pos++] = static_cast<uint8_t>(sym);
            --remaining;
            continue;
        }

        uint32_t length;
        uint32_t distance;
        if (sym >= kSymLongMatch) {
            const uint32_t k = sym - kSymLongMatch;
            length = kLengthBases[k] + 3u;
            if (kLengthBits[k] != 0) length += read_bits(s, kLengthBits[k]);
            const uint32_t d = decode_symbol(s, s.distance_table);
            distance = kDistanceBases[d] + 1u;
            if (kDistanceBits[d] != 0) distance += read_bits(s, kDistanceBits[d]);
            if (distance >= kFarDistance) ++length;
            if (distance >= kMidDistance) ++length;
        } else if (sym == kSymTableChange) {
            s.write_pos = write_pos;
            read_tables(s);
            // A damaged stream can consist of nothing but table changes; they consume bits
            // but produce nothing, so the bound is tested here too.
            if (input_overrun(s)) break;
            read_limit = symbol_read_limit(s);
            continue;
        } else if (sym == kSymRepeatLast) {
            length = s.last_length;
            distance = s.last_distance;
        } else if (sym < kSymShortMatch) {
            distance = s.old_distances[static_cast<uint32_t>(s.old_distance_count -
                                                             static_cast<int32_t>(sym - 256)) & 3];
            const uint32_t r = decode_symbol(s, s.repeat_table);
            length = kLengthBases[r] + 2u;
            if (kLengthBits[r] != 0) length += read_bits(s, kLengthBits[r]);
            if (distance >= kFarDistance) ++length;
            if (distance >= kMidDistance) ++length;
            if (distance >= kNearDistance) ++length;
        } else {
            const uint32_t j = sym - kSymShortMatch;
            distance = kShortBases[j] + 1u + read_bits(s, kShortBits[j]);
            length = 2;
        }

        s.old_distances[static_cast<uint32_t>(s.old_distance_count) & 3] = distance;
        s.old_distance_count = static_cast<int32_t>(static_cast<uint32_t>(s.old_distance_count) + 1u);
        s.last_distance = distance;
        s.last_length = length;
        remaining -= static_cast<int32_t>(length);
        write_pos = copy_match(window, write_pos, distance, length);
    }

    s.write_pos = write_pos & kWindowMask;
    s.remaining_size = remaining;
    read_final_tables(s);
    flush_window(s);
}

}  // namespace qarn
