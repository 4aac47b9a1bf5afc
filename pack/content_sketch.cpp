#include "pack/content_sketch.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "unpack/byte_order.h"
#include "unpack/rar20_format.h"

namespace qarn {
namespace {

// A polynomial hash of the last 16 bytes, rolled one byte at a time: every multiplication
// wraps modulo 2^64, so the samples are the same on every machine.
constexpr uint64_t kBase = 0x100000001B3u;
constexpr uint64_t kBaseTo16 = [] {
    uint64_t p = 1;
    for (int i = 0; i < 16; ++i) p *= kBase;
    return p;
}();
// The sample test looks at the top bits of the hash spread by a multiplication: which
// positions pass depends on all 16 bytes.
constexpr uint64_t kSpread = 0x9E3779B97F4A7C15u;
constexpr unsigned kDenseBits = 6;
constexpr uint64_t kDenseTotal = 64u << 20;
constexpr uint64_t kWindow = ContentSketch::kSketchWindow;
static_assert(kWindow == kWindowSize);

void sorted_unique(std::vector<uint64_t>& v) {
    std::sort(v.begin(), v.end());
    v.erase(std::unique(v.begin(), v.end()), v.end());
}

bool mostly_text(const uint8_t* data, size_t size) {
    size_t plain = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t c = data[i];
        if ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\r' || c == '\t' || c >= 0xA0) ++plain;
    }
    return size != 0 && plain * 20 >= size * 19;
}

}  // namespace

unsigned sample_bits_for(uint64_t total_bytes) {
    unsigned bits = kDenseBits;
    while (bits < 20 && total_bytes > (kDenseTotal << (bits - kDenseBits))) ++bits;
    return bits;
}

ContentSketcher::ContentSketcher(unsigned sample_bits) : sample_shift_(64 - sample_bits) {}

FileKind file_kind(const uint8_t* data, size_t size) {
    auto starts = [&](const char* magic, size_t n) {
        return size >= n && std::memcmp(data, magic, n) == 0;
    };
    if (starts("\x89PNG", 4) || starts("\xFF\xD8\xFF", 3) || starts("GIF8", 4)) {
        return FileKind::kImage;
    }
    if (starts("!<arch>\n", 8)) return FileKind::kArchive;
    if (starts("MZ", 2)) {
        // The PE header's machine field tells whose code the image holds.
        const uint32_t at = size >= 0x40 ? load_le32(data + 0x3C) : 0;
        if (at != 0 && at + 6 <= size && std::memcmp(data + at, "PE\0\0", 4) == 0) {
            const uint16_t machine = load_le16(data + at + 4);
            if (machine == 0x14C) return FileKind::kProgram32;
            if (machine == 0x8664) return FileKind::kProgram64;
        }
        return FileKind::kProgramOther;
    }
    return mostly_text(data, size) ? FileKind::kText : FileKind::kOther;
}

bool ContentSketcher::add(const uint8_t* data, size_t size) {
    if (failed_) return false;
    if (offset_ < sizeof first_) {
        const size_t n = std::min<uint64_t>(size, sizeof first_ - offset_);
        std::memcpy(first_ + offset_, data, n);
    }
    try {
        for (size_t i = 0; i < size; ++i) {
            const uint8_t in = data[i];
            uint8_t& slot = ring_[offset_ & 15];
            hash_ = hash_ * kBase + in - slot * kBaseTo16;
            slot = in;
            ++offset_;
            if (offset_ >= 16 && (hash_ * kSpread) >> sample_shift_ == 0) {
                const uint64_t at = offset_ - 16;
                if (at < kWindow) head_.push_back(hash_);
                recent_.push_back({at, hash_});
                while (recent_.front().offset + kWindow < at) recent_.pop_front();
            }
        }
    } catch (const std::bad_alloc&) {
        failed_ = true;
    }
    return !failed_;
}

bool ContentSketcher::finish(ContentSketch& out) {
    bool ok = !failed_;
    out = ContentSketch{};
    out.kind = file_kind(first_, std::min<uint64_t>(offset_, sizeof first_));
    out.size = offset_;
    try {
        out.head = std::move(head_);
        sorted_unique(out.head);
        if (offset_ > kWindow) {
            for (const Sample& s : recent_) {
                if (s.offset + kWindow >= offset_) out.tail.push_back(s.hash);
            }
            sorted_unique(out.tail);
        }
    } catch (const std::bad_alloc&) {
        ok = false;
    }
    head_ = {};
    recent_.clear();
    hash_ = 0;
    offset_ = 0;
    failed_ = false;
    std::memset(ring_, 0, sizeof ring_);
    std::memset(first_, 0, sizeof first_);
    return ok;
}

}  // namespace qarn
