// Table headers: the code lengths of every symbol, coded with a 19-symbol pre-code.
#pragma once
#include "unpack/unpack_state.h"

namespace qarn {

// Reads one table header at the current bit position and rebuilds the tables from it.
void read_tables(UnpackState& s);

// End-of-entry check: when at least five bytes of the last fill remain, decodes one more
// symbol and, if it is the table-change symbol, reads the header that follows. That header
// is what the next entry of a solid archive starts with.
void read_final_tables(UnpackState& s);

}  // namespace qarn
