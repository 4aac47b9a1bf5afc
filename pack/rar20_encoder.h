// The RAR 2.0 compressor: entries go in one after another and come out as the packed data
// of one solid stream, which the project's decoder turns back into the same bytes.
//
// The first compressed entry of a stream starts afresh (a cleared window, its own table
// header); every later one continues the window, the match history and the tables exactly
// as the decoder carries them, and must be marked solid. An entry that does not shrink is
// given up as soon as that is certain: the compressor then winds its window, history and
// tables back to where they stood before the entry, because a stored entry never passes
// through the decoder.
//
// Each entry's packed data ends right after its last symbol, padded to a whole byte, so the
// decoder's end-of-entry look at the remaining input (which needs at least five bytes of
// it) never finds anything.
#pragma once
#include <cstddef>
#include <cstdint>

#include "pack/bit_writer.h"
#include "pack/block_coder.h"
#include "pack/heap_buffer.h"
#include "pack/lazy_parser.h"
#include "pack/level_settings.h"
#include "pack/match_finder.h"
#include "pack/optimal_parser.h"
#include "pack/pack_stream.h"
#include "pack/price_model.h"

namespace qarn {

struct EntryPackResult {
    uint64_t packed_size;
    bool solid;  // continues the stream: its file header carries the solid flag
};

class Rar20Encoder {
public:
    // Level 1 (fast) to 5 (best). Allocates everything the compressor will need. `threads`:
    // how many threads the levels with optimal parsing may use (0: two where the processor
    // has two cores or more); the output is the same whatever the count.
    PackStatus init(int level, uint32_t threads = 0);
    // Forgets the stream: the next entry starts a new one (as after init, without
    // allocating again).
    void reset() { stream_started_ = false; }

    // Compresses the next entry, `size` bytes (1 to 0x7FFFFFFF) read from `source`.
    // kNotSmaller: the packed data would not be smaller than `size`; nothing of it
    // remains in the stream, and what went to `sink` is less than `size` bytes, all of
    // which the caller discards. Any other failure leaves the stream unusable.
    PackStatus compress_entry(PackSource& source, uint64_t size, PackSink& sink,
                              EntryPackResult& result);

    // Memory held by the compressor.
    size_t memory_bytes() const;

private:
    struct Snapshot {
        MatchFinder::Checkpoint finder;
        BlockCoderState coder;
        MatchHistory history;
        bool stream_started;
        uint32_t lowest;
        uint32_t end;
        uint64_t slid;
    };
    void start_stream();
    void slide(uint32_t keep_from);
    void rollback(const Snapshot& s);
    uint32_t parse(ParseContext& c, uint32_t pos, uint32_t limit);

    LevelSettings settings_{};
    HeapArray<uint8_t> buf_;
    uint32_t lowest_ = 0;  // oldest byte of the stream still in the buffer
    uint32_t end_ = 0;     // bytes in the buffer; the next entry starts here
    uint64_t slid_ = 0;    // total shift of the buffer
    bool stream_started_ = false;
    MatchFinder finder_;
    BlockCoder coder_;
    MatchHistory history_{};
    PriceModel prices_{};
    LazyParser lazy_;
    OptimalParser optimal_;
    BitWriter bits_;
};

}  // namespace qarn
