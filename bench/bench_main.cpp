// qarn_bench: the compressor's and decoder's figures, rerunnable by anyone with the
// project's Debian dependencies installed.
//
//   qarn_bench [--corpus-list FILE] [--shared DIR]
//
// 1. p0.bin of ../shared/fixtures/real/test_v2.rar (16,384 bytes, stored there): its packed
//    size at each level, beside the original archiver's sizes for the same bytes.
// 2. The real archives' compressed entries decoded over and over to about 100 MB of output,
//    with the 1 MB window clear that each non-solid entry costs counted apart; CRC-32 speed.
// 3. The corpus (bench/corpus_files.txt, about 60 MB) as one solid archive at each level,
//    against zlib -6 and -9 and xz -9 over the same bytes as one stream: sizes, compression
//    and decoding speed (decoding into memory with the data checksum, no file I/O), and the
//    resident memory compression and decoding add.
// Times are the thread's CPU time, the best of several runs where the figure is compared.
// The last line repeats every figure as key=value pairs. Exit status: 0 when every target
// is met, 1 when one is missed, 2 when inputs are missing.
#include <malloc.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_codecs.h"
#include "bench/bench_corpus.h"
#include "bench/bench_measure.h"
#include "pack/level_settings.h"
#include "pack/rar20_encoder.h"
#include "unpack/rar20_format.h"

namespace qarn::bench {
namespace {

constexpr uint64_t kRealDecodeTarget = 100u << 20;  // output of the real-entry decode loop
constexpr uint32_t kOriginalSizes[6] = {0, 8245, 8244, 8184, 8182, 8185};  // methods 1-5
constexpr uint32_t kOriginalBest = 8182;
constexpr uint64_t kMaxCompressMemory = 256u << 20;
constexpr uint64_t kMaxDecodeMemory = 4u << 20;

double mb(uint64_t bytes) { return static_cast<double>(bytes) / 1e6; }
double rate(uint64_t bytes, double seconds) { return seconds > 0 ? mb(bytes) / seconds : 0; }

std::string keys;  // the closing key=value line
void key(const char* name, const std::string& value) {
    if (!keys.empty()) keys += ' ';
    keys += std::string(name) + "=" + value;
}
std::string num(double v, int decimals) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
    return buf;
}
std::string num(uint64_t v) { return std::to_string(v); }

struct MemorySink final : PackSink {
    bool write(const uint8_t* src, size_t count) override {
        bytes.insert(bytes.end(), src, src + count);
        return true;
    }
    Bytes bytes;
};
struct MemorySource final : PackSource {
    explicit MemorySource(const Bytes& b) : b_(b) {}
    int64_t read(uint8_t* dst, size_t count) override {
        const size_t n = count < b_.size() - pos_ ? count : b_.size() - pos_;
        std::memcpy(dst, b_.data() + pos_, n);
        pos_ += n;
        return static_cast<int64_t>(n);
    }
    const Bytes& b_;
    size_t pos_ = 0;
};

std::vector<std::string> missed;  // targets not met

void check(bool ok, const std::string& what) {
    if (!ok) missed.push_back(what);
}

// --- 1. p0.bin -------------------------------------------------------------------------
void bench_p0(const std::vector<RealEntry>& entries) {
    const RealEntry* p0 = nullptr;
    for (const RealEntry& e : entries) {
        if (e.name == "p0.bin") p0 = &e;
    }
    if (p0 == nullptr || p0->method != '0' ||
        our_crc32(p0->packed.data(), p0->packed.size()) != p0->file_crc) {
        std::printf("p0.bin: not found stored in test_v2.rar\n");
        check(false, "p0.bin readable");
        return;
    }
    std::printf("p0.bin (%zu bytes, stored in test_v2.rar): packed size by level\n",
                p0->packed.size());
    std::printf("  level      ours   original archiver (its method)\n");
    uint32_t best = UINT32_MAX;
    for (int level = kMinLevel; level <= kMaxLevel; ++level) {
        Rar20Encoder encoder;
        encoder.init(level);
        MemorySource source(p0->packed);
        MemorySink sink;
        EntryPackResult result{};
        const PackStatus status = encoder.compress_entry(source, p0->packed.size(), sink, result);
        const auto size = static_cast<uint32_t>(status == PackStatus::kOk ? sink.bytes.size()
                                                                          : p0->packed.size());
        if (size < best) best = size;
        std::printf("  %5d %9u %10u\n", level, size, kOriginalSizes[level]);
        key(("p0_l" + std::to_string(level)).c_str(), num(size));
    }
    std::printf("  best: ours %u, the original's best %u (target: ours <= %u) %s\n\n", best,
                kOriginalBest, kOriginalBest, best <= kOriginalBest ? "met" : "MISSED");
    key("p0_best", num(best));
    check(best <= kOriginalBest, "p0.bin best level <= 8,182 bytes");
}

// --- 2. The real archives' entries -----------------------------------------------------
void bench_real_decode(const std::vector<RealEntry>& plain, const std::vector<RealEntry>& solid) {
    // Every compressed entry that decodes (the multimedia entry cannot: it is left out).
    std::vector<const RealEntry*> chain;
    RealDecoder probe;
    for (const RealEntry& e : plain) {
        if (e.method != '0' && (e.flags & 0x10) == 0 && probe.decode(e)) chain.push_back(&e);
    }
    for (const RealEntry& e : solid) chain.push_back(&e);  // non-solid, then solid
    RealDecoder decoder;
    uint64_t produced = 0;
    uint64_t non_solid = 0;
    bool all_ok = true;
    const double t0 = thread_seconds();
    while (produced < kRealDecodeTarget) {
        for (const RealEntry* e : chain) {
            all_ok = decoder.decode(*e) && all_ok;
            produced += e->unp_size;
            if ((e->flags & 0x10) == 0) ++non_solid;
        }
    }
    const double total = thread_seconds() - t0;
    // The clear each non-solid entry starts with, timed on its own.
    std::vector<uint8_t> window(kWindowSize);
    const double c0 = thread_seconds();
    for (uint64_t i = 0; i < non_solid; ++i) {
        std::memset(window.data(), static_cast<int>(i), window.size());
        asm volatile("" : : "r"(window.data()) : "memory");
    }
    const double clears = thread_seconds() - c0;
    Bytes crc_data(64u << 20);
    for (size_t i = 0; i < crc_data.size(); ++i)
        crc_data[i] = static_cast<uint8_t>(i * 2654435761u >> 13);
    uint32_t ours_value = 0;
    uint32_t zlib_value = 0;
    const double ours_crc =
        best_seconds(3, [&] { ours_value = our_crc32(crc_data.data(), crc_data.size()); });
    const double zlib_crc =
        best_seconds(3, [&] { zlib_value = zlib_crc32(crc_data.data(), crc_data.size()); });
    const double without = total - clears;

    std::printf(
        "Real archives: %zu entries of test_v2.rar and test_v2solid5.rar decoded in turn to "
        "%" PRIu64 " bytes (%s)\n",
        chain.size(), produced, all_ok ? "every checksum OK" : "CHECKSUM ERRORS");
    std::printf("  decode + CRC-32, all in        %8.1f MB/s\n", rate(produced, total));
    std::printf("  window clears                  %8" PRIu64
                " x 1 MB, %.1f ms in all, %.1f us each\n",
                non_solid, clears * 1e3,
                non_solid != 0 ? clears * 1e6 / static_cast<double>(non_solid) : 0.0);
    std::printf("  decode + CRC-32, clears apart  %8.1f MB/s\n", rate(produced, without));
    std::printf("  CRC-32 alone (64 MB)           %8.1f MB/s ours, %.1f MB/s zlib crc32 (%s)\n\n",
                rate(crc_data.size(), ours_crc), rate(crc_data.size(), zlib_crc),
                ours_value == zlib_value ? "same value" : "VALUES DIFFER");
    check(ours_value == zlib_value, "CRC-32 agrees with zlib's");
    key("real_decode_mbps", num(rate(produced, total), 1));
    key("real_decode_noclear_mbps", num(rate(produced, without), 1));
    key("window_clear_us",
        num(non_solid != 0 ? clears * 1e6 / static_cast<double>(non_solid) : 0.0, 1));
    key("crc_mbps", num(rate(crc_data.size(), ours_crc), 1));
    key("zlib_crc_mbps", num(rate(crc_data.size(), zlib_crc), 1));
    check(all_ok, "real entries decode with matching checksums");
}

// --- 3. The corpus ---------------------------------------------------------------------
void bench_corpus(const std::vector<CorpusFile>& files, const std::string& list) {
    Bytes stream;
    for (const CorpusFile& f : files) stream.insert(stream.end(), f.data.begin(), f.data.end());
    const uint32_t crc = our_crc32(stream.data(), stream.size());
    std::printf("Corpus: %zu files, %zu bytes, CRC-32 %08X (%s)\n", files.size(), stream.size(),
                crc, list.c_str());
    key("corpus_files", num(files.size()));
    key("corpus_bytes", num(stream.size()));
    char crc_text[16];
    std::snprintf(crc_text, sizeof crc_text, "%08X", crc);
    key("corpus_crc", crc_text);

    // Baselines: zlib (one stream), xz -9.
    Bytes z6;
    Bytes z9;
    const double z6_time = best_seconds(2, [&] { z6 = zlib_compress(stream, 6); });
    const double z9_time = best_seconds(1, [&] { z9 = zlib_compress(stream, 9); });
    uint32_t inflate_crc = 0;
    uint64_t inflated = 0;
    const double inflate_time =
        best_seconds(5, [&] { inflated = zlib_inflate_crc(z9, inflate_crc); });
    const double inflate6_time = best_seconds(2, [&] { zlib_inflate_crc(z6, inflate_crc); });
    Bytes xz;
    const double xz_time = best_seconds(1, [&] { xz = xz_compress(stream, 9); });
    check(inflated == stream.size() && inflate_crc == crc, "zlib round trip");

    std::printf("  %-9s %12s %7s %9s %10s %10s %12s %12s\n", "coder", "packed", "ratio", "/zlib-9",
                "pack MB/s", "unpack MB/s", "pack memory", "unpack mem.");
    auto row = [&](const char* name, uint64_t packed, double pack_time, double unpack_time,
                   const std::string& pack_mem, const std::string& unpack_mem) {
        std::printf("  %-9s %12" PRIu64 " %6.2f%% %9.3f %10.1f %10s %12s %12s\n", name, packed,
                    100.0 * static_cast<double>(packed) / static_cast<double>(stream.size()),
                    static_cast<double>(packed) / static_cast<double>(z9.size()),
                    rate(stream.size(), pack_time),
                    unpack_time > 0 ? num(rate(stream.size(), unpack_time), 1).c_str() : "-",
                    pack_mem.c_str(), unpack_mem.c_str());
    };

    double level3_time = 0;
    double level5_decode = 0;
    uint64_t level5_size = 0;
    for (int level = kMinLevel; level <= kMaxLevel; ++level) {
        OurArchive archive;
        std::string error;
        bool packed = false;
        double pack_time = 0;
        // The speed that is compared (the default level's) is the better of two runs.
        const int runs = level == kDefaultLevel ? 2 : 1;
        MemoryPeak pack_mem{};
        for (int run = 0; run < runs; ++run) {
            MemoryPeak peak{};
            double t = 0;
            archive.bytes.assign(stream.size() + files.size() * 300 + 4096, 1);  // resident before
            peak = measure_memory([&] {
                const double t0 = thread_seconds();
                packed = pack_archive(files, level, archive, error);
                t = thread_seconds() - t0;
            });
            if (run == 0 || t < pack_time) pack_time = t;
            if (run == 0 || peak.added > pack_mem.added) pack_mem = peak;
        }
        if (!packed) {
            std::printf("  level %d: %s\n", level, error.c_str());
            check(false, "level " + std::to_string(level) + " packs the corpus");
            continue;
        }
        uint64_t decoded = 0;
        MemoryPeak decode_mem = measure_memory([&] { decoded = decode_archive(archive); });
        const double decode_time =
            best_seconds(level == kMaxLevel ? 5 : 2, [&] { decoded = decode_archive(archive); });
        check(decoded == stream.size(),
              "level " + std::to_string(level) + " decodes to the corpus");
        const std::string name = "ours -" + std::to_string(level);
        row(name.c_str(), archive.bytes.size(), pack_time, decode_time,
            num(mb(pack_mem.added), 1) + " MB", num(mb(decode_mem.added), 2) + " MB");
        const std::string l = "l" + std::to_string(level);
        key((l + "_bytes").c_str(), num(archive.bytes.size()));
        key((l + "_stored").c_str(), num(archive.stored));
        key((l + "_pack_mbps").c_str(), num(rate(stream.size(), pack_time), 2));
        key((l + "_unpack_mbps").c_str(), num(rate(stream.size(), decode_time), 1));
        key((l + "_pack_mem_mb").c_str(), num(mb(pack_mem.added), 1));
        key((l + "_tables_mb").c_str(), num(mb(archive.compressor_memory), 1));
        key((l + "_unpack_mem_mb").c_str(), num(mb(decode_mem.added), 2));
        check(pack_mem.added < kMaxCompressMemory,
              "level " + std::to_string(level) + " compresses in < 256 MB");
        check(decode_mem.added < kMaxDecodeMemory, "decoding in < 4 MB");
        if (level == kDefaultLevel) level3_time = pack_time;
        if (level == kMaxLevel) {
            level5_decode = decode_time;
            level5_size = archive.bytes.size();
        }
    }
    row("zlib -6", z6.size(), z6_time, inflate6_time, "-", "-");
    row("zlib -9", z9.size(), z9_time, inflate_time, "-", "-");
    row("xz -9", xz.size(), xz_time, 0, "-", "-");
    key("zlib6_bytes", num(z6.size()));
    key("zlib9_bytes", num(z9.size()));
    key("xz9_bytes", num(xz.size()));
    key("zlib6_pack_mbps", num(rate(stream.size(), z6_time), 2));
    key("zlib9_inflate_mbps", num(rate(stream.size(), inflate_time), 1));

    const double size_ratio = static_cast<double>(level5_size) / static_cast<double>(z9.size());
    const double speed_ratio = level3_time > 0 ? z6_time / level3_time : 0;
    const double decode_ratio = level5_decode > 0 ? inflate_time / level5_decode : 0;
    std::printf("\nTargets:\n");
    std::printf("  level 5 size / zlib -9 size       %6.3f  (at most 0.90)  %s\n", size_ratio,
                size_ratio <= 0.90 ? "met" : "MISSED");
    std::printf("  level 3 speed / zlib -6 speed     %6.2f  (at least 1.0)  %s\n", speed_ratio,
                speed_ratio >= 1.0 ? "met" : "MISSED");
    std::printf("  level 5 decode / zlib inflate     %6.2f  (at least 1.0)  %s\n", decode_ratio,
                decode_ratio >= 1.0 ? "met" : "MISSED");
    key("ratio_l5_zlib9", num(size_ratio, 3));
    key("speed_l3_vs_zlib6", num(speed_ratio, 2));
    key("decode_l5_vs_inflate", num(decode_ratio, 2));
    check(size_ratio <= 0.90, "level 5 at most 0.90 of zlib -9");
    check(speed_ratio >= 1.0, "level 3 at least as fast as zlib -6");
    check(decode_ratio >= 1.0, "decoding at least as fast as zlib's inflate");
}

}  // namespace
}  // namespace qarn::bench

int main(int argc, char** argv) {
    using namespace qarn::bench;
    // Every large block comes fresh from the system and goes back when freed; otherwise the
    // allocator would serve one measurement from pages an earlier one left resident.
    mallopt(M_MMAP_THRESHOLD, 1 << 16);
    mallopt(M_TRIM_THRESHOLD, 1 << 16);
    std::string list = QARN_BENCH_CORPUS_LIST;
    std::string shared = QARN_BENCH_SHARED_DIR;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--corpus-list" && i + 1 < argc) {
            list = argv[++i];
        } else if (arg == "--shared" && i + 1 < argc) {
            shared = argv[++i];
        } else {
            std::fprintf(stderr, "usage: qarn_bench [--corpus-list FILE] [--shared DIR]\n");
            return 2;
        }
    }
    std::string error;
    const std::vector<RealEntry> plain =
        load_real_entries(shared + "/fixtures/real/test_v2.rar", error);
    const std::vector<RealEntry> solid =
        load_real_entries(shared + "/fixtures/real/test_v2solid5.rar", error);
    std::vector<std::string> missing;
    const std::vector<CorpusFile> files = load_corpus(list, missing, error);
    if (!error.empty() || !missing.empty()) {
        if (!error.empty()) std::fprintf(stderr, "qarn_bench: %s\n", error.c_str());
        for (const std::string& m : missing)
            std::fprintf(stderr, "qarn_bench: corpus file missing: %s\n", m.c_str());
        if (!missing.empty()) {
            std::fprintf(stderr,
                         "qarn_bench: install the packages of scripts/test.sh (the corpus must be "
                         "the same everywhere)\n");
        }
        return 2;
    }

    std::printf(
        "QARN RAR 2.0 compressor benchmark (times: CPU time of the benchmark's thread)\n\n");
    bench_p0(plain);
    bench_real_decode(plain, solid);
    bench_corpus(files, list);
    if (!missed.empty()) {
        std::printf("\nMissed:");
        for (const std::string& m : missed) std::printf(" [%s]", m.c_str());
        std::printf("\n");
    }
    key("targets_met", missed.empty() ? "yes" : "no");
    std::printf("\n%s\n", keys.c_str());
    return missed.empty() ? 0 : 1;
}
