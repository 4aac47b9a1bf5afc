#include "pack/rar20_encoder.h"

#include <cstring>
#include <thread>

namespace qarn {
namespace {

// The buffer holds the window's worth of history before the parse position and the input
// ahead of it. Every byte the parsers compare lies below the loaded end; the padding lets
// them compare eight bytes at a time.
constexpr uint32_t kBufferSize = 4u << 20;
constexpr uint32_t kBufferPadding = 16;
// Input read ahead of the parse position before a stretch is parsed: the longest match
// and the lazy parser's look-ahead must fit.
constexpr uint32_t kLookahead = kMaxMatch + 16;
// Input is read in once less than this lies ahead of the parse position.
constexpr uint32_t kReadAhead = 1u << 20;
// Parse stretches between price updates.
constexpr uint32_t kStretch = 1u << 16;
constexpr uint32_t kBlockTokens = 1u << 18;

}  // namespace

const char* pack_status_text(PackStatus status) {
    switch (status) {
        case PackStatus::kOk: return "ok";
        case PackStatus::kNotSmaller: return "does not shrink";
        case PackStatus::kOutOfMemory: return "out of memory";
        case PackStatus::kReadError: return "read error";
        case PackStatus::kWriteError: return "write error";
        case PackStatus::kSizeChanged: return "the file changed while it was read";
        case PackStatus::kBadArgument: return "bad argument";
    }
    return "?";
}

PackStatus Rar20Encoder::init(int level, uint32_t threads) {
    if (threads == 0) threads = std::thread::hardware_concurrency() > 1 ? 2 : 1;
    if (level < kMinLevel || level > kMaxLevel) return PackStatus::kBadArgument;
    settings_ = settings_for_level(level);
    lazy_.configure(settings_.lazy);
    if (!buf_.allocate(size_t{kBufferSize} + kBufferPadding) ||
        !finder_.init(kBufferSize, settings_.finder) || !coder_.init(kBlockTokens, settings_.chunk_tokens) ||
        (settings_.optimal &&
         !optimal_.init(settings_.optimal_passes, settings_.optimal_extra_passes,
                        settings_.finder.nice_length, settings_.literal_rep, threads))) {
        return PackStatus::kOutOfMemory;
    }
    stream_started_ = false;
    return PackStatus::kOk;
}

size_t Rar20Encoder::memory_bytes() const {
    return buf_.size() + finder_.memory_bytes() + coder_.memory_bytes() + optimal_.memory_bytes();
}

void Rar20Encoder::start_stream() {
    lowest_ = 0;
    end_ = 0;
    finder_.reset();
    coder_.start_stream();
    history_ = MatchHistory{};
    prices_.set_neutral();
    optimal_.start_stream();
    SymbolCounts none{};
    lazy_.prices_changed(prices_, none);
}

void Rar20Encoder::slide(uint32_t keep_from) {
    std::memmove(buf_.get(), buf_.get() + keep_from, end_ - keep_from);
    end_ -= keep_from;
    lowest_ = lowest_ > keep_from ? lowest_ - keep_from : 0;
    slid_ += keep_from;
    finder_.slide(keep_from);
}

void Rar20Encoder::rollback(const Snapshot& s) {
    finder_.rollback(buf_.get(), s.finder);
    coder_.restore(s.coder);
    history_ = s.history;
    stream_started_ = s.stream_started;
    // Where the entry began in today's buffer; if its start slid off the front, the
    // history before it went with it, and the next entry starts with none.
    const uint64_t moved = slid_ - s.slid;
    end_ = s.end > moved ? static_cast<uint32_t>(s.end - moved) : 0;
    lowest_ = s.lowest > moved ? static_cast<uint32_t>(s.lowest - moved) : 0;
    if (lowest_ > end_) lowest_ = end_;
}

uint32_t Rar20Encoder::parse(ParseContext& c, uint32_t pos, uint32_t limit) {
    if (settings_.optimal) return optimal_.parse(c, pos, limit);
    while (pos < limit) {
        const uint32_t stop = limit - pos > kStretch ? pos + kStretch : limit;
        pos = lazy_.parse(c, pos, stop);
        const SymbolCounts& recent = coder_.recent_counts();
        uint64_t seen = 0;
        for (uint32_t s = 0; s < kLiteralSymbols; ++s) seen += recent.literal[s];
        if (seen >= settings_.chunk_tokens) {
            prices_.set_from_counts(recent);
            lazy_.prices_changed(prices_, recent);
            coder_.clear_recent_counts();
        }
    }
    return pos;
}

PackStatus Rar20Encoder::compress_entry(PackSource& source, uint64_t size, PackSink& sink,
                                        EntryPackResult& result) {
    result = {};
    if (size == 0 || size > 0x7FFFFFFFu) return PackStatus::kBadArgument;
    const Snapshot snapshot{
        finder_.checkpoint(), coder_.state(), history_, stream_started_, lowest_, end_, slid_};
    const bool solid = stream_started_;
    if (!solid) start_stream();
    bits_.reset();
    coder_.begin_entry(bits_, !solid);

    uint64_t unread = size;
    uint64_t packed = 0;
    uint32_t pos = end_;
    ParseContext c{buf_.get(), lowest_, end_, end_, &finder_, &coder_, &history_, &prices_};

    // Hands the finished bytes on, unless they show that the entry does not shrink.
    auto hand_on = [&]() -> PackStatus {
        if (!bits_.ok()) return PackStatus::kOutOfMemory;
        const size_t n = bits_.whole_byte_count();
        if (packed + n >= size) return PackStatus::kNotSmaller;
        if (n != 0 && !sink.write(bits_.whole_bytes(), n)) return PackStatus::kWriteError;
        packed += n;
        bits_.drop_whole_bytes();
        return PackStatus::kOk;
    };
    auto fail = [&](PackStatus status) {
        if (status == PackStatus::kNotSmaller) rollback(snapshot);
        return status;
    };

    for (;;) {
        if (unread > 0 && end_ - pos < kReadAhead) {
            // Keep a window's worth of history before the parse position and make room.
            if (pos > kWindowSize && kBufferSize - end_ < kReadAhead) {
                const uint32_t shift = pos - kWindowSize;
                slide(shift);
                pos -= shift;
            }
            while (unread > 0 && end_ < kBufferSize) {
                const uint64_t room = kBufferSize - end_;
                const int64_t got = source.read(buf_.get() + end_,
                                                static_cast<size_t>(room < unread ? room : unread));
                if (got < 0) return fail(PackStatus::kReadError);
                if (got == 0) return fail(PackStatus::kSizeChanged);
                end_ += static_cast<uint32_t>(got);
                unread -= static_cast<uint64_t>(got);
            }
        }
        // Until the entry's last byte is in, parsing stops short of the loaded end by the
        // look-ahead, so that every match and look-ahead still sees real bytes.
        const bool all_loaded = unread == 0;
        const uint32_t limit =
            all_loaded ? end_ : (end_ - pos > kLookahead ? end_ - kLookahead : pos);
        c.lowest = lowest_;
        c.data_end = end_;
        c.match_end = end_;
        if (limit > pos) pos = parse(c, pos, limit);
        const PackStatus handed = hand_on();
        if (handed != PackStatus::kOk) return fail(handed);
        if (all_loaded && pos >= end_) break;
    }
    coder_.flush();
    bits_.pad_to_byte();
    const PackStatus handed = hand_on();
    if (handed != PackStatus::kOk) return fail(handed);
    stream_started_ = true;
    result.packed_size = packed;
    result.solid = solid;
    return PackStatus::kOk;
}

}  // namespace qarn
