// Arbitrary bytes cut into a few entries, compressed as one solid stream at a level chosen
// by the input, then decoded by the project's decoder: every entry must come back exactly,
// and its packed data must end right after its last symbol. Entries that do not shrink are
// stored, as the archive writer stores them, and stay out of the stream.
//
// Input layout:
//   byte 0     level, 1 + (value % 6)
//   byte 1     entries, 1 + (value % 4); bit 7: the compressor reads the data in small pieces
//   then       two bytes per cut between entries (little-endian, taken modulo the data size)
//   the rest   the data, cut at the sorted cut points
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "pack/rar20_encoder.h"
#include "tests/support/memory_streams.h"
#include "unpack/lz_decoder.h"

namespace {

class CompareWriter final : public qarn::UnpackedWriter {
public:
    CompareWriter(const uint8_t* expected, size_t size) : expected_(expected), size_(size) {}
    int32_t write_unpacked(const uint8_t* src, int32_t count) override {
        const auto n = static_cast<size_t>(count);
        if (done_ + n > size_ || std::memcmp(src, expected_ + done_, n) != 0) std::abort();
        done_ += n;
        return count;
    }
    size_t done() const { return done_; }

private:
    const uint8_t* expected_;
    size_t size_;
    size_t done_ = 0;
};

// One compressor per level, kept across inputs (their tables are large); reset per input.
qarn::Rar20Encoder* encoder_for(int level) {
    static std::unique_ptr<qarn::Rar20Encoder> encoders[qarn::kMaxLevel + 1];
    auto& e = encoders[level];
    if (!e) {
        e = std::make_unique<qarn::Rar20Encoder>();
        if (e->init(level) != qarn::PackStatus::kOk) std::abort();
    }
    e->reset();
    return e.get();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int level = 1 + data[0] % qarn::kMaxLevel;
    const size_t entries = 1 + (data[1] & 0x7F) % 4;
    const size_t piece = (data[1] & 0x80) != 0 ? 1 + data[0] % 17 : SIZE_MAX;
    size_t at = 2;
    if (size < at + 2 * (entries - 1)) return 0;
    const uint8_t* cut_bytes = data + at;
    at += 2 * (entries - 1);
    const uint8_t* payload = data + at;
    const size_t payload_size = size - at;
    std::vector<size_t> cuts = {0, payload_size};
    for (size_t i = 0; i + 1 < entries; ++i) {
        const size_t v = cut_bytes[2 * i] | size_t{cut_bytes[2 * i + 1]} << 8;
        cuts.push_back(v % (payload_size + 1));
    }
    std::sort(cuts.begin(), cuts.end());

    qarn::Rar20Encoder* encoder = encoder_for(level);
    static auto state = std::make_unique<qarn::UnpackState>();
    static std::vector<uint8_t> window(qarn::kWindowSize);
    std::memset(state.get(), 0, sizeof(qarn::UnpackState));
    bool stream_open = false;

    for (size_t i = 0; i + 1 < cuts.size(); ++i) {
        const uint8_t* entry = payload + cuts[i];
        const size_t entry_size = cuts[i + 1] - cuts[i];
        if (entry_size == 0) continue;  // stored
        qarn::test::MemorySource source(qarn::test::ByteSpan(entry, entry_size), piece);
        qarn::test::MemorySink sink;
        qarn::EntryPackResult result{};
        const qarn::PackStatus status = encoder->compress_entry(source, entry_size, sink, result);
        if (status == qarn::PackStatus::kNotSmaller) {
            if (sink.bytes.size() >= entry_size) std::abort();
            continue;  // stored: the decoder never sees it
        }
        if (status != qarn::PackStatus::kOk || result.packed_size != sink.bytes.size() ||
            sink.bytes.size() >= entry_size || result.solid != stream_open) {
            std::abort();
        }
        stream_open = true;

        qarn::test::SpanReader reader(sink.bytes);
        CompareWriter writer(entry, entry_size);
        state->reader = &reader;
        state->writer = &writer;
        state->packed_size = static_cast<uint32_t>(sink.bytes.size());
        state->remaining_size = static_cast<int32_t>(entry_size);
        qarn::decompress(*state, window.data(), result.solid);
        const uint64_t consumed =
            uint64_t{state->input_base} + state->read_pos + (state->bit_pos != 0);
        if (writer.done() != entry_size || consumed != sink.bytes.size()) std::abort();
    }
    return 0;
}
