// A file's fingerprint, for choosing where it goes in the solid stream: its kind, told by
// its first bytes, and hashes of 16-byte strings sampled where the content itself says
// (about one position in 64), so that the same bytes give the same samples in any file at
// any offset. Two files that share many samples share much of their content, which a match
// reaches only when they lie less than the window apart.
//
// A match can only reach a megabyte back, so a file larger than that is two fingerprints:
// its first megabyte, which the files before it can help, and its last, which helps the
// files after it.
#pragma once
#include <cstddef>
#include <cstdint>
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
    std::vector<uint64_t> tail;  // samples in the last window's worth, sorted, unique
};

// Takes a file's bytes piece by piece. Memory: 16 bytes per sample, about one per 64 bytes.
class ContentSketcher {
public:
    ContentSketcher();
    // False when memory ran out (the sketch is then of no use).
    bool add(const uint8_t* data, size_t size);
    // The sketch of everything added; the sketcher starts over for the next file.
    bool finish(ContentSketch& out);

private:
    struct Sample {
        uint64_t offset;
        uint64_t hash;
    };
    uint8_t ring_[16] = {};
    uint8_t first_[512] = {};
    uint64_t hash_ = 0;
    uint64_t offset_ = 0;
    bool failed_ = false;
    std::vector<Sample> samples_;
};

// The kind of a file whose first `size` bytes (up to 512 of them) are `data`.
FileKind file_kind(const uint8_t* data, size_t size);

}  // namespace qarn
