// The RAR 2.0 LZ decoder: one call decodes one archive entry through the 1 MB window.
#pragma once
#include "unpack/unpack_state.h"

namespace qarn {

// Decodes one entry. Before the call the caller sets s.reader and s.writer, s.packed_size
// (the entry's packed bytes) and s.remaining_size (its unpacked size). `window` is the
// run's 1 MB window. A non-solid entry starts from a cleared window and history and reads
// its own table header; a solid one continues where the previous entry left off.
//
// Every produced byte is handed to the writer before the call returns. Damaged data shows
// only in the bytes produced: decoding stops at the unpacked size, or once more bits have
// been consumed than the packed data holds.
void decompress(UnpackState& s, uint8_t* window, bool solid);

// What the start of a non-solid entry resets: the window (marked unwritten, not cleared),
// the match history and the old code lengths. Part of decompress; public so that the
// benchmark can time it on its own.
void reset_for_non_solid(UnpackState& s);

}  // namespace qarn
