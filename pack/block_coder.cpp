#include "pack/block_coder.h"

#include <cstring>

#include "pack/huffman_lengths.h"
#include "pack/table_header_writer.h"

namespace qarn {
namespace {

// The bits a table-change symbol costs; the tables it is coded with are still open when the
// decision falls, so this is a typical value.
constexpr uint64_t kTableChangeBits = 12;
constexpr uint64_t kCostUnknown = UINT64_MAX;

// New tables for `counts`. The table-change symbol always gets a code, so that a later
// block, in this entry or a later one of the stream, can always switch tables.
void lengths_for(const SymbolCounts& counts, uint8_t* lengths) {
    uint32_t literal[kLiteralSymbols];
    std::memcpy(literal, counts.literal, sizeof literal);
    if (literal[kSymTableChange] == 0) literal[kSymTableChange] = 1;
    build_code_lengths(literal, kLiteralSymbols, kMaxCodeLength, lengths);
    build_code_lengths(counts.distance, kDistanceSymbols, kMaxCodeLength,
                       lengths + kLiteralSymbols);
    build_code_lengths(counts.repeat, kRepeatSymbols, kMaxCodeLength,
                       lengths + kLiteralSymbols + kDistanceSymbols);
}

uint64_t symbol_bits(const SymbolCounts& counts, const uint8_t* lengths) {
    return coded_bits(counts.literal, lengths, kLiteralSymbols) +
           coded_bits(counts.distance, lengths + kLiteralSymbols, kDistanceSymbols) +
           coded_bits(counts.repeat, lengths + kLiteralSymbols + kDistanceSymbols, kRepeatSymbols);
}

// Whether every symbol that occurs has a code in `lengths`.
bool covers(const SymbolCounts& counts, const uint8_t* lengths) {
    for (uint32_t s = 0; s < kLiteralSymbols; ++s) {
        if (counts.literal[s] != 0 && lengths[s] == 0) return false;
    }
    for (uint32_t s = 0; s < kDistanceSymbols; ++s) {
        if (counts.distance[s] != 0 && lengths[kLiteralSymbols + s] == 0) return false;
    }
    for (uint32_t s = 0; s < kRepeatSymbols; ++s) {
        if (counts.repeat[s] != 0 && lengths[kLiteralSymbols + kDistanceSymbols + s] == 0)
            return false;
    }
    return true;
}

void put_token(BitWriter& out, const Token& t, const uint8_t* len, const uint16_t* code) {
    const uint8_t* dist_len = len + kLiteralSymbols;
    const uint16_t* dist_code = code + kLiteralSymbols;
    const uint8_t* rep_len = dist_len + kDistanceSymbols;
    const uint16_t* rep_code = dist_code + kDistanceSymbols;
    out.put(code[t.symbol], len[t.symbol]);
    if (t.symbol <= kSymRepeatLast) return;
    if (t.symbol >= kSymLongMatch) {
        const uint32_t k = t.symbol - kSymLongMatch;
        if (kLengthBits[k] != 0) out.put(t.length_extra, kLengthBits[k]);
        out.put(dist_code[t.distance_code], dist_len[t.distance_code]);
        if (kDistanceBits[t.distance_code] != 0) {
            out.put(t.distance_extra, kDistanceBits[t.distance_code]);
        }
    } else if (t.symbol >= kSymShortMatch) {
        out.put(t.short_extra, kShortBits[t.symbol - kSymShortMatch]);
    } else {
        out.put(rep_code[t.length_code], rep_len[t.length_code]);
        if (kLengthBits[t.length_code] != 0) out.put(t.length_extra, kLengthBits[t.length_code]);
    }
}

}  // namespace

bool BlockCoder::init(uint32_t max_block_tokens, uint32_t chunk_tokens) {
    capacity_ = max_block_tokens;
    chunk_tokens_ = chunk_tokens;
    start_stream();
    return tokens_.allocate(max_block_tokens);
}

void BlockCoder::start_stream() {
    state_.has_tables = false;
    std::memset(state_.lengths, 0, sizeof state_.lengths);
    count_ = 0;
    chunk_start_ = 0;
    open_counts_.clear();
    chunk_counts_.clear();
    recent_counts_.clear();
}

void BlockCoder::begin_entry(BitWriter& out, bool needs_header) {
    out_ = &out;
    needs_header_ = needs_header;
    count_ = 0;
    chunk_start_ = 0;
    open_counts_.clear();
    chunk_counts_.clear();
}

uint64_t BlockCoder::new_tables_cost(const SymbolCounts& counts) const {
    uint8_t lengths[kNormalTableSize];
    lengths_for(counts, lengths);
    TableHeaderPlan plan;
    plan_table_header(lengths, state_.lengths, plan, 2);
    return symbol_bits(counts, lengths) + plan.bits + kTableChangeBits;
}

void BlockCoder::end_chunk() {
    if (count_ == chunk_start_) return;
    recent_counts_.add(chunk_counts_);
    if (chunk_start_ == 0) {
        // Its cost is only needed once a second chunk comes (small entries have one).
        open_counts_ = chunk_counts_;
        open_cost_ = kCostUnknown;
    } else {
        if (open_cost_ == kCostUnknown) open_cost_ = new_tables_cost(open_counts_);
        SymbolCounts merged = open_counts_;
        merged.add(chunk_counts_);
        const uint64_t merged_cost = new_tables_cost(merged);
        const uint64_t chunk_cost = new_tables_cost(chunk_counts_);
        if (merged_cost <= open_cost_ + chunk_cost) {
            open_counts_ = merged;
            open_cost_ = merged_cost;
        } else {
            write_block(0, chunk_start_, open_counts_);
            std::memmove(tokens_.get(), tokens_.get() + chunk_start_,
                         (count_ - chunk_start_) * sizeof(Token));
            count_ -= chunk_start_;
            open_counts_ = chunk_counts_;
            open_cost_ = chunk_cost;
        }
    }
    chunk_start_ = count_;
    chunk_counts_.clear();
}

void BlockCoder::flush() {
    end_chunk();
    if (count_ != 0) write_block(0, count_, open_counts_);
    count_ = 0;
    chunk_start_ = 0;
    open_counts_.clear();
}

void BlockCoder::write_block(uint32_t begin, uint32_t end, const SymbolCounts& counts) {
    BitWriter& out = *out_;
    uint8_t lengths[kNormalTableSize];
    lengths_for(counts, lengths);
    TableHeaderPlan plan;
    plan_table_header(lengths, state_.lengths, plan);

    // Keeping the tables in force needs no header and no table change, but every symbol
    // of the block must have a code in them.
    bool keep = false;
    if (state_.has_tables && !needs_header_ && covers(counts, state_.lengths)) {
        const uint64_t keep_bits = symbol_bits(counts, state_.lengths);
        const uint64_t new_bits =
            symbol_bits(counts, lengths) + plan.bits + state_.lengths[kSymTableChange];
        keep = keep_bits <= new_bits;
    }

    uint16_t codes[kNormalTableSize];
    if (!keep) {
        if (!needs_header_) {
            // The switch is announced with the old tables, which always code it.
            assign_codes(state_.lengths, kLiteralSymbols, codes);
            out.put(codes[kSymTableChange], state_.lengths[kSymTableChange]);
        }
        write_table_header(out, plan);
        std::memcpy(state_.lengths, lengths, sizeof lengths);
        state_.has_tables = true;
    }
    needs_header_ = false;
    assign_codes(state_.lengths, kLiteralSymbols, codes);
    assign_codes(state_.lengths + kLiteralSymbols, kDistanceSymbols, codes + kLiteralSymbols);
    assign_codes(state_.lengths + kLiteralSymbols + kDistanceSymbols, kRepeatSymbols,
                 codes + kLiteralSymbols + kDistanceSymbols);
    for (uint32_t i = begin; i < end; ++i) put_token(out, tokens_[i], state_.lengths, codes);
}

}  // namespace qarn
