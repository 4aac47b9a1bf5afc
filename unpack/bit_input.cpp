#include "unpack/bit_input.h"

namespace qarn {
namespace {

// A fill that comes back short marks the real end of the packed data: a header may claim
// more than the file holds, and the overrun bound must count from what actually arrived,
// or a truncated file would keep the decoder busy for the whole of its claimed size.
void note_fill(UnpackState& s, int32_t got, uint32_t asked, uint32_t stream_offset) {
    const uint32_t delivered = got > 0 ? static_cast<uint32_t>(got) : 0;
    const uint32_t end = stream_offset + delivered;
    if (delivered < asked && end < s.packed_size) s.packed_size = end;
}

}  // namespace

void refill_input(UnpackState& s, bool first) {
    if (first) {
        const int32_t got = s.reader->read_packed(s.input_buffer, int32_t{kInputBufferSize});
        s.read_top = got > 0 ? static_cast<uint32_t>(got) : 0;
        s.read_pos = 0;
        s.input_base = 0;
        note_fill(s, got, kInputBufferSize, 0);
        return;
    }
    // Requested only with read_pos in 8,163..8,191, so masking moves it back by exactly 8,160.
    std::memmove(s.input_buffer, s.input_buffer + kInputRefillSize, kInputKeep);
    s.read_pos &= kInputKeep - 1;
    s.input_base += kInputRefillSize;
    const int32_t got =
        s.reader->read_packed(s.input_buffer + kInputKeep, int32_t{kInputRefillSize});
    // After the data ends the buffer keeps the bytes of earlier fills and reading goes on
    // over them; the decoder's overrun bound ends that.
    s.read_top = got > 0 ? static_cast<uint32_t>(got) + kInputKeep : s.read_pos;
    note_fill(s, got, kInputRefillSize, s.input_base + kInputKeep);
}

}  // namespace qarn
