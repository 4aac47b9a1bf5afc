// The decoding loop is split into a fast path and a careful path, as fast inflaters are.
//
// The careful path does, once, everything the format asks before a symbol: it reduces the
// write position modulo the window, refills the input buffer at its threshold, stops a
// damaged entry that has run past its packed data, flushes the window when fewer than
// kFlushMargin bytes of it are free, and ends the entry at its unpacked size. It then works
// out how many steps the fast path may take without any of these falling due: a whole step
// (up to kLongestDecoderStep bytes) can then neither reach the window's end, nor the bytes
// not yet handed on, nor pass the entry's end, nor read past the refill threshold. So the
// fast path counts down one register per step instead of making five comparisons, holds
// the bit stream in a 64-bit register (BitBuffer) refilled once per step, decodes each code
// together with its extra bits from one table entry, and copies matches whose source lies
// wholly inside the window in wide pieces. Near a boundary the careful path runs before
// every symbol, exactly as the format reads.
//
// A non-solid entry does not clear the window: window_unwritten marks the bytes from the
// write position to the window's end as never written since the entry began, and the one
// place that can read them, a match reaching further back than the output so far, reads
// zeros there instead (copy_exact).
#include "unpack/lz_decoder.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

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

// The 32 bytes after a match that copy_near's wide pieces overwrite. In two vector
// registers where the processor has them (a 32-byte array would be kept in memory, a store
// and a load more per match); as bytes in the installer's 32-bit build, which has none.
struct AfterMatch {
#if defined(__SSE2__)
    __m128i low;
    __m128i high;
    void save(const uint8_t* p) {
        low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16));
    }
    void restore(uint8_t* p) const {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(p + 16), high);
    }
#else
    uint8_t bytes[32];
    void save(const uint8_t* p) { std::memcpy(bytes, p, sizeof bytes); }
    void restore(uint8_t* p) const { std::memcpy(p, bytes, sizeof bytes); }
#endif
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
        AfterMatch after;
        after.save(dst + length);
        copy_piece<Piece16>(dst, from);
        copy_piece<Piece16>(dst + 16, from + 16);
        for (uint32_t i = 32; i < length; i += 16) copy_piece<Piece16>(dst + i, from + i);
        after.restore(dst + length);
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

// The match history. It stays in memory during the loop, which touches it once per match
// only, so that the registers go to what every symbol needs.
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
          h_{{s.old_distances[0], s.old_distances[1], s.old_distances[2], s.old_distances[3]},
             static_cast<uint32_t>(s.old_distance_count),
             s.last_length,
             s.last_distance},
          // The unpacked size is a signed count; decrementing it wraps like the 32-bit
          // register it describes, and the overrun bound ends whatever a hostile size starts.
          stretch_remaining_(static_cast<int32_t>(static_cast<uint32_t>(s.remaining_size) - 1u)),
          stretch_start_(s.write_pos) {
        in_.load(s);
    }

    void run();

private:
    int32_t remaining() const {
        return static_cast<int32_t>(static_cast<uint32_t>(stretch_remaining_) -
                                    (write_pos_ - stretch_start_));
    }
    bool careful_step();
    uint32_t fast_steps() const;
    void store_all();

    UnpackState& s_;
    uint8_t* window_;
    BitBuffer in_{};
    uint32_t write_pos_;
    bool unwritten_;
    History h_;
    // The unpacked bytes still to produce are stretch_remaining_ less what was written since
    // stretch_start_; the careful path starts a new stretch whenever it looks.
    int32_t stretch_remaining_;
    uint32_t stretch_start_;
    uint32_t read_limit_ = 0;
};

void EntryDecoder::store_all() {
    in_.store(s_);
    for (int i = 0; i < 4; ++i) s_.old_distances[i] = h_.distances[i];
    s_.old_distance_count = static_cast<int32_t>(h_.count);
    s_.last_length = h_.last_length;
    s_.last_distance = h_.last_distance;
    s_.write_pos = write_pos_ & kWindowMask;
    s_.window_unwritten = unwritten_ ? 1 : 0;
    s_.remaining_size = remaining();
}

// How many steps after the one the careful path has just prepared may go without it. A
// step of up to kLongestDecoderStep bytes started below `limit` ends at or before the
// window's end, leaves at least kFlushMargin bytes free ahead of the bytes not yet handed
// on, and ends inside the entry; step i from now starts at most i whole steps on. A step
// reads at most 51 bits, under 7 bytes, so step i starts at most 7 * i bytes further into
// the input, which must stay below read_limit_. One count of steps left is a single
// register and a single test in the loop, where two limits were two of each.
uint32_t EntryDecoder::fast_steps() const {
    const uint32_t pending = (write_pos_ - s_.flush_pos) & kWindowMask;
    uint32_t limit = kWindowSize - kLongestDecoderStep + 1;
    const uint32_t flush_limit = write_pos_ + (kWindowSize - kFlushMargin + 1 - pending);
    if (flush_limit < limit) limit = flush_limit;
    const auto left = static_cast<uint32_t>(stretch_remaining_) + 1u;  // 1 to 2^31
    const uint32_t end_limit = left > kLongestDecoderStep ? write_pos_ + left - kLongestDecoderStep : 0;
    if (end_limit < limit) limit = end_limit;
    const uint32_t out_steps = limit > write_pos_ ? (limit - write_pos_ - 1) / kLongestDecoderStep : 0;
    const uint32_t at = in_.byte_position();
    const uint32_t in_steps = read_limit_ > at ? (read_limit_ - at - 1) / 7 : 0;
    return out_steps < in_steps ? out_steps : in_steps;
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
    return true;
}


#if defined(__OPTIMIZE_SIZE__)
constexpr bool kSmallLoop = true;
#else
constexpr bool kSmallLoop = false;
#endif

inline uint32_t copy_match(uint8_t* window, uint32_t write_pos, uint32_t distance,
                           uint32_t length, bool unwritten) {
#if !defined(__OPTIMIZE_SIZE__)
    // The source, reduced to the window, lies wholly behind the write position or, for a
    // match reaching back past the window's start, wholly ahead of it, where it holds the
    // oldest bytes unless the window has not been written round since a non-solid start
    // (copy_exact reads zeros then). One test for both, which the processor foresees: a
    // branch on which side the source lies would be mispredicted for one match in twenty.
    const uint32_t from = (write_pos - distance) & kWindowMask;
    const uint32_t reach = write_pos + (unwritten ? 0 : kWindowSize);
    if (distance - 1u < reach && from + length + 32 <= kWindowSize &&
        write_pos + length + 32 <= kWindowSize) {
        copy_near(window + write_pos, window + from, distance, length);
        return write_pos + length;
    }
#else
    if (distance - 1u < write_pos && write_pos + length + 32 <= kWindowSize) {
        copy_near(window + write_pos, window + write_pos - distance, distance, length);
        return write_pos + length;
    }
#endif
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
    uint32_t steps_left = 0;  // steps the fast path may take before the careful path looks
    History& h = h_;
    for (;;) {
        if (steps_left != 0) {
            --steps_left;
        } else {
            in_ = in;
            write_pos_ = write_pos;
            const bool go_on = careful_step();
            in = in_;
            write_pos = write_pos_;
            if (!go_on) break;
            steps_left = fast_steps();
        }

        using namespace decode_entry;
        // The code is looked up before the refill, whose bits land below the 16 that a
        // lookup reads: the refill then stays off the chain from one literal to the next.
        // The installer, built for size, refills once per step, before the lookup.
        if constexpr (kSmallLoop) in.refill();
        const uint32_t e = in.entry(*literals);
        if constexpr (!kSmallLoop) in.refill();
        if (e < kKindLong) {
            in.consume(total(e));
            window[write_pos++] = static_cast<uint8_t>(e >> kSymbolShift);
            continue;
        }
        const uint32_t value = base(e) + in.consume_entry(e);
        uint32_t distance;
        uint32_t length;
        if (e < kKindRecent) {
            const uint32_t d = in.entry(*distances);
            distance = kDistanceBases[symbol(d)] + 1u + in.consume_entry(d);
            length = value + static_cast<uint32_t>(distance >= kFarDistance) +
                     static_cast<uint32_t>(distance >= kMidDistance);
        } else if (e < kKindShort) {
            distance = h.distances[(h.count - value) & 3];
            const uint32_t r = in.entry(*repeats);
            length = base(r) + in.consume_entry(r) +
                     static_cast<uint32_t>(distance >= kFarDistance) +
                     static_cast<uint32_t>(distance >= kMidDistance) +
                     static_cast<uint32_t>(distance >= kNearDistance);
        } else if (e < kKindOther) {
            distance = value;
            length = 2;
        } else if (symbol(e) == kSymRepeatLast) {
            distance = h.last_distance;
            length = h.last_length;
        } else {  // a table header follows
            in.store(s_);
            s_.write_pos = write_pos;
            read_tables(s_);
            in.load(s_);
            // A damaged stream can consist of nothing but table changes; they consume bits
            // but produce nothing, so the careful path looks at the bound next.
            read_limit_ = symbol_read_limit(s_);
            steps_left = 0;
            continue;
        }
        h.enter(distance, length);
        // A match seldom leaves fewer bits than the next lookup reads; when it does not, the
        // next lookup need not wait for a refill either.
        if constexpr (!kSmallLoop) {
            if (in.count < BitBuffer::kLookupBits) in.refill();
        }
        write_pos = copy_match(window, write_pos, distance, length, unwritten_);
    }
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
