// A file's fingerprint, for choosing where it goes in the solid stream: its kind, told by
// its first bytes, and hashes of 16-byte strings sampled where the content itself says
// (about one position in 64), so that the same bytes give the same samples in any file at
// any offset. Two files that share many samples share much of their content, which a match
// reaches only when they lie less than the window apart.
//
// A match can only reach a megabyte back, so a file larger than that is two fingerprints:
// its first megabyte, which the files before it can help, and its last, which helps the
// files after it. Whatever the files' sizes, a sketch holds at most two megabytes' samples,
// and the sampling thins out for large products (sample_bits_for), so that all the
// sketches of a product take some 8 MB at most.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

namespace qarn {

// In the order the kinds go into the stream when nothing else decides.
enum class FileKind : uint8_t {
    kText,
    kArchive,  // ar archives: import libraries and static libraries
    kProgram32,  // PE images for 32-bit x86
    kProgram64,  // PE images for x86-64
    kProgramOther,
    kOther,
    kImage,  // PNG, JPEG, GIF: already compressed, mostly stored
};

struct ContentSketch {
    FileKind kind = FileKind::kOther;
    uint64_t size = 0;
    std::vector<uint64_t> head;  // samples in the first window's worth, sorted, unique
    // Samples in the last window's worth, sorted, unique; for a file of one window or less,
    // the head is its tail too and this stays empty.
    std::vector<uint64_t> tail;
    const std::vector<uint64_t>& last() const { return size <= kSketchWindow ? head : tail; }

    static constexpr uint64_t kSketchWindow = 1u << 20;  // the decoder's window
};

// One position in 2^bits is sampled: 64 up to 64 MB of input in all, thinner beyond.
unsigned sample_bits_for(uint64_t total_bytes);

// Takes a file's bytes piece by piece.
class ContentSketcher {
public:
    explicit ContentSketcher(unsigned sample_bits);
    // False when memory ran out (the sketch is then of no use).
    bool add(const uint8_t* data, size_t size);
    // The sketch of everything added; the sketcher starts over for the next file.
    bool finish(ContentSketch& out);

private:
    struct Sample {
        uint64_t offset;
        uint64_t hash;
    };
    unsigned sample_shift_;
    uint8_t ring_[16] = {};
    uint8_t first_[512] = {};
    uint64_t hash_ = 0;
    uint64_t offset_ = 0;
    bool failed_ = false;
    std::vector<uint64_t> head_;
    std::deque<Sample> recent_;  // the samples of the last window's worth read
};

// The kind of a file whose first `size` bytes (up to 512 of them) are `data`.
FileKind file_kind(const uint8_t* data, size_t size);

}  // namespace qarn
