#include "pack/solid_order.h"

#include <algorithm>
#include <deque>
#include <new>

#include "unpack/rar20_format.h"

namespace qarn {
namespace {

// A sample found in more files than this tells little about which of them belong together
// (zero padding, a runtime's common code) and would cost time on every file it enters.
constexpr uint32_t kMaxSharing = 256;
// Fewer covered samples than this (about half a kilobyte of content) is chance.
constexpr uint32_t kMinCover = 8;
// The choice looks at every file left, each time: beyond this many files that takes too
// long, and the files keep the default order. (Files are numbered in 24 bits below.)
constexpr size_t kMaxFiles = 50000;

// The samples that tie files together, numbered: which files' first megabytes hold each
// (`heads`, by sample), and which samples each file's last megabyte holds (`tails`).
struct SharedSamples {
    std::vector<uint32_t> head_start;  // by sample: where its files begin in head_files
    std::vector<uint32_t> head_files;
    std::vector<std::vector<uint32_t>> tails;  // by file: its samples
};

SharedSamples number_samples(const std::vector<const ContentSketch*>& files) {
    // One word per sample of a file: the hash's top 38 bits, whether the sample lies in the
    // file's head (bit 24) and in its tail (bit 25), and the file (24 bits). Sorted, the
    // words of one sample lie together; samples whose top bits agree are taken for one,
    // which among a few million of them hardly ever happens and costs a little accuracy.
    constexpr uint64_t kHead = 1u << 24;
    constexpr uint64_t kTail = 1u << 25;
    constexpr uint64_t kHashMask = ~uint64_t{0} << 26;
    std::vector<uint64_t> words;
    for (uint64_t f = 0; f < files.size(); ++f) {
        const std::vector<uint64_t>& head = files[f]->head;
        const std::vector<uint64_t>& tail = files[f]->last();
        size_t h = 0;
        size_t t = 0;
        while (h < head.size() || t < tail.size()) {
            if (t == tail.size() || (h < head.size() && head[h] < tail[t])) {
                words.push_back((head[h++] & kHashMask) | kHead | f);
            } else if (h == head.size() || tail[t] < head[h]) {
                words.push_back((tail[t++] & kHashMask) | kTail | f);
            } else {
                words.push_back((head[h++] & kHashMask) | kHead | kTail | f);
                ++t;
            }
        }
    }
    std::sort(words.begin(), words.end());
    SharedSamples s;
    s.tails.resize(files.size());
    s.head_start.push_back(0);
    for (size_t i = 0; i < words.size();) {
        size_t end = i + 1;
        while (end < words.size() && (words[end] & kHashMask) == (words[i] & kHashMask)) ++end;
        if (end - i >= 2 && end - i <= kMaxSharing) {
            const auto id = static_cast<uint32_t>(s.head_start.size() - 1);
            for (size_t k = i; k < end; ++k) {
                const auto file = static_cast<uint32_t>(words[k] & (kHead - 1));
                if (words[k] & kHead) s.head_files.push_back(file);
                if (words[k] & kTail) s.tails[file].push_back(id);
            }
            s.head_start.push_back(static_cast<uint32_t>(s.head_files.size()));
        }
        i = end;
    }
    return s;
}

// The files the window still reaches, and for every file left how many samples of its
// head those files' tails hold.
class Window {
public:
    Window(const SharedSamples& s, const std::vector<const ContentSketch*>& files)
        : s_(s), files_(files), present_(s.head_start.size() - 1, 0), cover_(files.size(), 0) {}

    void enter(uint32_t f) {
        for (const uint32_t id : s_.tails[f]) {
            if (present_[id]++ == 0) change(id, 1);
        }
        in_.push_back(f);
        bytes_ += files_[f]->size;
        // A file whose end lies a window or more back is out of every match's reach.
        while (bytes_ - files_[in_.front()]->size >= kWindowSize) {
            const uint32_t out = in_.front();
            in_.pop_front();
            bytes_ -= files_[out]->size;
            for (const uint32_t id : s_.tails[out]) {
                if (--present_[id] == 0) change(id, -1);
            }
        }
    }
    uint32_t cover(uint32_t f) const { return cover_[f]; }

private:
    void change(uint32_t id, int by) {
        for (uint32_t k = s_.head_start[id]; k < s_.head_start[id + 1]; ++k) {
            cover_[s_.head_files[k]] += static_cast<uint32_t>(by);
        }
    }

    const SharedSamples& s_;
    const std::vector<const ContentSketch*>& files_;
    std::vector<uint32_t> present_;  // by sample: files in the window whose tail holds it
    std::vector<uint32_t> cover_;    // by file
    std::deque<uint32_t> in_;
    uint64_t bytes_ = 0;
};

}  // namespace

bool content_order(const std::vector<const ContentSketch*>& files, std::vector<uint32_t>& order) {
    try {
        order.clear();
        // The default order: by kind, then as given.
        std::vector<uint32_t> fallback(files.size());
        for (uint32_t f = 0; f < files.size(); ++f) fallback[f] = f;
        std::stable_sort(fallback.begin(), fallback.end(), [&](uint32_t a, uint32_t b) {
            return files[a]->kind < files[b]->kind;
        });
        if (files.size() > kMaxFiles) {
            order = fallback;
            return true;
        }

        const SharedSamples shared = number_samples(files);
        Window window(shared, files);
        std::vector<bool> placed(files.size(), false);
        std::vector<uint32_t> left = fallback;  // unplaced, in the default order
        size_t next_default = 0;
        while (!left.empty()) {
            // The files left keep the default order, so of two covered alike the first wins.
            uint32_t best = UINT32_MAX;
            uint32_t best_cover = kMinCover - 1;
            for (const uint32_t f : left) {
                const uint32_t c = window.cover(f);
                if (c > best_cover) {
                    best = f;
                    best_cover = c;
                }
            }
            if (best == UINT32_MAX) {
                while (placed[fallback[next_default]]) ++next_default;
                best = fallback[next_default];
            }
            placed[best] = true;
            left.erase(std::find(left.begin(), left.end(), best));
            order.push_back(best);
            window.enter(best);
        }
        return true;
    } catch (const std::bad_alloc&) {
        order.clear();
        return false;
    }
}

}  // namespace qarn
