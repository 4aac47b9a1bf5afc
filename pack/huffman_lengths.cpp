#include "pack/huffman_lengths.h"

#include <algorithm>

namespace qarn {
namespace {

struct Leaf {
    uint32_t freq;
    uint16_t symbol;
};

// Huffman lengths of `n` leaves sorted by ascending frequency, by the two-queue method: the
// merged nodes come out in ascending order by themselves, so no heap is needed.
void huffman_depths(const Leaf* leaves, uint32_t n, uint32_t* depth_of_leaf) {
    // Nodes 0..n-1 are leaves, n.. are merged nodes; parent[] links every node upwards.
    uint64_t weight[2 * kMaxAlphabet];
    uint32_t parent[2 * kMaxAlphabet];
    for (uint32_t i = 0; i < n; ++i) weight[i] = leaves[i].freq;
    uint32_t next_leaf = 0;
    uint32_t next_node = n;  // first merged node not yet consumed
    uint32_t made = n;       // next merged node to make
    auto take = [&]() -> uint32_t {
        if (next_leaf < n && (next_node >= made || weight[next_leaf] <= weight[next_node])) {
            return next_leaf++;
        }
        return next_node++;
    };
    while (made < 2 * n - 1) {
        const uint32_t a = take();
        const uint32_t b = take();
        weight[made] = weight[a] + weight[b];
        parent[a] = made;
        parent[b] = made;
        ++made;
    }
    // Depths from the root down: a node's depth is its parent's plus one.
    uint32_t depth[2 * kMaxAlphabet];
    depth[2 * n - 2] = 0;
    for (uint32_t i = 2 * n - 2; i-- > 0;) depth[i] = depth[parent[i]] + 1;
    for (uint32_t i = 0; i < n; ++i) depth_of_leaf[i] = depth[i];
}

}  // namespace

void build_code_lengths(const uint32_t* freqs, uint32_t count, uint32_t max_length,
                        uint8_t* lengths) {
    Leaf leaves[kMaxAlphabet];
    uint32_t n = 0;
    for (uint32_t s = 0; s < count; ++s) {
        lengths[s] = 0;
        if (freqs[s] != 0) leaves[n++] = {freqs[s], static_cast<uint16_t>(s)};
    }
    if (n == 0) return;
    if (n == 1) {
        // One used symbol still needs a complete code: it and a neighbour get one bit each.
        lengths[leaves[0].symbol] = 1;
        lengths[leaves[0].symbol == 0 ? 1 : 0] = 1;
        return;
    }
    // Ascending frequency; ties by symbol, so the result never depends on the sort's whims.
    std::sort(leaves, leaves + n, [](const Leaf& a, const Leaf& b) {
        return a.freq != b.freq ? a.freq < b.freq : a.symbol < b.symbol;
    });
    uint32_t depth[kMaxAlphabet];
    huffman_depths(leaves, n, depth);

    // Count codes per length, folding everything too long into max_length, then restore
    // the Kraft sum by lengthening the longest code that can still take it: each step moves
    // one leaf from length i down to i + 1 together with a leaf taken from max_length.
    uint32_t per_length[kMaxCodeLength + 2] = {};
    bool overflow = false;
    for (uint32_t i = 0; i < n; ++i) {
        if (depth[i] > max_length) {
            overflow = true;
            depth[i] = max_length;
        }
        ++per_length[depth[i]];
    }
    if (overflow) {
        uint64_t kraft = 0;
        for (uint32_t len = 1; len <= max_length; ++len) {
            kraft += uint64_t{per_length[len]} << (max_length - len);
        }
        const uint64_t full = uint64_t{1} << max_length;
        while (kraft > full) {
            --per_length[max_length];
            for (uint32_t len = max_length - 1; len > 0; --len) {
                if (per_length[len] != 0) {
                    --per_length[len];
                    per_length[len + 1] += 2;
                    break;
                }
            }
            --kraft;
        }
        // Hand the lengths out again: the most frequent symbols (the end of the sorted
        // list) get the shortest codes.
        uint32_t i = n;
        for (uint32_t len = 1; len <= max_length; ++len) {
            for (uint32_t k = 0; k < per_length[len]; ++k) depth[--i] = len;
        }
    }
    for (uint32_t i = 0; i < n; ++i) lengths[leaves[i].symbol] = static_cast<uint8_t>(depth[i]);
}

void assign_codes(const uint8_t* lengths, uint32_t count, uint16_t* codes) {
    uint32_t per_length[kMaxCodeLength + 1] = {};
    for (uint32_t s = 0; s < count; ++s) ++per_length[lengths[s] & 15];
    per_length[0] = 0;
    uint32_t next[kMaxCodeLength + 1] = {};
    uint32_t code = 0;
    for (uint32_t len = 1; len <= kMaxCodeLength; ++len) {
        code = (code + per_length[len - 1]) << 1;
        next[len] = code;
    }
    for (uint32_t s = 0; s < count; ++s) {
        const uint32_t len = lengths[s] & 15;
        codes[s] = len != 0 ? static_cast<uint16_t>(next[len]++) : 0;
    }
}

uint64_t coded_bits(const uint32_t* freqs, const uint8_t* lengths, uint32_t count) {
    uint64_t bits = 0;
    for (uint32_t s = 0; s < count; ++s) bits += uint64_t{freqs[s]} * lengths[s];
    return bits;
}

}  // namespace qarn
