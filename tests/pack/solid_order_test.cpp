// The content order: sketches see the same bytes wherever they lie and however they arrive;
// files that share content end up next to each other, the rest keep kind and folder order.
#include <gtest/gtest.h>

#include <algorithm>

#include "pack/solid_order.h"
#include "tests/support/test_support.h"
#include "unpack/rar20_format.h"

namespace qarn::test {
namespace {

ContentSketch sketch_in_pieces(const Bytes& data, size_t piece) {
    ContentSketcher sketcher(sample_bits_for(data.size()));
    for (size_t at = 0; at < data.size(); at += piece) {
        EXPECT_TRUE(sketcher.add(data.data() + at, std::min(piece, data.size() - at)));
    }
    ContentSketch s;
    EXPECT_TRUE(sketcher.finish(s));
    return s;
}

size_t shared(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b) {
    std::vector<uint64_t> both;
    std::set_intersection(a.begin(), a.end(), b.begin(), b.end(), std::back_inserter(both));
    return both.size();
}

Bytes joined(const Bytes& a, const Bytes& b) {
    Bytes out = a;
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

TEST(ContentSketch, TheSameBytesGiveTheSameSamplesAtAnyOffsetAndInAnyPieces) {
    const Bytes body = random_bytes(200000, 1);
    const ContentSketch whole = sketch_in_pieces(body, body.size());
    ASSERT_GT(whole.head.size(), 1500u);  // about one position in 64
    for (const size_t piece : {1u, 7u, 4096u}) {
        EXPECT_EQ(sketch_in_pieces(body, piece).head, whole.head) << piece;
    }
    const ContentSketch moved = sketch_in_pieces(joined(random_bytes(777, 2), body), 1000);
    EXPECT_GE(shared(moved.head, whole.head), whole.head.size() - 2);
    EXPECT_LT(shared(sketch_in_pieces(random_bytes(200000, 3), 4096).head, whole.head), 5u);
}

TEST(ContentSketch, ALargeFileIsItsFirstAndItsLastMegabyte) {
    const Bytes first = random_bytes(kWindowSize, 4);
    const Bytes middle = random_bytes(kWindowSize, 5);
    const Bytes last = random_bytes(kWindowSize, 6);
    const ContentSketch s = sketch_in_pieces(joined(joined(first, middle), last), 65536);
    const ContentSketch f = sketch_in_pieces(first, 65536);
    const ContentSketch m = sketch_in_pieces(middle, 65536);
    const ContentSketch l = sketch_in_pieces(last, 65536);
    EXPECT_GE(shared(s.head, f.head), f.head.size() - 1);
    EXPECT_GE(shared(s.last(), l.head), l.head.size() - 1);
    EXPECT_LT(shared(s.head, m.head) + shared(s.last(), m.head), 3u);
    EXPECT_EQ(s.size, 3u * kWindowSize);
    // A file of a window or less is its own tail.
    EXPECT_EQ(&f.last(), &f.head);
}

TEST(ContentSketch, SamplingThinsOutForLargeProductsOnly) {
    EXPECT_EQ(sample_bits_for(0), 6u);
    EXPECT_EQ(sample_bits_for(64u << 20), 6u);
    EXPECT_EQ(sample_bits_for((64u << 20) + 1), 7u);
    EXPECT_EQ(sample_bits_for(uint64_t{4} << 30), 12u);
}

TEST(ContentSketch, KindsAreToldByTheFirstBytes) {
    Bytes pe(1024, 0);
    pe[0] = 'M';
    pe[1] = 'Z';
    pe[0x3C] = 0x80;
    const uint8_t header[6] = {'P', 'E', 0, 0, 0x64, 0x86};
    std::copy(header, header + 6, pe.begin() + 0x80);
    EXPECT_EQ(file_kind(pe.data(), pe.size()), FileKind::kProgram64);
    pe[0x84] = 0x4C;
    pe[0x85] = 0x01;
    EXPECT_EQ(file_kind(pe.data(), pe.size()), FileKind::kProgram32);
    const std::string text = "Licence text\r\nline two\n";
    EXPECT_EQ(file_kind(reinterpret_cast<const uint8_t*>(text.data()), text.size()), FileKind::kText);
    const Bytes noise = random_bytes(512, 7);
    EXPECT_EQ(file_kind(noise.data(), noise.size()), FileKind::kOther);
}

TEST(ContentOrder, FilesThatShareContentFollowEachOtherAndTheRestKeepKindAndFolderOrder) {
    // Folder order: a, noise, b (a with a changed byte every kilobyte), text, c (unrelated).
    const Bytes a = random_bytes(60000, 10);
    Bytes b = a;
    for (size_t i = 500; i < b.size(); i += 1024) b[i] ^= 0x5A;
    std::string words;
    while (words.size() < 20000) words += "the quick brown fox jumps over the lazy dog. ";
    const Bytes text(words.begin(), words.end());
    std::vector<ContentSketch> s = {sketch_in_pieces(a, 4096),
                                    sketch_in_pieces(random_bytes(60000, 11), 4096),
                                    sketch_in_pieces(b, 4096), sketch_in_pieces(text, 4096),
                                    sketch_in_pieces(random_bytes(30000, 12), 4096)};
    std::vector<const ContentSketch*> refs;
    for (const ContentSketch& x : s) refs.push_back(&x);
    std::vector<uint32_t> order;
    ASSERT_TRUE(content_order(refs, order));
    EXPECT_EQ(order, (std::vector<uint32_t>{3, 0, 2, 1, 4}));
    // The same sketches in the same folder order give the same order every time.
    std::vector<uint32_t> again;
    ASSERT_TRUE(content_order(refs, again));
    EXPECT_EQ(again, order);
}

}  // namespace
}  // namespace qarn::test
