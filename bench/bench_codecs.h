// The coders the benchmark compares: this project's compressor and decoder, zlib (deflate
// and inflate with its crc32), libdeflate (decompression of zlib's output, with its crc32)
// and xz (liblzma, preset 9).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "bench/bench_corpus.h"
#include "pack/solid_order.h"

namespace qarn::bench {

// One entry of an archive the benchmark made, as its decoding needs it.
struct PackedEntryRef {
    uint64_t data_offset;
    uint32_t packed_size;
    uint32_t unp_size;
    uint32_t file_crc;
    bool stored;
    bool solid;
};

struct OurArchive {
    Bytes bytes;  // the whole archive
    std::vector<PackedEntryRef> entries;
    size_t stored = 0;
    uint64_t compressor_memory = 0;  // the compressor's own tables and buffers
};

// Packs the files as one solid archive (fixed file times, archive attribute) in `order`,
// as mksetup build would (the content order is chosen from the files' sketches, which is
// part of the packing time); `threads` 0 lets the encoder choose.
bool pack_archive(const std::vector<CorpusFile>& files, int level, uint32_t threads,
                  SolidOrder order, OurArchive& out, std::string& error);

// Decodes every entry in order through one window, checking each data checksum (stored
// entries are checksummed as they lie). Returns the bytes produced; 0 on any mismatch.
uint64_t decode_archive(const OurArchive& archive);

// Decodes one entry of a real archive afresh (non-solid) or continuing (solid) in `state`.
class RealDecoder {
public:
    RealDecoder();
    ~RealDecoder();
    RealDecoder(const RealDecoder&) = delete;
    RealDecoder& operator=(const RealDecoder&) = delete;
    // True when the output's CRC-32 matches.
    bool decode(const RealEntry& entry);

private:
    struct Impl;
    Impl* impl_;
};

// CRC-32 of the project's archive code and of zlib.
uint32_t our_crc32(const uint8_t* data, size_t size);
uint32_t zlib_crc32(const uint8_t* data, size_t size);

Bytes zlib_compress(const Bytes& data, int level);
// Inflates into a 1 MB buffer, piece by piece, with zlib's crc32 over each piece; returns
// the bytes produced (0 on an error) and the CRC through `crc`.
uint64_t zlib_inflate_crc(const Bytes& packed, uint32_t& crc);
Bytes xz_compress(const Bytes& data, uint32_t preset);
// A raw LZMA stream (the .lzma form) as NSIS's solid LZMA writes one: LZMA1, an 8 MiB
// dictionary, 64 fast bytes, binary-tree match finder on four bytes, lc 3, lp 0, pb 2.
Bytes lzma_nsis_compress(const Bytes& data);

// Decompresses zlib's output whole into `out` (sized to the expected size) with libdeflate,
// then its crc32 over the result; returns the bytes produced (0 on an error).
uint64_t libdeflate_inflate_crc(const Bytes& packed, Bytes& out, uint32_t& crc);
uint32_t libdeflate_crc(const uint8_t* data, size_t size);

// The decoder's reset at the start of a non-solid entry, `times` times over one record.
void time_non_solid_resets(uint64_t times);

}  // namespace qarn::bench
