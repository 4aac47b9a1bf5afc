// Groups the parsers' tokens into blocks that share one set of Huffman tables, and writes
// them. A block ends where the statistics shift enough that new tables (a table-change
// symbol and a header) cost less than coding on with tables that fit both halves; a block
// never runs past the end of an entry, since an entry's packed data must end with its last
// symbol. At the start of a block the coder also weighs keeping the tables already in force
// (no header at all), which pays for the small entries of a solid archive.
//
// The tables in force, and the lengths the decoder will take the next header's changes
// against, are mirrored from the decoder exactly: they carry over from entry to entry.
#pragma once
#include <cstdint>

#include "pack/bit_writer.h"
#include "pack/heap_buffer.h"
#include "pack/price_model.h"
#include "pack/token.h"

namespace qarn {

struct BlockCoderState {
    bool has_tables;                    // a header has been sent in this stream
    uint8_t lengths[kNormalTableSize];  // the tables in force (the last header's lengths)
};

class BlockCoder {
public:
    // `chunk_tokens`: tokens between two split decisions; `max_block_tokens` bounds memory.
    bool init(uint32_t max_block_tokens, uint32_t chunk_tokens);

    // A new stream (non-solid entry): no tables in force, old lengths all zero.
    void start_stream();
    // The next entry begins and its bits go to `out`; `needs_header` for the first entry of
    // a stream, whose data must open with a table header.
    void begin_entry(BitWriter& out, bool needs_header);

    void add(const Token& t) {
        if (count_ == capacity_) flush();
        tokens_[count_++] = t;
        chunk_counts_.count(t);
        if (count_ - chunk_start_ >= chunk_tokens_) end_chunk();
    }

    // Ends the current chunk: it joins the open block, or the open block is written first.
    void end_chunk();
    // Writes every pending token (at the end of an entry).
    void flush();

    // Counts of the tokens of the last chunks (for the parsers' price estimates).
    const SymbolCounts& recent_counts() const { return recent_counts_; }
    void clear_recent_counts() { recent_counts_.clear(); }

    const BlockCoderState& state() const { return state_; }
    void restore(const BlockCoderState& s) { state_ = s; }
    size_t memory_bytes() const { return tokens_.size() * sizeof(Token); }

private:
    uint64_t new_tables_cost(const SymbolCounts& counts) const;
    void write_block(uint32_t begin, uint32_t end, const SymbolCounts& counts);

    HeapArray<Token> tokens_;
    uint32_t capacity_ = 0;
    uint32_t chunk_tokens_ = 0;
    uint32_t count_ = 0;
    uint32_t chunk_start_ = 0;  // tokens before it form the open block
    SymbolCounts open_counts_{};
    uint64_t open_cost_ = 0;
    SymbolCounts chunk_counts_{};
    SymbolCounts recent_counts_{};
    BitWriter* out_ = nullptr;
    bool needs_header_ = false;
    BlockCoderState state_{};
};

}  // namespace qarn
