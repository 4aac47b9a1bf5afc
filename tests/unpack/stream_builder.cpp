#include "tests/unpack/stream_builder.h"

#include "unpack/lz_decoder.h"

namespace qarn::test {

std::vector<uint8_t> Decoder::decode(const std::vector<uint8_t>& packed, int32_t unpacked_size,
                                     bool solid) {
    MemoryReader reader(packed);
    writer.out.clear();
    state->reader = &reader;
    state->writer = &writer;
    state->packed_size = static_cast<uint32_t>(packed.size());
    state->remaining_size = unpacked_size;
    decompress(*state, window.get(), solid);
    return writer.out;
}

}  // namespace qarn::test
