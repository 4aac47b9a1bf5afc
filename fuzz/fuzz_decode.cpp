// Arbitrary bytes as the packed data of two entries of a solid archive, straight through the
// decoder: a non-solid entry that reads its own table header, then a solid one that goes on
// with its window, match history and tables.
//
// Input layout (little-endian):
//   bytes 0-2  unpacked size of the first entry  (taken modulo 1 MB + 1)
//   bytes 3-5  unpacked size of the second entry (taken modulo 1 MB + 1)
//   bytes 6-7  packed bytes of the first entry   (the rest belongs to the second)
//   bytes 8..  packed data
// The sizes are bounded so that one run stays in the milliseconds.
//
// Checked besides crashes and undefined behaviour: every range handed to the writer is
// readable memory, and no entry produces more than one decoder step past its unpacked size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

// The sanitizer's own check of the memory handed over exists only where ASan is built in;
// the plain replay build reads every byte instead.
#if defined(__SANITIZE_ADDRESS__)
#define QARN_HAVE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QARN_HAVE_ASAN 1
#endif
#endif
#ifdef QARN_HAVE_ASAN
#include <sanitizer/asan_interface.h>
#endif

#include "tests/support/memory_streams.h"
#include "unpack/byte_streams.h"
#include "unpack/lz_decoder.h"
#include "unpack/rar20_format.h"
#include "unpack/unpack_state.h"

namespace {

constexpr uint32_t kMaxUnpacked = qarn::kWindowSize;
constexpr size_t kInputHeader = 8;

class CountingWriter final : public qarn::UnpackedWriter {
public:
    int32_t write_unpacked(const uint8_t* src, int32_t count) override {
        if (count < 0 || static_cast<uint32_t>(count) > qarn::kWindowSize) std::abort();
        // The whole range handed over must be readable memory (the window, in fact).
#ifdef QARN_HAVE_ASAN
        if (count > 0 && __asan_region_is_poisoned(const_cast<uint8_t*>(src),
                                                   static_cast<size_t>(count)) != nullptr) {
            std::abort();
        }
#else
        for (int32_t i = 0; i < count; ++i) sum += src[i];
#endif
        bytes += static_cast<uint64_t>(count);
        return count;
    }
    uint64_t bytes = 0;
    uint8_t sum = 0;
};

// One decoding run: the decoder's record as the extraction run holds it, zero at the start.
struct DecodeRun {
    qarn::UnpackState state;
    qarn::test::SpanReader reader{qarn::test::ByteSpan(nullptr, 0)};
    CountingWriter writer;
};

uint32_t read_u24(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
}

void decode_entry(DecodeRun& run, uint8_t* window, const uint8_t* packed, size_t packed_size,
                  uint32_t unpacked_size, bool solid) {
    run.reader.reset(qarn::test::ByteSpan(packed, packed_size));
    run.writer.bytes = 0;
    run.state.reader = &run.reader;
    run.state.writer = &run.writer;
    run.state.packed_size = static_cast<uint32_t>(packed_size);
    run.state.remaining_size = static_cast<int32_t>(unpacked_size);
    qarn::decompress(run.state, window, solid);
    if (run.writer.bytes > uint64_t{unpacked_size} + qarn::kLongestDecoderStep) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kInputHeader) return 0;
    const uint32_t first_size = read_u24(data) % (kMaxUnpacked + 1);
    const uint32_t second_size = read_u24(data + 3) % (kMaxUnpacked + 1);
    const size_t split = uint32_t{data[6]} | (uint32_t{data[7]} << 8);
    const uint8_t* packed = data + kInputHeader;
    const size_t packed_size = size - kInputHeader;
    const size_t first_packed = split < packed_size ? split : packed_size;

    // The window outlives the runs only to save a 1 MB allocation each time: the first,
    // non-solid entry marks it unwritten, so no run sees what an earlier one left.
    static const std::unique_ptr<uint8_t[]> window = std::make_unique<uint8_t[]>(qarn::kWindowSize);
    auto run = std::make_unique<DecodeRun>();
    decode_entry(*run, window.get(), packed, first_packed, first_size, false);
    decode_entry(*run, window.get(), packed + first_packed, packed_size - first_packed,
                 second_size, true);
    return 0;
}
