// A signed setup file: the signer appends padding (0 to 7 bytes, to an 8-byte boundary) and
// its certificate table behind the archive. Whatever those bytes hold, even a perfect file
// header, the walk stops at the writer's end mark and never reads them as blocks.
#include <gtest/gtest.h>

#include "tests/support/round_trip.h"
#include "tests/support/test_support.h"

namespace qarn::test {
namespace {

// A certificate table whose bytes, from `at` on, imitate a stored file entry named
// `name`: a real header with a good checksum and its data.
Bytes imitating_table(size_t at, const std::string& name) {
    Bytes table = random_bytes(64, 77);
    TestEntry fake = stored(name, "this is not part of the product");
    const Bytes header = file_header_bytes(fake);
    table.resize(at);
    table.insert(table.end(), header.begin(), header.end());
    table.insert(table.end(), fake.data.begin(), fake.data.end());
    const Bytes tail = random_bytes(200, 78);
    table.insert(table.end(), tail.begin(), tail.end());
    return table;
}

TEST(EndMark, TheWalkStopsThereWhateverTheSignerAppends) {
    const std::vector<NamedInput> product = {{"QARN.exe", text_bytes("program"), 0x20},
                                             {"README.TXT", random_bytes(3000, 5), 0x20}};
    const Bytes archive = write_archive(product, 3, random_bytes(5000, 9));
    for (size_t padding = 0; padding < 8; ++padding) {
        for (const size_t at : {size_t{0}, size_t{1}, size_t{8}, size_t{33}}) {
            SCOPED_TRACE("padding " + std::to_string(padding) + ", header at " + std::to_string(at));
            Bytes file = archive;
            file.resize(file.size() + padding, 0);
            const Bytes table = imitating_table(at, "..\\..\\evil.txt");
            file.insert(file.end(), table.begin(), table.end());
            const WalkReport r = walk_bytes(file);
            EXPECT_EQ(r.result, kExtractOk);
            EXPECT_TRUE(r.summary.end_mark);
            EXPECT_EQ(r.names, (std::vector<std::string>{"QARN.exe", "README.TXT"}));
        }
    }
}

TEST(EndMark, WithoutItTheSameBytesWouldBeReadAsAnEntry) {
    // The reason for the mark: an archive that simply ends is followed by whatever comes.
    const std::vector<NamedInput> product = {{"QARN.exe", text_bytes("program"), 0x20}};
    Bytes file = write_archive(product, 3, random_bytes(5000, 9));
    file.resize(file.size() - kEndMarkBytes);
    const Bytes table = imitating_table(0, "evil.txt");
    file.insert(file.end(), table.begin(), table.end());
    const WalkReport r = walk_bytes(file);
    EXPECT_FALSE(r.summary.end_mark);
    EXPECT_EQ(r.names, (std::vector<std::string>{"QARN.exe", "evil.txt"}));
}

}  // namespace
}  // namespace qarn::test
