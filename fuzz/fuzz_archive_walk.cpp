// Arbitrary bytes as a setup file: find the archive, walk every block header and, when the
// first input byte says so, decode and check every entry as `mksetup test` does.
//
// Input: byte 0 bit 0 = test (decode) instead of list; bytes 1.. = the file.
//
// Besides crashes, leaks and undefined behaviour, the target checks what the listener of a
// walk may rely on: names are terminated inside their 260-byte buffer, an entry reported OK
// produced exactly its unpacked size, and no entry produced more than one decoder step past it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/archive_walk.h"
#include "archive/file_io.h"

namespace {

// The longest single step of the decoder: a match of 258 coded bytes plus 2 for a far
// distance. An entry may end that much past its unpacked size, never more.
constexpr uint64_t kLongestStep = 260;

void require(bool condition) {
    if (!condition) std::abort();
}

class CheckingListener final : public qarn::ArchiveListener {
public:
    explicit CheckingListener(bool testing) : testing_(testing) {}
    void on_archive(const qarn::ArchiveInfo& info) override {
        require(info.main_header != nullptr);
    }
    void on_entry_start(const qarn::EntryInfo& entry) override { check_name(entry); }
    void on_entry(const qarn::EntryInfo& entry) override {
        check_name(entry);
        if (!testing_) return;  // a listing decodes nothing: no verdict, no output
        const int32_t unp_size = entry.header->unp_size;
        const uint64_t expected = unp_size > 0 ? static_cast<uint64_t>(unp_size) : 0;
        if (entry.verdict == qarn::EntryVerdict::kOk) require(entry.produced == expected);
        require(entry.produced <= expected + kLongestStep);
    }

private:
    bool testing_;

    static void check_name(const qarn::EntryInfo& entry) {
        require(entry.name != nullptr);
        require(std::memchr(entry.name, 0, qarn::kPathCapacity) != nullptr);
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const bool test = (data[0] & 1) != 0;
    // fmemopen wants a writable buffer; one spare byte keeps it valid for an empty file.
    std::vector<char> image(data + 1, data + size);
    image.push_back(0);
    std::FILE* stream = fmemopen(image.data(), size - 1, "r");

    CheckingListener listener(test);
    qarn::WalkSummary summary{};
    qarn::walk_archive_file(qarn::File(stream), test, listener, summary);
    require(summary.failed <= summary.entries);
    return 0;
}
