// The decoding loop is split into a fast path and a careful path, as fast inflaters are.
//
// The careful path does, once, everything the format asks before a symbol: it reduces the
// write position modulo the window, refills the input buffer at its threshold, stops a
// damaged entry that has run past its packed data, flushes the window when fewer than
// kFlushMargin bytes of it are free, and ends the entry at its unpacked size. It then works
// out how far the fast path may go without any of these falling due: as long as the write
// position stays below `out_limit` and the input below `next_limit`, a whole step (up to
// kLongestDecoderStep bytes) can neither reach the window's end, nor the bytes not yet
// handed on, nor pass the entry's end. So the fast path makes two comparisons per step
// instead of five, holds the bit stream in a 64-bit register (BitBuffer) refilled once per
// step, and copies matches that lie wholly behind the write position in wide pieces.
// Near a boundary the careful path runs before every symbol, exactly as the format reads.
//
// A non-solid entry does not clear the window: window_unwritten marks the bytes from the
// write position to the window's end as never written since the entry began, and the one
// place that can read them, a match reaching further back than the output so far, reads
// zeros there instead (copy_exact).
#include "unpack/lz_decoder.h"

#include <cstring>

#include "unpack/bit_input.h"
#include "unpack/code_tables.h"

namespace qarn {
namespace {

void init_decoder(UnpackState& s, bool solid) {
    s.read_pos = 0;
    s.bit_pos = 0;
    if (!solid) reset_for_non_solid(s);
}

}  // namespace

void reset_for_non_solid(UnpackState& s) {
    s.current_channel = 0;
    std::memset(s.old_distances, 0, sizeof s.old_distances);
    s.old_distance_count = 0;
    s.last_length = 0;
    s.last_distance = 0;
    s.window_unwritten = 1;
    std::memset(s.old_lengths, 0, sizeof s.old_lengths);
    s.flush_pos = 0;
    s.write_pos = 0;
}

namespace {

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

struct Piece16 {
    uint8_t bytes[16];
};

// A match whose source lies inside the window, wholly behind the write position (`from` is
// `distance` bytes before `dst`) or, for a match reaching back past the window's start,
// wholly ahead of it (at least 32 bytes on), with the result of a byte-by-byte copy in
// increasing order. Pieces of up to sixteen bytes read only final bytes when the source
// trails the output by at least the piece's size, and any bytes when it lies ahead.
//
// Exactly `length` bytes may change: the bytes ahead are history that a match of nearly a
// window's distance may still read. At sixteen bytes or more of distance (nearly every
// match) the copy goes in two whole pieces regardless of the length (most matches are
// shorter than 32 bytes), and the up to 31 bytes it writes beyond the match are saved first
// and put back after: a few memory operations instead of a branch on the length that the
// processor cannot foresee. The caller leaves 32 bytes of window after the match for that.
inline void copy_near(uint8_t* dst, const uint8_t* from, uint32_t distance, uint32_t length) {
    if (distance >= 16) {
        Piece16 after[2];
        std::memcpy(after, dst + length, sizeof after);
        copy_piece<Piece16>(dst, from);
        copy_piece<Piece16>(dst + 16, from + 16);
        for (uint32_t i = 32; i < length; i += 16) copy_piece<Piece16>(dst + i, from + i);
        std::memcpy(dst + length, after, sizeof after);
        return;
    }
#if !defined(__OPTIMIZE_SIZE__)  // the installer, built for size, copies the rest bytewise
    if (distance >= 8 && length >= 8) {
        for (uint32_t i = 0; i + 8 <= length; i += 8) copy_piece<uint64_t>(dst + i, from + i);
        copy_piece<uint64_t>(dst + length - 8, from + length - 8);
        return;
    }
    if (distance >= 4 && length >= 4) {
        for (uint32_t i = 0; i + 4 <= length; i += 4) copy_piece<uint32_t>(dst + i, from + i);
        copy_piece<uint32_t>(dst + length - 4, from + length - 4);
        return;
    }
    if (distance == 1) {
        std::memset(dst, *from, length);  // a run of one byte
        return;
    }
#endif
    for (uint32_t n = 0; n < length; ++n) dst[n] = from[n];
}

// Any match, byte by byte as the format defines it: both positions wrap at the window's end,
// and while the window is `unwritten`, the bytes from the write position to its end read
// as zero (they were not written since the non-solid entry began). Returns the new write
// position, which may pass the window's end; the careful path reduces it.
uint32_t copy_exact(uint8_t* window, uint32_t write_pos, uint32_t distance, uint32_t length,
                    bool unwritten) {
    uint32_t n = 0;
    if (unwritten) {
        // Distances act modulo the window: 0 names the byte written a whole window ago.
        const uint32_t back = ((distance - 1) & kWindowMask) + 1;
        // Output position write_pos + n reads a written byte once back <= write_pos + n.
        if (back > write_pos) {
            const uint32_t zeros = back - write_pos < length ? back - write_pos : length;
            for (; n < zeros; ++n) window[(write_pos + n) & kWindowMask] = 0;
        }
    }
    uint32_t src = (write_pos + n - distance) & kWindowMask;
#if !defined(__OPTIMIZE_SIZE__)
    // Neither side wrapping, the source lies ahead of the output (a distance beyond the
    // output's position), where a forward copy reads every byte before it is written.
    if (src > write_pos + n && src + (length - n) <= kWindowSize && write_pos + length <= kWindowSize) {
        std::memmove(window + write_pos + n, window + src, length - n);
        return write_pos + length;
    }
#endif
    for (; n < length; ++n) {
        window[(write_pos + n) & kWindowMask] = window[src];
        src = (src + 1) & kWindowMask;
    }
    return write_pos + length;
}

// Highest read position at which a symbol may start without a look at the input: below the
// refill threshold, and inside the entry's packed data, so that a damaged entry's overrun
// is seen within a symbol of happening rather than a buffer later.
inline uint32_t symbol_read_limit(const UnpackState& s) {
    const uint32_t left = s.packed_size > s.input_base ? s.packed_size - s.input_base : 0;
    return left < kRefillBeforeSymbol ? left : kRefillBeforeSymbol;
}

// The decoding loop's state, in locals: window stores may alias anything, so what the loop
// touches on every symbol lives here and goes back into the record only around the rare
// calls out.
class EntryDecoder {
public:
    EntryDecoder(UnpackState& s, uint8_t* window)
        : s_(s),
          window_(window),
          write_pos_(s.write_pos),
          unwritten_(s.window_unwritten != 0),
          distance_count_(static_cast<uint32_t>(s.old_distance_count)),
          last_length_(s.last_length),
          last_distance_(s.last_distance),
          // The unpacked size is a signed count; decrementing it wraps like the 32-bit
          // register it describes, and the overrun bound ends whatever a hostile size starts.
          stretch_remaining_(static_cast<int32_t>(static_cast<uint32_t>(s.remaining_size) - 1u)),
          stretch_start_(s.write_pos) {
        for (int i = 0; i < 4; ++i) old_distances_[i] = s.old_distances[i];
        in_.load(s);
    }

    void run();

private:
    int32_t remaining() const {
        return static_cast<int32_t>(static_cast<uint32_t>(stretch_remaining_) -
                                    (write_pos_ - stretch_start_));
    }
    bool careful_step();
    void set_limits();
    void store_all();

    UnpackState& s_;
    uint8_t* window_;
    BitBuffer in_{};
    uint32_t write_pos_;
    bool unwritten_;
    uint32_t old_distances_[4];
    uint32_t distance_count_;
    uint32_t last_length_;
    uint32_t last_distance_;
    // The unpacked bytes still to produce are stretch_remaining_ less what was written since
    // stretch_start_; the careful path starts a new stretch whenever it looks.
    int32_t stretch_remaining_;
    uint32_t stretch_start_;
    uint32_t read_limit_ = 0;
    uint32_t out_limit_ = 0;   // the fast path runs while write_pos_ is below this ...
    uint32_t next_limit_ = 0;  // ... and in_.next is below this
};

void EntryDecoder::store_all() {
    in_.store(s_);
    for (int i = 0; i < 4; ++i) s_.old_distances[i] = old_distances_[i];
    s_.old_distance_count = static_cast<int32_t>(distance_count_);
    s_.last_length = last_length_;
    s_.last_distance = last_distance_;
    s_.write_pos = write_pos_ & kWindowMask;
    s_.window_unwritten = unwritten_ ? 1 : 0;
    s_.remaining_size = remaining();
}

// Where the fast path must hand over again: a step of up to kLongestDecoderStep bytes
// started below out_limit_ ends at or before the window's end, leaves at least kFlushMargin
// bytes free ahead of the bytes not yet handed on, and ends inside the entry. The input
// limit: after a refill `next` lies 7 or 8 bytes past the read position, so a read
// position at or past read_limit_ shows as next_limit_ or more.
void EntryDecoder::set_limits() {
    const uint32_t pending = (write_pos_ - s_.flush_pos) & kWindowMask;
    uint32_t limit = kWindowSize - kLongestDecoderStep + 1;
    const uint32_t flush_limit = write_pos_ + (kWindowSize - kFlushMargin + 1 - pending);
    if (flush_limit < limit) limit = flush_limit;
    const auto left = static_cast<uint32_t>(stretch_remaining_) + 1u;  // 1 to 2^31
    const uint32_t end_limit = left > kLongestDecoderStep ? write_pos_ + left - kLongestDecoderStep : 0;
    if (end_limit < limit) limit = end_limit;
    out_limit_ = limit;
    next_limit_ = read_limit_ + 7;
}

// Everything the format asks before a symbol. False when the entry ends here.
bool EntryDecoder::careful_step() {
    if (remaining() < 0) return false;
    stretch_remaining_ = remaining();
    if (write_pos_ >= kWindowSize) {
        write_pos_ -= kWindowSize;
        unwritten_ = false;  // every byte of the window has now been written
    }
    stretch_start_ = write_pos_;
    if (in_.byte_position() >= read_limit_) {
        in_.store(s_);
        if (s_.read_pos > kRefillBeforeSymbol) refill_input(s_, false);
        in_.load(s_);
        if (input_overrun(s_)) return false;
        read_limit_ = symbol_read_limit(s_);
    }
    if (((s_.flush_pos - write_pos_) & kWindowMask) < kFlushMargin && s_.flush_pos != write_pos_) {
        s_.write_pos = write_pos_;
        flush_window(s_);
    }
    set_limits();
    return true;
}

// The match history in locals of the loop (see run).
struct History {
    uint32_t distances[4];
    uint32_t count;
    uint32_t last_length;
    uint32_t last_distance;

    void enter(uint32_t distance, uint32_t length) {
        distances[count & 3] = distance;
        ++count;
        last_distance = distance;
        last_length = length;
    }
};

inline uint32_t copy_match(uint8_t* window, uint32_t write_pos, uint32_t distance,
                           uint32_t length, bool unwritten) {
    if (write_pos + length + 32 <= kWindowSize) {
        if (distance - 1u < write_pos) {
            copy_near(window + write_pos, window + write_pos - distance, distance, length);
            return write_pos + length;
        }
#if !defined(__OPTIMIZE_SIZE__)
        // Reaching back past the window's start: the source lies ahead, one window on, and
        // holds the oldest bytes, unless the window has not been written round since a
        // non-solid start (copy_exact reads zeros then).
        const uint32_t from = write_pos + kWindowSize - distance;
        if (!unwritten && from + length + 32 <= kWindowSize) {
            copy_near(window + write_pos, window + from, distance, length);
            return write_pos + length;
        }
#endif
    }
    return copy_exact(window, write_pos, distance, length, unwritten);
}

// Every byte stored into the window may, as far as the compiler knows, change any memory
// reached through a pointer, this record's members among them. So the loop works on local
// copies whose addresses never leave it (the bit buffer, the write position, the history,
// the limits), and hands them to the members only around the careful path and table
// changes.
void EntryDecoder::run() {
    read_limit_ = symbol_read_limit(s_);
    const DecodeTable* const literals = &s_.literal_table;
    const DecodeTable* const distances = &s_.distance_table;
    const DecodeTable* const repeats = &s_.repeat_table;
    uint8_t* const window = window_;
    BitBuffer in = in_;
    uint32_t write_pos = write_pos_;
    uint32_t out_limit = out_limit_;
    uint32_t next_limit = next_limit_;
    bool unwritten = unwritten_;
    History h{{old_distances_[0], old_distances_[1], old_distances_[2], old_distances_[3]},
              distance_count_,
              last_length_,
              last_distance_};
    for (;;) {
        in.refill();
        if (write_pos >= out_limit || in.next >= next_limit) {
            in_ = in;
            write_pos_ = write_pos;
            const bool go_on = careful_step();
            in = in_;
            write_pos = write_pos_;
            if (!go_on) break;
            out_limit = out_limit_;
            next_limit = next_limit_;
            unwritten = unwritten_;
        }

        const uint32_t sym = in.decode(*literals);
        if (sym < 256) {
            window[write_pos++] = static_cast<uint8_t>(sym);
            continue;
        }
        uint32_t distance;
        uint32_t length;
        if (sym >= kSymLongMatch) {
            const uint32_t k = sym - kSymLongMatch;
            length = kLengthBases[k] + 3u + in.take(kLengthBits[k]);
            const uint32_t d = in.decode(*distances);
            distance = kDistanceBases[d] + 1u + in.take(kDistanceBits[d]);
            length += static_cast<uint32_t>(distance >= kFarDistance) +
                      static_cast<uint32_t>(distance >= kMidDistance);
        } else if (sym == kSymTableChange) {
            in.store(s_);
            s_.write_pos = write_pos;
            read_tables(s_);
            in.load(s_);
            // A damaged stream can consist of nothing but table changes; they consume bits
            // but produce nothing, so the careful path looks at the bound next.
            read_limit_ = symbol_read_limit(s_);
            next_limit = 0;
            continue;
        } else if (sym == kSymRepeatLast) {
            distance = h.last_distance;
            length = h.last_length;
        } else if (sym < kSymShortMatch) {
            distance = h.distances[(h.count - (sym - 256)) & 3];
            const uint32_t r = in.decode(*repeats);
            length = kLengthBases[r] + 2u + in.take(kLengthBits[r]) +
                     static_cast<uint32_t>(distance >= kFarDistance) +
                     static_cast<uint32_t>(distance >= kMidDistance) +
                     static_cast<uint32_t>(distance >= kNearDistance);
        } else {
            const uint32_t j = sym - kSymShortMatch;
            distance = kShortBases[j] + 1u + in.take(kShortBits[j]);
            length = 2;
        }
        h.enter(distance, length);
        write_pos = copy_match(window, write_pos, distance, length, unwritten);
    }
    for (int i = 0; i < 4; ++i) old_distances_[i] = h.distances[i];
    distance_count_ = h.count;
    last_length_ = h.last_length;
    last_distance_ = h.last_distance;
    store_all();
}

}  // namespace

void decompress(UnpackState& s, uint8_t* window, bool solid) {
    s.window = window;
    init_decoder(s, solid);
    refill_input(s, true);
    if (!solid) read_tables(s);
    EntryDecoder(s, window).run();
    read_final_tables(s);
    flush_window(s);
}

}  // namespace qarn
