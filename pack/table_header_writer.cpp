#include "pack/table_header_writer.h"

#include <cstring>

#include "pack/huffman_lengths.h"

namespace qarn {
namespace {

constexpr uint32_t kSize = kNormalTableSize;
constexpr uint32_t kUnusedSymbolCost = 16;  // a guess for symbols the pre-code lacks so far

struct Choice {
    uint8_t symbol;
    uint8_t extra;
    uint16_t covered;  // positions covered (a run at the end may cover fewer than its count)
};

// Shortest coding of `target` against `base` under the pre-code costs `cost` (in bits),
// as a sequence of choices; returns the bits of the choices, extra bits included.
uint32_t shortest_coding(const uint8_t* target, const uint8_t* base, const uint32_t* cost,
                         Choice* out, uint32_t& out_count) {
    uint32_t best[kSize + 1];
    Choice pick[kSize];
    uint32_t zeros_from[kSize + 1];
    uint32_t same_from[kSize + 1];  // run of positions equal to target[i]
    zeros_from[kSize] = 0;
    same_from[kSize] = 0;
    for (uint32_t i = kSize; i-- > 0;) {
        zeros_from[i] = target[i] == 0 ? zeros_from[i + 1] + 1 : 0;
        same_from[i] = (i + 1 < kSize && target[i + 1] == target[i]) ? same_from[i + 1] + 1 : 1;
    }
    best[kSize] = 0;
    for (uint32_t i = kSize; i-- > 0;) {
        const uint32_t left = kSize - i;
        const uint32_t delta = static_cast<uint32_t>(target[i] - base[i]) & 15;
        uint32_t b = cost[delta] + best[i + 1];
        Choice c{static_cast<uint8_t>(delta), 0, 1};
        // Zero runs: 17 for 3 to 10 positions, 18 for 11 to 138; a run that would pass the
        // end is cut there by the decoder, so it may cover fewer at the end.
        // Longer runs than the zeros ahead are useless, so of the 18-runs only the shortest
        // ones and those close to the longest possible are tried: a cut in between would
        // leave a remainder that costs a run of its own anyway.
        const uint32_t z = zeros_from[i];
        const uint32_t longest = z < 138 ? z : 138;
        for (uint32_t n = 3; n <= 138; ++n) {
            if (n > 14 && n + 11 < longest) n = longest - 11;
            const uint32_t covered = n < left ? n : left;
            if (covered > z) break;
            const uint32_t sym = n <= 10 ? 17 : 18;
            const uint32_t extra_bits = n <= 10 ? 3 : 7;
            const uint32_t v = cost[sym] + extra_bits + best[i + covered];
            if (v < b) {
                b = v;
                c = {static_cast<uint8_t>(sym), static_cast<uint8_t>(n - (n <= 10 ? 3 : 11)),
                     static_cast<uint16_t>(covered)};
            }
            if (covered == left && n >= 11) break;
        }
        // Repeats of the length before: 16 for 3 to 6 positions. At position 0 there is no
        // length before, and decoders differ on what they repeat, so it is never used there.
        if (i > 0) {
            const uint32_t r = target[i] == target[i - 1] ? same_from[i] : 0;
            for (uint32_t n = 3; n <= 6; ++n) {
                const uint32_t covered = n < left ? n : left;
                if (covered > r) break;
                const uint32_t v = cost[16] + 2 + best[i + covered];
                if (v < b) {
                    b = v;
                    c = {16, static_cast<uint8_t>(n - 3), static_cast<uint16_t>(covered)};
                }
            }
        }
        best[i] = b;
        pick[i] = c;
    }
    out_count = 0;
    for (uint32_t i = 0; i < kSize; i += pick[i].covered) out[out_count++] = pick[i];
    return best[0];
}

// The best plan for one flag setting: alternate between the search and a pre-code built
// from the search's own symbol counts, keeping the cheapest plan seen.
void plan_with_base(const uint8_t* target, const uint8_t* base, bool keep_old, int rounds,
                    TableHeaderPlan& best_plan) {
    uint32_t cost[kPrecodeSymbols];
    for (uint32_t& c : cost) c = 5;
    best_plan.bits = UINT32_MAX;
    for (int round = 0; round < rounds; ++round) {
        Choice choices[kSize];
        uint32_t count = 0;
        shortest_coding(target, base, cost, choices, count);
        uint32_t freqs[kPrecodeSymbols] = {};
        for (uint32_t k = 0; k < count; ++k) ++freqs[choices[k].symbol];
        TableHeaderPlan plan;
        plan.keep_old = keep_old;
        build_code_lengths(freqs, kPrecodeSymbols, kMaxCodeLength, plan.precode_lengths);
        uint32_t bits = 2 + 4 * kPrecodeSymbols;
        for (uint32_t k = 0; k < count; ++k) {
            const Choice& ch = choices[k];
            const uint32_t extra = ch.symbol == 16   ? 2
                                   : ch.symbol == 17 ? 3
                                   : ch.symbol == 18 ? 7
                                                     : 0;
            bits += plan.precode_lengths[ch.symbol] + extra;
            plan.ops[k] = static_cast<uint16_t>((ch.extra << 5) | ch.symbol);
        }
        plan.op_count = count;
        plan.bits = bits;
        if (bits < best_plan.bits) best_plan = plan;
        for (uint32_t s = 0; s < kPrecodeSymbols; ++s) {
            cost[s] = plan.precode_lengths[s] != 0 ? plan.precode_lengths[s] : kUnusedSymbolCost;
        }
    }
}

}  // namespace

void plan_table_header(const uint8_t* new_lengths, const uint8_t* old_lengths,
                       TableHeaderPlan& plan, int rounds) {
    static constexpr uint8_t kZeros[kSize] = {};
    plan_with_base(new_lengths, kZeros, false, rounds, plan);
    bool any_old = false;
    for (uint32_t i = 0; i < kSize && !any_old; ++i) any_old = old_lengths[i] != 0;
    if (!any_old) return;
    TableHeaderPlan kept;
    plan_with_base(new_lengths, old_lengths, true, rounds, kept);
    if (kept.bits < plan.bits) plan = kept;
}

void write_table_header(BitWriter& out, const TableHeaderPlan& plan) {
    out.put(0, 1);  // not an audio block
    out.put(plan.keep_old ? 1 : 0, 1);
    for (uint32_t s = 0; s < kPrecodeSymbols; ++s) out.put(plan.precode_lengths[s], 4);
    uint16_t codes[kPrecodeSymbols];
    assign_codes(plan.precode_lengths, kPrecodeSymbols, codes);
    for (uint32_t k = 0; k < plan.op_count; ++k) {
        const uint32_t sym = plan.ops[k] & 31;
        const uint32_t extra = plan.ops[k] >> 5;
        out.put(codes[sym], plan.precode_lengths[sym]);
        if (sym == 16) out.put(extra, 2);
        if (sym == 17) out.put(extra, 3);
        if (sym == 18) out.put(extra, 7);
    }
}

}  // namespace qarn
