#include "bench/bench_codecs.h"

#include <libdeflate.h>
#include <lzma.h>
#include <zlib.h>

#include <cstring>
#include <memory>

#include "archive/checksum.h"
#include "pack/archive_writer.h"
#include "tests/support/memory_streams.h"
#include "unpack/lz_decoder.h"

namespace qarn::bench {
namespace {

const Crc32Table& crc_table() {
    static const Crc32Table table = [] {
        Crc32Table t;
        build_crc32_table(t);
        return t;
    }();
    return table;
}

// Output into memory that is already there: the buffer is sized and touched beforehand,
// so that writing the archive adds nothing to the resident memory being measured.
class BufferOutput final : public ArchiveOutput {
public:
    explicit BufferOutput(Bytes& buffer) : buf_(buffer) {}
    bool write(const uint8_t* src, size_t count) override {
        if (pos_ + count > buf_.size()) return false;
        std::memcpy(buf_.data() + pos_, src, count);
        pos_ += count;
        if (pos_ > end_) end_ = pos_;
        return true;
    }
    bool seek(uint64_t offset) override {
        if (offset > end_) return false;
        pos_ = static_cast<size_t>(offset);
        return true;
    }
    size_t end() const { return end_; }

private:
    Bytes& buf_;
    size_t pos_ = 0;
    size_t end_ = 0;
};

// Keeps nothing but the data checksum and the count, as a test of the archive does.
class CrcWriter final : public UnpackedWriter {
public:
    int32_t write_unpacked(const uint8_t* src, int32_t count) override {
        crc = crc32_update(crc_table(), crc, src, static_cast<size_t>(count));
        bytes += static_cast<uint64_t>(count);
        return count;
    }
    uint32_t crc = 0xFFFFFFFFu;
    uint64_t bytes = 0;
};

}  // namespace

namespace {

// The order the files go into the stream, as indexes.
bool stream_order(const std::vector<CorpusFile>& files, SolidOrder order,
                  std::vector<uint32_t>& indexes) {
    indexes.clear();
    if (order == SolidOrder::kFolder) {
        for (uint32_t i = 0; i < files.size(); ++i) indexes.push_back(i);
        return true;
    }
    std::vector<ContentSketch> sketches(files.size());
    std::vector<const ContentSketch*> refs;
    uint64_t total = 0;
    for (const CorpusFile& f : files) total += f.data.size();
    ContentSketcher sketcher(sample_bits_for(total));
    for (size_t i = 0; i < files.size(); ++i) {
        if (!sketcher.add(files[i].data.data(), files[i].data.size()) ||
            !sketcher.finish(sketches[i])) {
            return false;
        }
        refs.push_back(&sketches[i]);
    }
    return content_order(refs, indexes);
}

}  // namespace

bool pack_archive(const std::vector<CorpusFile>& files, int level, uint32_t threads,
                  SolidOrder order, OurArchive& out, std::string& error) {
    uint64_t total = 0;
    for (const CorpusFile& f : files) total += f.data.size() + 300;
    out.bytes.assign(total + 4096, 0);
    out.entries.clear();
    out.stored = 0;
    BufferOutput output(out.bytes);
    auto writer = std::make_unique<ArchiveWriter>();
    if (writer->begin(output, 0, level, threads) != PackStatus::kOk) {
        error = "cannot start the archive";
        return false;
    }
    std::vector<uint32_t> indexes;
    if (!stream_order(files, order, indexes)) {
        error = "cannot choose the order: out of memory";
        return false;
    }
    for (const uint32_t i : indexes) {
        const CorpusFile& f = files[i];
        test::MemoryInput input(f.data);
        EntryOutcome outcome{};
        const PackStatus status =
            writer->add_entry({f.name.c_str(), 0x20, 0x5A2C6341, f.data.size()}, input, outcome);
        if (status != PackStatus::kOk) {
            error = f.path + ": " + pack_status_text(status);
            return false;
        }
        const uint64_t data_at = writer->end_offset() - outcome.packed_size;
        out.entries.push_back({data_at, static_cast<uint32_t>(outcome.packed_size),
                               static_cast<uint32_t>(f.data.size()), outcome.file_crc,
                               outcome.method == '0', outcome.solid});
        if (outcome.method == '0') ++out.stored;
    }
    out.compressor_memory = writer->encoder().memory_bytes();
    out.bytes.resize(output.end());
    return true;
}

uint64_t decode_archive(const OurArchive& archive) {
    auto state = std::make_unique<UnpackState>();
    std::memset(state.get(), 0, sizeof(UnpackState));
    auto window = std::make_unique<uint8_t[]>(kWindowSize);
    uint64_t produced = 0;
    for (const PackedEntryRef& e : archive.entries) {
        const uint8_t* data = archive.bytes.data() + e.data_offset;
        CrcWriter writer;
        if (e.stored) {
            writer.write_unpacked(data, static_cast<int32_t>(e.packed_size));
        } else {
            test::SpanReader reader(test::ByteSpan(data, e.packed_size));
            state->reader = &reader;
            state->writer = &writer;
            state->packed_size = e.packed_size;
            state->remaining_size = static_cast<int32_t>(e.unp_size);
            decompress(*state, window.get(), e.solid);
        }
        if (~writer.crc != e.file_crc || writer.bytes != e.unp_size) return 0;
        produced += writer.bytes;
    }
    return produced;
}

struct RealDecoder::Impl {
    UnpackState state{};
    std::unique_ptr<uint8_t[]> window = std::make_unique<uint8_t[]>(kWindowSize);
};

RealDecoder::RealDecoder() : impl_(new Impl) { std::memset(&impl_->state, 0, sizeof impl_->state); }
RealDecoder::~RealDecoder() { delete impl_; }

bool RealDecoder::decode(const RealEntry& entry) {
    test::SpanReader reader(entry.packed);
    CrcWriter writer;
    UnpackState& s = impl_->state;
    s.reader = &reader;
    s.writer = &writer;
    s.packed_size = static_cast<uint32_t>(entry.packed.size());
    s.remaining_size = static_cast<int32_t>(entry.unp_size);
    decompress(s, impl_->window.get(), (entry.flags & 0x10) != 0);
    return ~writer.crc == entry.file_crc && writer.bytes == entry.unp_size;
}

uint32_t our_crc32(const uint8_t* data, size_t size) { return crc32_of(crc_table(), data, size); }

uint32_t zlib_crc32(const uint8_t* data, size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const uInt n = size > (1u << 30) ? (1u << 30) : static_cast<uInt>(size);
        crc = crc32(crc, data, n);
        data += n;
        size -= n;
    }
    return static_cast<uint32_t>(crc);
}

Bytes zlib_compress(const Bytes& data, int level) {
    uLongf size = compressBound(data.size());
    Bytes out(size);
    if (compress2(out.data(), &size, data.data(), data.size(), level) != Z_OK) return {};
    out.resize(size);
    return out;
}

uint64_t zlib_inflate_crc(const Bytes& packed, uint32_t& crc_out) {
    z_stream z{};
    if (inflateInit(&z) != Z_OK) return 0;
    std::vector<uint8_t> piece(1u << 20);
    z.next_in = const_cast<Bytef*>(packed.data());
    z.avail_in = static_cast<uInt>(packed.size());
    uLong crc = crc32(0L, Z_NULL, 0);
    uint64_t produced = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        z.next_out = piece.data();
        z.avail_out = static_cast<uInt>(piece.size());
        status = inflate(&z, Z_NO_FLUSH);
        const size_t n = piece.size() - z.avail_out;
        crc = crc32(crc, piece.data(), static_cast<uInt>(n));
        produced += n;
    }
    inflateEnd(&z);
    crc_out = static_cast<uint32_t>(crc);
    return status == Z_STREAM_END ? produced : 0;
}

Bytes xz_compress(const Bytes& data, uint32_t preset) {
    Bytes out(lzma_stream_buffer_bound(data.size()));
    size_t pos = 0;
    if (lzma_easy_buffer_encode(preset, LZMA_CHECK_CRC64, nullptr, data.data(), data.size(),
                                out.data(), &pos, out.size()) != LZMA_OK) {
        return {};
    }
    out.resize(pos);
    return out;
}

Bytes lzma_nsis_compress(const Bytes& data) {
    lzma_options_lzma options{};
    if (lzma_lzma_preset(&options, 9) != 0) return {};
    options.dict_size = 8u << 20;
    options.nice_len = 64;
    options.mf = LZMA_MF_BT4;
    options.mode = LZMA_MODE_NORMAL;
    options.lc = 3;
    options.lp = 0;
    options.pb = 2;
    lzma_stream z = LZMA_STREAM_INIT;
    if (lzma_alone_encoder(&z, &options) != LZMA_OK) return {};
    Bytes out(data.size() + data.size() / 2 + (1u << 16));
    z.next_in = data.data();
    z.avail_in = data.size();
    z.next_out = out.data();
    z.avail_out = out.size();
    const lzma_ret r = lzma_code(&z, LZMA_FINISH);
    out.resize(out.size() - z.avail_out);
    lzma_end(&z);
    return r == LZMA_STREAM_END ? out : Bytes{};
}

uint64_t libdeflate_inflate_crc(const Bytes& packed, Bytes& out, uint32_t& crc) {
    libdeflate_decompressor* d = libdeflate_alloc_decompressor();
    if (d == nullptr) return 0;
    size_t produced = 0;
    const libdeflate_result r =
        libdeflate_zlib_decompress(d, packed.data(), packed.size(), out.data(), out.size(), &produced);
    libdeflate_free_decompressor(d);
    if (r != LIBDEFLATE_SUCCESS) return 0;
    crc = libdeflate_crc(out.data(), produced);
    return produced;
}

uint32_t libdeflate_crc(const uint8_t* data, size_t size) {
    return libdeflate_crc32(0, data, size);
}

void time_non_solid_resets(uint64_t times) {
    auto state = std::make_unique<UnpackState>();
    std::memset(state.get(), 0, sizeof(UnpackState));
    auto window = std::make_unique<uint8_t[]>(kWindowSize);
    state->window = window.get();
    for (uint64_t i = 0; i < times; ++i) {
        reset_for_non_solid(*state);
        asm volatile("" : : "r"(state.get()), "r"(window.get()) : "memory");
    }
}

}  // namespace qarn::bench
