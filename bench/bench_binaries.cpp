#include "bench/bench_binaries.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "bench/bench_codecs.h"
#include "bench/bench_report.h"
#include "pack/level_settings.h"

namespace qarn::bench {
namespace {

// Level 6 and level 5 sizes against the NSIS-settings baseline, at most.
constexpr double kLevel6Ratio = 1.15;
constexpr double kLevel5Ratio = 1.20;
constexpr int kSpeedRuns = 3;

// The files as tar writes them (ustar headers, data padded to 512 bytes, two zero blocks at
// the end), for xz's figure over one file as a user would make it.
Bytes tar_of(const std::vector<CorpusFile>& files) {
    Bytes tar;
    for (const CorpusFile& f : files) {
        uint8_t h[512] = {};
        std::string name = f.path.substr(f.path.find_first_not_of('/'));
        std::string prefix;
        if (name.size() > 99) {
            const size_t cut = name.rfind('/', 154);
            prefix = name.substr(0, cut);
            name = name.substr(cut + 1);
        }
        std::memcpy(h, name.data(), name.size());
        std::snprintf(reinterpret_cast<char*>(h + 100), 8, "%07o", 0644);
        std::snprintf(reinterpret_cast<char*>(h + 108), 8, "%07o", 0);
        std::snprintf(reinterpret_cast<char*>(h + 116), 8, "%07o", 0);
        std::snprintf(reinterpret_cast<char*>(h + 124), 12, "%011llo",
                      static_cast<unsigned long long>(f.data.size()));
        std::snprintf(reinterpret_cast<char*>(h + 136), 12, "%011o", 0);
        h[156] = '0';
        std::memcpy(h + 257, "ustar", 6);
        std::memcpy(h + 263, "00", 2);
        std::memcpy(h + 345, prefix.data(), prefix.size());
        std::memset(h + 148, ' ', 8);
        unsigned sum = 0;
        for (const uint8_t b : h) sum += b;
        std::snprintf(reinterpret_cast<char*>(h + 148), 8, "%06o", sum);
        tar.insert(tar.end(), h, h + 512);
        tar.insert(tar.end(), f.data.begin(), f.data.end());
        tar.resize((tar.size() + 511) / 512 * 512, 0);
    }
    tar.resize(tar.size() + 1024, 0);
    return tar;
}

struct Packed {
    uint64_t bytes = 0;
    double seconds = 0;  // median wall-clock time, where it was measured
    bool ok = false;
};

Packed pack(const std::vector<CorpusFile>& files, uint64_t total, int level, SolidOrder order,
            int runs) {
    Packed p;
    OurArchive archive;
    std::string error;
    bool packed = true;
    p.seconds = median_seconds(
        runs, [&] { packed = pack_archive(files, level, 0, order, archive, error) && packed; },
        wall_seconds);
    if (!packed) {
        std::printf("  level %d: %s\n", level, error.c_str());
        return p;
    }
    p.ok = decode_archive(archive) == total;
    p.bytes = archive.bytes.size();
    return p;
}

}  // namespace

void bench_binaries(const std::vector<CorpusFile>& files, const std::string& list) {
    Bytes stream;
    for (const CorpusFile& f : files) stream.insert(stream.end(), f.data.begin(), f.data.end());
    std::printf("Binary corpus: %zu files, %zu bytes (%s)\n", files.size(), stream.size(),
                list.c_str());
    key("bin_files", num(files.size()));
    key("bin_bytes", num(stream.size()));

    Bytes nsis;
    const double nsis_time = median_seconds(1, [&] { nsis = lzma_nsis_compress(stream); }, wall_seconds);
    const Bytes tar = tar_of(files);
    Bytes xz;
    const double xz_time = median_seconds(1, [&] { xz = xz_compress(tar, 9); }, wall_seconds);
    check(!nsis.empty() && !xz.empty(), "the binary corpus's baselines pack it");

    const Packed l5 = pack(files, stream.size(), 5, settings_for_level(5).order, kSpeedRuns);
    const Packed l6 = pack(files, stream.size(), 6, settings_for_level(6).order, 1);
    const Packed l5_folder = pack(files, stream.size(), 5, SolidOrder::kFolder, 1);
    check(l5.ok && l6.ok && l5_folder.ok, "levels 5 and 6 decode to the binary corpus");

    const double base = static_cast<double>(nsis.size());
    std::printf("  %-34s %12s %9s %10s\n", "coder", "packed", "/NSIS", "pack MB/s");
    auto row = [&](const char* name, uint64_t bytes, double seconds) {
        std::printf("  %-34s %12" PRIu64 " %9.3f %10s\n", name, bytes,
                    static_cast<double>(bytes) / base,
                    seconds > 0 ? num(rate(stream.size(), seconds), 2).c_str() : "-");
    };
    row("ours -5 (content order)", l5.bytes, l5.seconds);
    row("ours -6 (content order)", l6.bytes, l6.seconds);
    row("ours -5 (folder order)", l5_folder.bytes, 0);
    row("LZMA, NSIS's settings, folder order", nsis.size(), nsis_time);
    row("xz -9 (64 MiB), tar in folder order", xz.size(), xz_time);
    key("bin_l5_bytes", num(l5.bytes));
    key("bin_l6_bytes", num(l6.bytes));
    key("bin_l5_folder_bytes", num(l5_folder.bytes));
    key("bin_l5_pack_mbps", num(rate(stream.size(), l5.seconds), 2));
    key("bin_nsis_lzma_bytes", num(nsis.size()));
    key("bin_xz9_tar_bytes", num(xz.size()));

    std::printf("\nTargets (binary corpus, sizes against the NSIS-settings baseline):\n");
    target("level 6 size / NSIS-settings LZMA size", "bin_ratio_l6_nsis",
           static_cast<double>(l6.bytes) / base, kLevel6Ratio, false, 3);
    target("level 5 size / NSIS-settings LZMA size", "bin_ratio_l5_nsis",
           static_cast<double>(l5.bytes) / base, kLevel5Ratio, false, 3);
    std::printf("\n");
}

}  // namespace qarn::bench
