// Bit output in the order the decoder reads: each byte from its most significant bit, a
// value of several bits most significant bit first.
#pragma once
#include <cstdint>

#include "pack/heap_buffer.h"

namespace qarn {

class BitWriter {
public:
    // n from 0 to 24; `value` must fit in n bits. A failed growth of the buffer sticks: the
    // writer then drops everything, and ok() tells the caller once at the end.
    void put(uint32_t value, uint32_t n) {
        acc_ = (acc_ << n) | value;
        count_ += n;
        if (count_ >= 32) spill();
    }

    // Completes the last byte with zero bits and moves every pending bit into whole bytes.
    void pad_to_byte() {
        if ((count_ & 7) != 0) put(0, 8 - (count_ & 7));
        while (count_ >= 8) {
            count_ -= 8;
            store_byte(static_cast<uint8_t>(acc_ >> count_));
        }
        acc_ = 0;
    }

    // Bits written since the last reset, the pending ones included.
    uint64_t bit_count() const { return dropped_bits_ + uint64_t{out_.size()} * 8 + count_; }

    // Whole bytes produced so far; the caller hands them on and then drops them. Bits that
    // do not yet fill a byte (and up to three whole bytes in the accumulator) stay.
    const uint8_t* whole_bytes() const { return out_.data(); }
    size_t whole_byte_count() const { return out_.size(); }
    void drop_whole_bytes() {
        dropped_bits_ += uint64_t{out_.size()} * 8;
        out_.clear();
    }

    bool ok() const { return ok_; }
    void reset() {
        out_.clear();
        acc_ = 0;
        count_ = 0;
        dropped_bits_ = 0;
        ok_ = true;
    }

private:
    void spill() {
        // Four whole bytes leave the accumulator at once; up to 31 bits stay.
        count_ -= 32;
        const uint32_t word = static_cast<uint32_t>(acc_ >> count_);
        if (!ok_ || !out_.reserve(out_.size() + 4)) {
            ok_ = false;
            out_.clear();
        } else {
            const uint8_t bytes[4] = {static_cast<uint8_t>(word >> 24),
                                      static_cast<uint8_t>(word >> 16),
                                      static_cast<uint8_t>(word >> 8), static_cast<uint8_t>(word)};
            out_.append(bytes, 4);
        }
        acc_ &= (uint64_t{1} << count_) - 1u;
    }
    void store_byte(uint8_t b) {
        if (!ok_ || !out_.append(&b, 1)) {
            ok_ = false;
            out_.clear();
        }
    }

    GrowBuffer out_;
    uint64_t acc_ = 0;    // the last count_ bits written
    uint32_t count_ = 0;  // below 32 between calls
    uint64_t dropped_bits_ = 0;
    bool ok_ = true;
};

}  // namespace qarn
