// Arbitrary bytes as a setup file: find the archive, walk every block header and, when the
// first input byte says so, decode and check every entry as `mksetup test` does.
//
// Input: byte 0 bit 0 = test (decode) instead of list; bytes 1.. = the file.
//
// Besides crashes, leaks, undefined behaviour and hangs, the target checks what a listener
// of the walk may rely on: names are terminated inside their 260-byte buffer, an entry
// that passed produced exactly its unpacked size, no entry produced more than one decoder
// step past it, the run's code is the one of its first failing entry, nothing is reported
// after a damaged header, and the packed bytes the walk read never exceed the file's size:
// no byte is ever read as the data of two entries.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/planned_destination.h"
#include "tests/support/memory_file.h"
#include "unpack/rar20_format.h"

namespace {

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
        require(!after_damaged_header);
        after_damaged_header = qarn::is_header_problem(entry.problem);
        const int32_t result = qarn::extract_result_of(entry.problem);
        if (first_result == qarn::kExtractOk) first_result = result;
        if (!testing_) return;  // a listing decodes nothing: no output
        const int32_t unp_size = entry.header->unp_size;
        const uint64_t expected = unp_size > 0 ? static_cast<uint64_t>(unp_size) : 0;
        if (result == qarn::kExtractOk && entry.written) require(entry.produced == expected);
        require(entry.produced <= expected + qarn::kLongestDecoderStep);
    }
    int32_t first_result = qarn::kExtractOk;
    bool after_damaged_header = false;

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
    qarn::File file = qarn::test::memory_file(data + 1, size - 1);
    CheckingListener listener(test);
    qarn::RunSummary summary{};
    int32_t result;
    if (test) {
        result = qarn::test_archive_file(std::move(file), listener, summary);
    } else {
        const qarn::RunSetup setup{qarn::RunMode::kList, nullptr, ""};
        result = qarn::run_archive_file(std::move(file), setup, listener, summary);
    }
    require(summary.failed <= summary.entries);
    require(summary.packed_read <= size - 1);
    // The run ends with its first failing entry's code, whatever happened after it, unless
    // the file was cut short: then it fails as such, whichever entry the cut broke.
    if (summary.problem == qarn::ArchiveProblem::kCutShort) {
        require(result == qarn::kExtractNoArchive);
    } else if (listener.first_result != qarn::kExtractOk) {
        require(result == listener.first_result);
    }
    return 0;
}
