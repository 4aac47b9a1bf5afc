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

template <typename T>
inline void copy_piece(uint8_t* dst, const uint8_t* from) {
    T piece;
    std::memcpy(&piece, from, sizeof piece);
    std::memcpy(dst, &piece, sizeof piece);
}

// Copies `length` bytes from `distance` back, with the result of a byte-by-byte copy in
// increasing order: a distance shorter than the length repeats the match's own output, and
// a distance of a whole window copies each byte onto itself. Both positions wrap at the
// window's end. Exactly `length` bytes are written: the bytes ahead of the write position
// are history that a match of nearly a window's distance may still read.
inline uint32_t copy_match(uint8_t* window, uint32_t write_pos, uint32_t distance,
                           uint32_t length) {
    uint32_t src = (write_pos - distance) & kWindowMask;
    if (write_pos + length <= kWindowSize && src + length <= kWindowSize) {
        uint8_t* dst = window + write_pos;
        const uint8_t* from = window + src;
        const uint32_t gap = distance & kWindowMask;
        // Pieces of up to eight bytes read only final bytes when the source trails the
        // output by eight or more, lies eight or more ahead of it (a distance of nearly a
        // window: what is read there is never written first), or coincides with it. The
        // overlapping piece at the end rewrites a few bytes with the values they hold.
        if (gap == 0 || (gap >= 8 && gap <= kWindowSize - 8)) {
            if (length >= 8) {
                for (uint32_t i = 0; i + 8 <= length; i += 8) copy_piece<uint64_t>(dst + i, from + i);
                copy_piece<uint64_t>(dst + length - 8, from + length - 8);
            } else if (length >= 4) {
                copy_piece<uint32_t>(dst, from);
                copy_piece<uint32_t>(dst + length - 4, from + length - 4);
            } else if (length >= 2) {
                copy_piece<uint16_t>(dst, from);
                copy_piece<uint16_t>(dst + length - 2, from + length - 2);
            } else if (length == 1) {
                *dst = *from;
            }
        } else if (gap == 1) {
            std::memset(dst, *from, length);  // a run of one byte
        } else {
            for (uint32_t n = 0; n < length; ++n) dst[n] = from[n];
        }
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
    // Window stores may alias anything, so the state the loop touches on every symbol lives
    // in locals and goes back into the record only around the rare calls out.
    BitCursor in(s);
    uint32_t old_distances[4] = {s.old_distances[0], s.old_distances[1], s.old_distances[2],
                                 s.old_distances[3]};
    uint32_t distance_count = static_cast<uint32_t>(s.old_distance_count);
    uint32_t last_length = s.last_length;
    uint32_t last_distance = s.last_distance;
    const DecodeTable* literals = &s.literal_table;

    while (remaining >= 0) {
        write_pos &= kWindowMask;
        if (in.pos >= read_limit) {
            in.store(s);
            if (s.read_pos > kRefillBeforeSymbol) refill_input(s, false);
            in.load(s);
            if (input_overrun(s)) break;
            read_limit = symbol_read_limit(s);
        }
        if (((s.flush_pos - write_pos) & kWindowMask) < kFlushMargin && s.flush_pos != write_pos) {
            s.write_pos = write_pos;
            flush_window(s);
        }

        const uint32_t sym = in.decode(*literals);
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
            if (kLengthBits[k] != 0) length += in.read(kLengthBits[k]);
            const uint32_t d = in.decode(s.distance_table);
            distance = kDistanceBases[d] + 1u;
            if (kDistanceBits[d] != 0) distance += in.read(kDistanceBits[d]);
            if (distance >= kFarDistance) ++length;
            if (distance >= kMidDistance) ++length;
        } else if (sym == kSymTableChange) {
            in.store(s);
            s.write_pos = write_pos;
            read_tables(s);
            in.load(s);
            // A damaged stream can consist of nothing but table changes; they consume bits
            // but produce nothing, so the bound is tested here too.
            if (input_overrun(s)) break;
            read_limit = symbol_read_limit(s);
            continue;
        } else if (sym == kSymRepeatLast) {
            length = last_length;
            distance = last_distance;
        } else if (sym < kSymShortMatch) {
            distance = old_distances[(distance_count - (sym - 256)) & 3];
            const uint32_t r = in.decode(s.repeat_table);
            length = kLengthBases[r] + 2u;
            if (kLengthBits[r] != 0) length += in.read(kLengthBits[r]);
            if (distance >= kFarDistance) ++length;
            if (distance >= kMidDistance) ++length;
            if (distance >= kNearDistance) ++length;
        } else {
            const uint32_t j = sym - kSymShortMatch;
            distance = kShortBases[j] + 1u + in.read(kShortBits[j]);
            length = 2;
        }

        old_distances[distance_count & 3] = distance;
        ++distance_count;
        last_distance = distance;
        last_length = length;
        remaining -= static_cast<int32_t>(length);
        write_pos = copy_match(window, write_pos, distance, length);
    }

    in.store(s);
    for (int i = 0; i < 4; ++i) s.old_distances[i] = old_distances[i];
    s.old_distance_count = static_cast<int32_t>(distance_count);
    s.last_length = last_length;
    s.last_distance = last_distance;
    s.write_pos = write_pos & kWindowMask;
    s.remaining_size = remaining;
    read_final_tables(s);
    flush_window(s);
}

}  // namespace qarn
