#include "pack/match_finder.h"

#include <bit>
#include <cstring>

#include "pack/token.h"
#include "unpack/byte_order.h"

namespace qarn {
namespace {

static_assert(std::endian::native == std::endian::little,
              "match lengths are measured with little-endian word loads");

constexpr uint32_t kSkipped = 0xFFFFFFFEu;  // in prev_: the position was passed over
constexpr uint32_t kHash3Bits = 14;
constexpr uint32_t kHash2Bits = 12;
// How many positions ahead a bucket search asks for its tables' lines.
constexpr uint32_t kSearchAhead = 4;
// A bucket slot: the position plus one in the low 23 bits (the buffer is at most 4 MB), and
// nine more bits of the hash of its bytes above them; 0 is an empty slot.
constexpr uint32_t kSlotPositionBits = 23;
constexpr uint32_t kSlotPositionMask = (1u << kSlotPositionBits) - 1;
constexpr uint32_t kSlotTagBits = 32 - kSlotPositionBits;

// Puts `value` in front of a bucket's slots, dropping the oldest.
template <uint32_t Ways>
inline void push_slot(uint32_t* slots, uint32_t value) {
    if constexpr (Ways > 1) {
        // Copied through a local, a fixed-size move compiles to a few vector moves.
        uint32_t kept[Ways - 1];
        std::memcpy(kept, slots, sizeof kept);
        std::memcpy(slots + 1, kept, sizeof kept);
    }
    slots[0] = value;
}

// Bytes are loaded little-endian whatever the host, so that the hashes, the matches found
// and the output are the same everywhere. One multiplication spreads the four bytes over 64
// bits: the top bits pick the chain head or bucket, the bits below them are a bucket slot's
// tag.
inline uint64_t spread4(const uint8_t* p) { return load_le32(p) * 0x9E3779B97F4A7C15ull; }
inline uint64_t spread8(const uint8_t* p) { return load_le64(p) * 0x9E3779B97F4A7C15ull; }
inline uint32_t hash3(const uint8_t* p) {
    return ((load_le32(p) & 0xFFFFFFu) * 2654435761u) >> (32 - kHash3Bits);
}
inline uint32_t hash2(const uint8_t* p) {
    return ((uint32_t{p[0]} | uint32_t{p[1]} << 8) * 2654435761u) >> (32 - kHash2Bits);
}
// A short table's 16 bits back to a position at most 65,535 before `pos`.
inline uint32_t near_position(uint32_t pos, uint16_t low_bits) {
    return pos - ((pos - low_bits) & 0xFFFFu);
}

// Common length of a and b, up to `limit`; b lies after a, and the buffer has 8 bytes of
// padding after every byte that may be compared.
inline uint32_t common_length(const uint8_t* a, const uint8_t* b, uint32_t limit) {
    uint32_t n = 0;
    while (n + 8 <= limit) {
        const uint64_t diff = load_le64(a + n) ^ load_le64(b + n);
        if (diff != 0) return n + static_cast<uint32_t>(std::countr_zero(diff)) / 8;
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

}  // namespace

bool MatchFinder::init(uint32_t buffer_size, const MatchFinderConfig& config) {
    config_ = config;
    buffer_size_ = buffer_size;
    const size_t heads = size_t{1} << config.hash_bits;
    const bool buckets = config.bucket_ways != 0;
    if (buckets && (buffer_size > kSlotPositionMask || !std::has_single_bit(config.bucket_ways) ||
                    config.bucket_ways > 16)) {
        return false;
    }
    if (!head4_.allocate(buckets ? heads * config.bucket_ways : heads) ||
        !prev_.allocate(buckets ? 0 : config.binary_tree != 0 ? 2 * size_t{buffer_size} : buffer_size) ||
        !long_.allocate(buckets && config.long_hash_bits != 0 ? size_t{1} << config.long_hash_bits
                                                              : 0) ||
        !head3_.allocate(size_t{1} << kHash3Bits) || !head2_.allocate(size_t{1} << kHash2Bits)) {
        return false;
    }
    reset();
    return true;
}

void MatchFinder::reset() {
    // Empty buckets hold 0, empty chain heads kNoPosition (all bits set).
    std::memset(head4_.get(), config_.bucket_ways != 0 ? 0 : 0xFF,
                head4_.size() * sizeof(uint32_t));
    if (long_.size() != 0) std::memset(long_.get(), 0, long_.size() * sizeof(uint32_t));
    // The short tables start out naming arbitrary positions; every candidate is checked
    // against the bytes and against the oldest position of the stream, so that is harmless.
    std::memset(head3_.get(), 0, head3_.size() * sizeof(uint16_t));
    std::memset(head2_.get(), 0, head2_.size() * sizeof(uint16_t));
    next_insert_ = 0;
}

size_t MatchFinder::memory_bytes() const {
    return (head4_.size() + prev_.size() + long_.size()) * sizeof(uint32_t) +
           (head3_.size() + head2_.size()) * sizeof(uint16_t);
}

void MatchFinder::insert_long(const uint8_t* buf, uint32_t p) {
    // Positions whose eight bytes run past the loaded data are left out.
    if (long_.size() == 0 || p + 8 > long_limit_) return;
    const uint64_t spread = spread8(buf + p);
    const uint32_t shift = 64 - config_.long_hash_bits;
    long_[long_of(spread)] = (p + 1) | static_cast<uint32_t>(spread >> (shift - kSlotTagBits))
                                           << kSlotPositionBits;
}

uint32_t MatchFinder::head_of(uint64_t spread) const {
    return static_cast<uint32_t>(spread >> (64 - config_.hash_bits));
}

uint32_t MatchFinder::long_of(uint64_t spread) const {
    return static_cast<uint32_t>(spread >> (64 - config_.long_hash_bits));
}

void MatchFinder::insert(const uint8_t* buf, uint32_t p, uint64_t spread) {
    if (config_.short_tables == 2) {
        head3_[hash3(buf + p)] = static_cast<uint16_t>(p);
        head2_[hash2(buf + p)] = static_cast<uint16_t>(p);
    }
    if (config_.bucket_ways != 0) {
        insert_long(buf, p);
        uint32_t* slots = head4_.get() + size_t{head_of(spread)} * config_.bucket_ways;
        const uint32_t tag =
            static_cast<uint32_t>(spread >> (64 - config_.hash_bits - kSlotTagBits));
        const uint32_t slot = (p + 1) | (tag & ((1u << kSlotTagBits) - 1)) << kSlotPositionBits;
        switch (config_.bucket_ways) {
            case 1: push_slot<1>(slots, slot); break;
            case 2: push_slot<2>(slots, slot); break;
            case 4: push_slot<4>(slots, slot); break;
            case 8: push_slot<8>(slots, slot); break;
            default: push_slot<16>(slots, slot); break;
        }
        return;
    }
    uint32_t& head = head4_[head_of(spread)];
    prev_[p] = head;
    head = p;
}

void MatchFinder::insert_up_to(const uint8_t* buf, uint32_t pos, uint32_t end) {
    long_limit_ = end;
    if (end < 4) return;
    const uint32_t stop = pos < end - 3 ? pos : end - 3;
    if (next_insert_ >= stop) return;
    if (config_.binary_tree != 0) {
        for (; next_insert_ < stop; ++next_insert_) {
            if (config_.short_tables == 2) {
                head3_[hash3(buf + next_insert_)] = static_cast<uint16_t>(next_insert_);
                head2_[hash2(buf + next_insert_)] = static_cast<uint16_t>(next_insert_);
            }
            tree_insert(buf, next_insert_, end, nullptr);
        }
        return;
    }
    switch (config_.bucket_ways) {
        case 0: insert_run<0>(buf, stop); break;
        case 1: insert_run<1>(buf, stop); break;
        case 2: insert_run<2>(buf, stop); break;
        case 4: insert_run<4>(buf, stop); break;
        case 8: insert_run<8>(buf, stop); break;
        default: insert_run<16>(buf, stop); break;
    }
}

template <uint32_t Ways>
void MatchFinder::insert_run(const uint8_t* buf, uint32_t stop) {
    // The heads of a large table are cache misses: ask for those of a few positions ahead,
    // so that the misses of a run of insertions overlap.
    constexpr uint32_t kAhead = 16;
    constexpr uint32_t kStride = Ways != 0 ? Ways : 1;
    const uint32_t head_shift = 64 - config_.hash_bits;
    const uint32_t tag_shift = head_shift - kSlotTagBits;
    const bool short_tables = config_.short_tables == 2;
    uint32_t* heads = head4_.get();
    // Short runs (the parser's usual steps) go without the look-ahead, which would not pay.
    const bool ahead = stop - next_insert_ > kAhead;
    uint64_t spreads[kAhead];
    if (ahead) {
        for (uint32_t k = 0; k < kAhead; ++k) {
            spreads[k] = spread4(buf + next_insert_ + k);
            __builtin_prefetch(heads + (spreads[k] >> head_shift) * kStride, 1);
        }
    }
    uint32_t p = next_insert_;
    for (uint32_t k = 0; p < stop; k = (k + 1) & (kAhead - 1), ++p) {
        uint64_t spread;
        if (!ahead) {
            spread = spread4(buf + p);
        } else {
            spread = spreads[k];
            if (p + kAhead < stop) {
                spreads[k] = spread4(buf + p + kAhead);
                __builtin_prefetch(heads + (spreads[k] >> head_shift) * kStride, 1);
            }
        }
        if (short_tables) {
            head3_[hash3(buf + p)] = static_cast<uint16_t>(p);
            head2_[hash2(buf + p)] = static_cast<uint16_t>(p);
        }
        uint32_t* head = heads + (spread >> head_shift) * kStride;
        // Inside a run of one byte value every position looks like the one before, and the
        // run's first position already yields every match the others would.
        if (p > 0 && load_le32(buf + p) == load_le32(buf + p - 1)) {
            if constexpr (Ways == 0) prev_[p] = kSkipped;
            continue;
        }
        if constexpr (Ways == 0) {
            prev_[p] = *head;
            *head = p;
        } else {
            insert_long(buf, p);
            const uint32_t tag =
                static_cast<uint32_t>(spread >> tag_shift) & ((1u << kSlotTagBits) - 1);
            push_slot<Ways>(head, (p + 1) | tag << kSlotPositionBits);
        }
    }
    next_insert_ = stop;
}

void MatchFinder::skip_up_to(uint32_t pos) {
    if (config_.bucket_ways != 0 || config_.binary_tree != 0) {
        if (next_insert_ < pos) next_insert_ = pos;
        return;
    }
    while (next_insert_ < pos) prev_[next_insert_++] = kSkipped;
}

inline void MatchFinder::Search::consider(uint32_t cand, uint32_t max_distance) {
    const uint8_t* cur = buf + pos;
    if (cand >= pos || cand < lowest || pos - cand > max_distance) return;
    if (buf[cand + best] != cur[best]) return;
    const uint32_t len = common_length(buf + cand, cur, max_length);
    if (len > best) {
        out[count++] = {len, pos - cand};
        best = len;
    }
}

// The nearest two- and three-byte repeats: only near ones can be coded at those lengths.
inline void MatchFinder::find_short(Search& q) {
    const uint8_t* cur = q.buf + q.pos;
    uint16_t& at2 = head2_[hash2(cur)];
    uint16_t& at3 = head3_[hash3(cur)];
    if (q.max_length >= 2) q.consider(near_position(q.pos, at2), kShortMaxDistance);
    if (q.max_length >= 3 && q.best < q.max_length) q.consider(near_position(q.pos, at3), kMidDistance - 1);
    at2 = static_cast<uint16_t>(q.pos);
    at3 = static_cast<uint16_t>(q.pos);
}

inline void MatchFinder::find_in_buckets(Search& q, uint64_t spread) {
    const uint8_t* cur = q.buf + q.pos;
    const uint32_t* head = head4_.get() + size_t{head_of(spread)} * config_.bucket_ways;
    // The candidates' bytes lie far apart in a large window: ask for all of them at once,
    // so that their cache misses overlap instead of following one another.
    const uint32_t tag = static_cast<uint32_t>(spread >> (64 - config_.hash_bits - kSlotTagBits)) &
                         ((1u << kSlotTagBits) - 1);
    uint32_t cands[16];
    uint32_t n = 0;
    for (uint32_t k = 0; k < config_.bucket_ways; ++k) {
        const uint32_t slot = head[k];
        if (slot == 0 || (slot >> kSlotPositionBits) != tag) continue;
        const uint32_t cand = (slot & kSlotPositionMask) - 1;
        __builtin_prefetch(q.buf + cand);
        cands[n++] = cand;
    }
    const uint32_t word = load_le32(cur);
    for (uint32_t k = 0; k < n && q.best < q.max_length; ++k) {
        const uint32_t cand = cands[k];
        // A slot may be stale (an entry wound back): it must lie behind pos, in reach.
        if (cand >= q.pos || cand < q.lowest || q.pos - cand > kMaxDistance) continue;
        if (q.buf[cand + q.best] != cur[q.best] || load_le32(q.buf + cand) != word) continue;
        const uint32_t len = common_length(q.buf + cand, cur, q.max_length);
        if (len > q.best) {
            q.out[q.count++] = {len, q.pos - cand};
            q.best = len;
            if (len >= config_.nice_length) break;
        }
    }
    if (long_.size() == 0 || q.pos + 8 > q.end || q.best >= q.max_length) return;
    // The eight-byte table: one candidate, for the long repeats the buckets lost.
    const uint64_t spread_long = spread8(cur);
    const uint32_t shift = 64 - config_.long_hash_bits;
    const uint32_t slot = long_[long_of(spread_long)];
    const uint32_t cand = (slot & kSlotPositionMask) - 1;
    const uint32_t long_tag =
        static_cast<uint32_t>(spread_long >> (shift - kSlotTagBits)) & ((1u << kSlotTagBits) - 1);
    if (slot != 0 && (slot >> kSlotPositionBits) == long_tag && cand < q.pos && cand >= q.lowest &&
        q.pos - cand <= kMaxDistance && load_le64(q.buf + cand) == load_le64(cur)) {
        const uint32_t len = common_length(q.buf + cand, cur, q.max_length);
        if (len > q.best) {
            q.out[q.count++] = {len, q.pos - cand};
            q.best = len;
        }
    }
}

inline void MatchFinder::find_in_chain(Search& q, uint64_t spread) {
    const uint8_t* cur = q.buf + q.pos;
    const uint32_t word = load_le32(cur);
    uint32_t& head = head4_[head_of(spread)];
    uint32_t cand = head;
    prev_[q.pos] = cand;
    head = q.pos;
    for (uint32_t depth = config_.chain_depth; depth > 0 && q.best < q.max_length; --depth) {
        if (cand == kNoPosition || cand < q.lowest || q.pos - cand > kMaxDistance) break;
        if (q.buf[cand + q.best] == cur[q.best] && load_le32(q.buf + cand) == word) {
            const uint32_t len = common_length(q.buf + cand, cur, q.max_length);
            if (len > q.best) {
                q.out[q.count++] = {len, q.pos - cand};
                q.best = len;
                if (len >= config_.nice_length || q.count == kMaxMatchesPerPosition) break;
            }
        }
        cand = prev_[cand];
    }
}

// The walk from the root of p's hash: each candidate met is older than p and, by the bytes
// that follow, either smaller or larger; it is hung below p on that side (with its subtree
// on the far side), and the walk goes on into its subtree on the near side. A candidate
// equal to p as far as the tree compares (the nice length, or the data's end) is replaced by
// p, which takes over its subtrees.
void MatchFinder::tree_insert(const uint8_t* buf, uint32_t p, uint32_t end, Search* q) {
    uint32_t* const links = prev_.get();
    // slot[0] receives the next candidate found smaller than p, slot[1] the next larger one.
    uint32_t* slot[2] = {&links[2 * size_t{p}], &links[2 * size_t{p} + 1]};
    uint32_t& root = head4_[head_of(spread4(buf + p))];
    uint32_t cand = root;
    root = p;
    const uint32_t limit = end - p < config_.nice_length ? end - p : config_.nice_length;
    for (uint32_t depth = config_.chain_depth;; --depth) {
        if (depth == 0 || cand == kNoPosition || cand >= p || p - cand > kMaxDistance) {
            *slot[0] = kNoPosition;
            *slot[1] = kNoPosition;
            return;
        }
        // Compared from the first byte, not from the smaller of the two sides' lengths as a
        // tree of one fixed comparison length may: near the data's end the tree compares
        // less, and bytes beyond it change when the next entry's data comes in, so the
        // order of an older part of a tree is a guide to where matches lie, not a promise.
        const uint32_t len = common_length(buf + cand, buf + p, limit);
        if (q != nullptr && len > q->best && cand >= q->lowest &&
            q->count < kMaxMatchesPerPosition) {
            // A match the tree stopped comparing at its nice length may be longer still.
            const uint32_t full = len >= limit ? common_length(buf + cand, buf + p, q->max_length)
                                               : (len < q->max_length ? len : q->max_length);
            if (full > q->best) {
                q->out[q->count++] = {full, p - cand};
                q->best = full;
            }
        }
        if (len >= limit) {
            *slot[0] = links[2 * size_t{cand}];
            *slot[1] = links[2 * size_t{cand} + 1];
            return;
        }
        // A smaller candidate is hung on the smaller side and the walk goes on into its
        // larger subtree, and the other way round. Indexed by the comparison rather than
        // branched on: the processor could foresee that branch no better than a coin.
        const uint32_t larger = static_cast<uint32_t>(buf[cand + len] > buf[p + len]);
        *slot[larger] = cand;
        uint32_t* const next = &links[2 * size_t{cand} + (larger ^ 1u)];
        slot[larger] = next;
        cand = *next;
    }
}

void MatchFinder::rebuild_trees(const uint8_t* buf, uint32_t from) {
    std::memset(head4_.get(), 0xFF, head4_.size() * sizeof(uint32_t));
    for (uint32_t p = from > kWindowSize ? from - kWindowSize : 0; p + 4 <= from; ++p) {
        tree_insert(buf, p, from, nullptr);
    }
}

uint32_t MatchFinder::find(const uint8_t* buf, uint32_t pos, uint32_t end, uint32_t max_length,
                           uint32_t lowest, Match* out) {
    insert_up_to(buf, pos, end);
    if (next_insert_ != pos || pos + 4 > end) return 0;  // too close to the end of the data
    const uint64_t spread = spread4(buf + pos);
    const uint32_t stride = config_.bucket_ways != 0 ? config_.bucket_ways : 1;
    __builtin_prefetch(head4_.get() + size_t{head_of(spread)} * stride);
    // The next searches are most often the positions that follow: their bucket and their
    // slot of the eight-byte table can be on their way already.
    if (pos + 5 <= end) __builtin_prefetch(head4_.get() + size_t{head_of(spread4(buf + pos + 1))} * stride);
    if (config_.bucket_ways != 0 && pos + kSearchAhead + 8 <= end) {
        __builtin_prefetch(head4_.get() + size_t{head_of(spread4(buf + pos + kSearchAhead))} * stride);
        if (long_.size() != 0) {
            __builtin_prefetch(long_.get() + long_of(spread8(buf + pos + kSearchAhead)));
        }
    }
    Search q{buf, pos, end, max_length, lowest, out, 0, 1};
    if (config_.short_tables != 0) find_short(q);
    if (config_.binary_tree != 0) {
        // A tree walk is a chain of cache misses. The next searches' first steps can be on
        // their way: the root of the search four positions on, and the bytes and children
        // of the root two positions on (asked for two searches ago).
        if (pos + 8 <= end) {
            __builtin_prefetch(head4_.get() + head_of(spread4(buf + pos + 4)));
            const uint32_t next_root = head4_[head_of(spread4(buf + pos + 2))];
            if (next_root < pos) {
                __builtin_prefetch(buf + next_root);
                __builtin_prefetch(prev_.get() + 2 * size_t{next_root});
            }
        }
        tree_insert(buf, pos, end, &q);
        ++next_insert_;
    } else if (config_.bucket_ways != 0) {
        find_in_buckets(q, spread);
        insert(buf, next_insert_++, spread);
    } else {
        find_in_chain(q, spread);
        ++next_insert_;
    }
    return q.count;
}

void MatchFinder::slide(uint32_t shift) {
    if (config_.bucket_ways != 0) {
        // A slot whose position falls off the front empties; search skips empty slots.
        for (size_t i = 0; i < head4_.size(); ++i) {
            const uint32_t v = head4_[i];
            head4_[i] = (v & kSlotPositionMask) > shift ? v - shift : 0;
        }
        for (size_t i = 0; i < long_.size(); ++i) {
            const uint32_t v = long_[i];
            long_[i] = (v & kSlotPositionMask) > shift ? v - shift : 0;
        }
    } else {
        auto rebase = [shift](uint32_t v) {
            return (v == kNoPosition || v == kSkipped) ? v : (v >= shift ? v - shift : kNoPosition);
        };
        for (size_t i = 0; i < head4_.size(); ++i) head4_[i] = rebase(head4_[i]);
        const uint32_t kept = next_insert_ > shift ? next_insert_ - shift : 0;
        // A tree keeps two links per position, a chain one.
        const size_t links = config_.binary_tree != 0 ? 2 : 1;
        for (size_t i = 0; i < kept * links; ++i) prev_[i] = rebase(prev_[i + shift * links]);
    }
    // The short tables keep only low bits, which move by the shift like the positions.
    for (size_t i = 0; i < head3_.size(); ++i) head3_[i] = static_cast<uint16_t>(head3_[i] - shift);
    for (size_t i = 0; i < head2_.size(); ++i) head2_[i] = static_cast<uint16_t>(head2_[i] - shift);
    next_insert_ = next_insert_ > shift ? next_insert_ - shift : 0;
    slid_ += shift;
}

void MatchFinder::rollback(const uint8_t* buf, const Checkpoint& checkpoint) {
    // Where the checkpoint's position lies in today's buffer; what slid off the front is
    // already forgotten.
    const uint64_t moved = slid_ - checkpoint.slid;
    const uint32_t from =
        checkpoint.next_insert > moved ? static_cast<uint32_t>(checkpoint.next_insert - moved) : 0;
    if (config_.binary_tree != 0) {
        if (from < next_insert_) rebuild_trees(buf, from);
    } else if (config_.bucket_ways == 0) {
        // Undo in reverse order of insertion: each head goes back to what it held before.
        for (uint32_t p = next_insert_; p-- > from;) {
            if (prev_[p] == kSkipped) continue;
            head4_[head_of(spread4(buf + p))] = prev_[p];
        }
    }
    next_insert_ = from;
}

}  // namespace qarn
