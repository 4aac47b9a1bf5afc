// Table headers: the code lengths of the literal, distance and repeat alphabets, sent as
// pre-code symbols. Each length is coded as a change against the previous header's (or
// against zero), or as part of a run: symbol 16 repeats the length before, 17 and 18 write
// zeros. The plan is chosen for the fewest bits: both flag settings, and runs placed by a
// shortest-path search under the pre-code that the search itself settles on.
#pragma once
#include <cstdint>

#include "pack/bit_writer.h"
#include "unpack/rar20_format.h"

namespace qarn {

struct TableHeaderPlan {
    bool keep_old = false;  // lengths are changes to the previous header's
    uint8_t precode_lengths[kPrecodeSymbols] = {};
    uint16_t ops[kNormalTableSize] = {};  // (extra << 5) | pre-code symbol, in order
    uint32_t op_count = 0;
    uint32_t bits = 0;  // the whole header
};

// Plans the header that turns `old_lengths` (the decoder's lengths of the last header, all
// zero at the start of a non-solid entry) into `new_lengths`; both hold 374 lengths.
// `rounds` of search and pre-code building: fewer give a slightly longer header sooner,
// which is good enough for estimates.
void plan_table_header(const uint8_t* new_lengths, const uint8_t* old_lengths,
                       TableHeaderPlan& plan, int rounds = 4);

void write_table_header(BitWriter& out, const TableHeaderPlan& plan);

}  // namespace qarn
