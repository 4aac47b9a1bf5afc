#include "tests/support/round_trip.h"

#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "pack/rar20_encoder.h"
#include "unpack/lz_decoder.h"

namespace qarn::test {
Bytes text_sample(size_t n, uint32_t seed) {
    static const char* const words[] = {
        "installer", "window", "the",   "of", "Zentrivo", "setup", "archive", "and",     "folder",
        "language",  "entry",  "solid", "\n", ", ",       ". ",    "QARN",    "Obrelux", "file"};
    Bytes out;
    uint32_t x = seed * 2654435761u + 1;
    while (out.size() < n) {
        x = x * 1103515245u + 12345u;
        const std::string w = words[(x >> 16) % (sizeof words / sizeof words[0])];
        out.insert(out.end(), w.begin(), w.end());
        out.push_back(' ');
    }
    out.resize(n);
    return out;
}

Bytes binary_sample(size_t n, uint32_t seed) {
    Bytes out;
    uint32_t x = seed;
    for (uint32_t rec = 0; out.size() < n; ++rec) {
        x = x * 1664525u + 1013904223u;
        const uint8_t r[12] = {static_cast<uint8_t>(rec),
                               static_cast<uint8_t>(rec >> 8),
                               0,
                               0,
                               static_cast<uint8_t>(x >> 28),
                               0x8B,
                               0x45,
                               static_cast<uint8_t>(0xF0 + (x >> 30)),
                               0xE8,
                               static_cast<uint8_t>(x >> 24),
                               0xFF,
                               0xFF};
        out.insert(out.end(), r, r + 12);
    }
    out.resize(n);
    return out;
}

std::vector<PackedEntry> pack_entries(const std::vector<Bytes>& inputs, int level) {
    Rar20Encoder encoder;
    EXPECT_EQ(encoder.init(level), PackStatus::kOk);
    std::vector<PackedEntry> out;
    for (const Bytes& in : inputs) {
        PackedEntry e;
        if (in.empty()) {
            e.stored = true;
            out.push_back(e);
            continue;
        }
        MemorySource source(in, 70001);
        MemorySink sink;
        EntryPackResult result{};
        const PackStatus status = encoder.compress_entry(source, in.size(), sink, result);
        if (status == PackStatus::kNotSmaller) {
            EXPECT_LT(sink.bytes.size(), in.size());
            e.stored = true;
        } else {
            EXPECT_EQ(status, PackStatus::kOk) << pack_status_text(status);
            EXPECT_EQ(result.packed_size, sink.bytes.size());
            EXPECT_LT(sink.bytes.size(), in.size());
            e.packed = std::move(sink.bytes);
            e.solid = result.solid;
        }
        out.push_back(std::move(e));
    }
    return out;
}

std::vector<Bytes> unpack_entries(const std::vector<Bytes>& inputs,
                                  const std::vector<PackedEntry>& packed) {
    auto state = std::make_unique<UnpackState>();
    std::memset(state.get(), 0, sizeof(UnpackState));
    std::vector<uint8_t> window(kWindowSize);
    std::vector<Bytes> out;
    bool first_compressed = true;
    for (size_t i = 0; i < packed.size(); ++i) {
        if (packed[i].stored) {
            out.push_back(inputs[i]);
            continue;
        }
        // The first compressed entry opens the stream; every later one continues it.
        EXPECT_EQ(packed[i].solid, !first_compressed) << "entry " << i;
        first_compressed = false;
        SpanReader reader(packed[i].packed);
        MemoryWriter writer;
        state->reader = &reader;
        state->writer = &writer;
        state->packed_size = static_cast<uint32_t>(packed[i].packed.size());
        state->remaining_size = static_cast<int32_t>(inputs[i].size());
        decompress(*state, window.data(), packed[i].solid);
        // The data ends right after the last symbol: the decoder used every byte of it, the
        // last one at least in part, and the end-of-entry check found nothing more to read.
        const uint64_t consumed =
            uint64_t{state->input_base} + state->read_pos + (state->bit_pos != 0);
        EXPECT_EQ(consumed, packed[i].packed.size()) << "entry " << i;
        out.push_back(std::move(writer.out));
    }
    return out;
}

uint64_t expect_round_trip(const std::vector<Bytes>& inputs, int level) {
    const std::vector<PackedEntry> packed = pack_entries(inputs, level);
    const std::vector<Bytes> output = unpack_entries(inputs, packed);
    // The same entries as an archive pass the test that `mksetup test` makes.
    std::vector<TestEntry> entries;
    for (size_t i = 0; i < inputs.size(); ++i) {
        TestEntry e;
        e.name = "entry" + std::to_string(i);
        e.data = inputs[i];
        if (!packed[i].stored) {
            e.method = static_cast<uint8_t>('0' + level);
            e.packed = packed[i].packed;
            e.flags = static_cast<uint16_t>(0x8000 | (packed[i].solid ? 0x10 : 0));
        }
        entries.push_back(std::move(e));
    }
    ArchiveOptions options;
    options.solid = true;
    const WalkReport report = walk_bytes(build_archive(entries, options));
    EXPECT_EQ(report.result, kExtractOk) << "level " << level;
    uint64_t total = 0;
    for (size_t i = 0; i < inputs.size(); ++i) {
        total += packed[i].stored ? inputs[i].size() : packed[i].packed.size();
        if (output[i] != inputs[i]) {
            size_t at = 0;
            while (at < output[i].size() && at < inputs[i].size() && output[i][at] == inputs[i][at])
                ++at;
            ADD_FAILURE() << "entry " << i << " of " << inputs.size() << " (" << inputs[i].size()
                          << " bytes, level " << level << ") differs at byte " << at << ", decoded "
                          << output[i].size() << " bytes";
        }
    }
    return total;
}

Bytes write_archive(const std::vector<NamedInput>& inputs, int level, const Bytes& prefix,
                    std::vector<EntryOutcome>* outcomes) {
    MemoryOutput out;
    if (!prefix.empty()) out.write(prefix.data(), prefix.size());
    auto writer = std::make_unique<ArchiveWriter>();
    EXPECT_EQ(writer->begin(out, prefix.size(), level), PackStatus::kOk);
    for (const NamedInput& in : inputs) {
        MemoryInput input(in.data);
        EntryOutcome outcome{};
        const EntryDescription d{in.name.c_str(), in.attributes, in.dos_time, in.data.size()};
        const PackStatus status = writer->add_entry(d, input, outcome);
        EXPECT_EQ(status, PackStatus::kOk) << in.name << ": " << pack_status_text(status);
        if (outcomes != nullptr) outcomes->push_back(outcome);
    }
    EXPECT_EQ(writer->finish(), PackStatus::kOk);
    EXPECT_EQ(writer->end_offset(), out.bytes.size());
    return out.bytes;
}

namespace {
class Recorder final : public ArchiveListener {
public:
    explicit Recorder(WalkReport& r) : r_(r) {}
    void on_archive(const ArchiveInfo& info) override {
        r_.archive = info;
        r_.main_header = *info.main_header;
    }
    void on_entry(const EntryInfo& e) override {
        r_.names.push_back(e.name);
        r_.problems.push_back(e.problem);
        r_.headers.push_back(*e.header);
    }

private:
    WalkReport& r_;
};
}  // namespace

WalkReport walk_bytes(const Bytes& archive) {
    // Through a file, exactly as `mksetup test` reads one.
    TempDir dir;
    const std::filesystem::path file = dir / "archive.rar";
    write_file(file, archive);
    WalkReport report{};
    Recorder recorder(report);
    report.result = test_archive(file.string().c_str(), recorder, report.summary);
    return report;
}

}  // namespace qarn::test
