// Bit input: the packed data of one entry as a stream of bits, most significant bit first.
//
// Invariants relied on everywhere:
//  - read_pos indexes the byte holding the next unread bit; 0 <= bit_pos <= 7.
//  - Callers compare read_pos with a refill threshold before a group of reads, and each
//    group reads few enough bits that no window is formed past index 8191. The buffer's
//    padding makes the 4-byte load of a window at up to index 8191 safe; the fourth byte
//    only ever supplies bits below the window's 16.
#pragma once
#include <cstdint>

#include "unpack/byte_order.h"
#include "unpack/unpack_state.h"

namespace qarn {

void refill_input(UnpackState& s, bool first);

// Reading bits: peek gives the next 16 bits without consuming them, skip consumes n (1 to
// 16), read does both, decode consumes one Huffman code and gives its symbol.
// The cursor holds the read and bit positions in registers for the decoder's hot loop:
// window stores may alias the record, which would otherwise force a reload of both after
// every byte written. store() before any call that reads bits through the record, load()
// after it.
struct BitCursor {
    const uint8_t* buffer;
    uint32_t pos;
    uint32_t bit;

    explicit BitCursor(const UnpackState& s) : buffer(s.input_buffer), pos(s.read_pos), bit(s.bit_pos) {}
    void store(UnpackState& s) const {
        s.read_pos = pos;
        s.bit_pos = bit;
    }
    void load(const UnpackState& s) {
        pos = s.read_pos;
        bit = s.bit_pos;
    }
    uint32_t peek() const { return (load_be32(buffer + pos) << bit) >> 16; }
    void skip(uint32_t n) {
        const uint32_t bits = bit + n;
        pos += bits >> 3;
        bit = bits & 7;
    }
    uint32_t read(uint32_t n) {
        const uint32_t value = peek() >> (16 - n);
        skip(n);
        return value;
    }
    uint32_t decode(const DecodeTable& table) {
        const uint32_t window = peek();
        const uint32_t fast = table.fast[window >> (16 - kFastBits)];
        if (fast != 0) {
            skip(decode_entry::total(fast) - decode_entry::extra_count(fast));
            return decode_entry::symbol(fast);
        }
        const uint32_t len = code_length_of(table, window, kFastBits + 1);
        skip(len);
        return symbol_of(table, window, len);
    }
};

// The decoding loop's reader: up to 63 bits of the stream held in a register, refilled once
// or twice per decoder step instead of being formed anew for every read.
//
// Invariants:
//  - The top `count` bits of `bits` are the next unread bits of the stream. The bits below
//    them are zero or the stream bits that follow, so OR-ing those in again changes nothing.
//  - `next` indexes the first byte of input_buffer none of whose bits are counted; the next
//    unread bit is bit (next * 8 - count) of the buffer.
//  - After refill(), count is 56 to 63: a whole step (a symbol of up to 15 bits, 5 length
//    bits, a distance symbol of up to 15 bits and 16 distance bits: 51 bits) needs no other.
//    The loop looks a step's first code up before that refill, which needs count >= 16
//    (kLookupBits): a literal leaves at least 41, and a match step that leaves fewer
//    refills at its end. (Built for size, as in the installer, the loop refills once,
//    before the lookup.)
//  - `bits` holds at least as many bits as an entry's total when it is consumed (a total is
//    1 to 31), so the shift that takes out the code and its extra bits is below 64.
//  - refill() reads the eight bytes from `next`, which lies at most 8 bytes past the read
//    position: the decoding loop refills only while the read position is at or below its
//    refill threshold (8,162) plus one step, far inside the buffer and its padding.
struct BitBuffer {
    static constexpr uint32_t kLookupBits = 16;  // bits a code's lookup reads at most

    const uint8_t* buffer;
    uint64_t bits;
    uint32_t next;
    uint32_t count;

    void load(const UnpackState& s) {
        buffer = s.input_buffer;
        bits = 0;
        count = 0;
        next = s.read_pos;
        refill();
        consume(s.bit_pos);
    }
    void store(UnpackState& s) const {
        const uint32_t position = next * 8 - count;
        s.read_pos = position >> 3;
        s.bit_pos = position & 7;
    }
    // Index of the byte that holds the next unread bit.
    uint32_t byte_position() const { return (next * 8 - count) >> 3; }
    void refill() {
        bits |= load_be64(buffer + next) >> count;
        next += (63 - count) >> 3;
        count |= 56;
    }
    void consume(uint32_t n) {
        bits <<= n;
        count -= n;
    }
    // n from 0 to 16, without a branch on n: extra-bit counts come from tables. The first
    // shift clears the top bit, so a count of 0 shifts out everything and needs no mask.
    uint32_t take(uint32_t n) {
        const auto value = static_cast<uint32_t>((bits >> 1) >> (63 - n));
        consume(n);
        return value;
    }
    // The decode entry of the next code (see DecodeEntry), not yet consumed.
    uint32_t entry(const DecodeTable& table) const {
        const uint32_t fast = table.fast[bits >> (64 - kFastBits)];
        if (fast != 0) [[likely]] return fast;
        return slow_decode_entry(table, static_cast<uint32_t>(bits >> (64 - kLookupBits)));
    }
    // Consumes the code and the extra bits of entry `e`; returns the extra bits' value, taken
    // from the bits shifted out, so that the next code's lookup waits for one shift only.
    uint32_t consume_entry(uint32_t e) {
        const uint64_t before = bits;
        const uint32_t total = decode_entry::total(e);
        consume(total);
        return static_cast<uint32_t>(before >> (64 - total)) &
               ((1u << decode_entry::extra_count(e)) - 1u);
    }
};

// The same operations on the record itself, for the code that reads bits rarely (table
// headers, the end-of-entry check, tests).
inline uint32_t peek_bits(const UnpackState& s) { return BitCursor(s).peek(); }

inline void skip_bits(UnpackState& s, uint32_t n) {
    BitCursor in(s);
    in.skip(n);
    in.store(s);
}

// n from 1 to 16.
inline uint32_t read_bits(UnpackState& s, uint32_t n) {
    BitCursor in(s);
    const uint32_t value = in.read(n);
    in.store(s);
    return value;
}

inline uint32_t decode_symbol(UnpackState& s, const DecodeTable& table) {
    BitCursor in(s);
    const uint32_t symbol = in.decode(table);
    in.store(s);
    return symbol;
}

// Bits consumed so far beyond the entry's packed data (0 while inside it).
inline bool input_overrun(const UnpackState& s) {
    const uint64_t consumed_bits =
        (uint64_t{s.input_base} + s.read_pos) * 8 + s.bit_pos;
    return consumed_bits > uint64_t{s.packed_size} * 8;
}

}  // namespace qarn
