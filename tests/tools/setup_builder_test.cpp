// mksetup build: a folder packed, then extracted as the installer does, comes back byte for
// byte; a second build gives the same bytes; names, sizes and stubs the installer could not
// handle are refused with the file named, and nothing is written then.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/support/extract_fixture.h"
#include "tests/support/round_trip.h"
#include "pack/level_settings.h"
#include "tools/setup_builder.h"

namespace qarn::test {
namespace {
namespace fs = std::filesystem;
using tools::BuildRequest;
using tools::BuildResult;

class SetupBuild : public ExtractTest {
protected:
    fs::path product() const { return temp_.path() / "product"; }
    fs::path output() const { return temp_.path() / "setup.exe"; }

    void make_product() {
        write_file(product() / "QARN.exe", binary_sample(120000, 1));
        write_file(product() / "readme.txt", text_sample(30000, 2));
        write_file(product() / "empty.dat", {});
        write_file(product() / "Help" / "manual.txt", text_sample(50000, 3));
        write_file(product() / "Help" / "deep" / "x.bin", random_bytes(40000, 4));
        write_file(product() / "data" / "copy.exe", binary_sample(120000, 1));
    }

    bool build(int level, std::optional<fs::path> stub = std::nullopt) {
        result_ = BuildResult{};
        return tools::build_setup(BuildRequest{product(), output(), stub, level}, nullptr, result_);
    }

    bool mentions(const std::string& text) const {
        return std::any_of(result_.errors.begin(), result_.errors.end(),
                           [&](const std::string& e) { return e.find(text) != std::string::npos; });
    }

    // Nothing but the product and (when given) the stub: no output, no half-written file.
    void expect_nothing_written() const {
        EXPECT_FALSE(fs::exists(output()));
        for (const auto& e : fs::directory_iterator(temp_.path())) {
            EXPECT_EQ(e.path().filename().string().find(".partial"), std::string::npos) << e.path();
        }
    }

    BuildResult result_;
};

TEST_F(SetupBuild, ExtractionRestoresEveryFileAndARebuildIsIdentical) {
    make_product();
    for (int level : {1, 3, 5}) {
        ASSERT_TRUE(build(level)) << (result_.errors.empty() ? "" : result_.errors[0]);
        EXPECT_EQ(result_.entries, 6u);
        EXPECT_EQ(result_.stored, 2u);  // the empty file and the noise
        const Bytes first = read_file(output());
        ASSERT_TRUE(build(level));
        EXPECT_EQ(read_file(output()), first) << "level " << level;

        fs::remove_all(target_dir());
        fs::create_directories(target_dir());
        ASSERT_EQ(run_extraction(output()), kExtractOk);
        for (const auto& e : fs::recursive_directory_iterator(product())) {
            if (!e.is_regular_file()) continue;
            const fs::path rel = fs::relative(e.path(), product());
            EXPECT_EQ(read_file(target_dir() / rel), read_file(e.path()))
                << rel << " level " << level;
        }
    }
}

TEST_F(SetupBuild, EntriesAreGroupedByExtensionThenName) {
    make_product();
    ASSERT_TRUE(build(1));
    const WalkReport r = walk_bytes(read_file(output()));
    const std::vector<std::string> expected = {"Help\\deep\\x.bin", "empty.dat",
                                               "data\\copy.exe",    "QARN.exe",
                                               "Help\\manual.txt",  "readme.txt"};
    EXPECT_EQ(r.names, expected);
}

// Files written in the order given, all with the time `when`, so that two folders of the
// same files differ in their listing alone.
void write_files(const fs::path& folder, const std::vector<std::pair<std::string, Bytes>>& files,
                 fs::file_time_type when) {
    for (const auto& [name, bytes] : files) {
        write_file(folder / name, bytes);
        fs::last_write_time(folder / name, when);
    }
}

TEST_F(SetupBuild, TheContentOrderChainsCopiesWhateverTheListingAndFolderOrderStaysOnRequest) {
    Bytes copy = binary_sample(90000, 1);
    for (size_t i = 100; i < copy.size(); i += 2000) copy[i] ^= 0x33;
    std::vector<std::pair<std::string, Bytes>> files = {{"lib\\one.dll", binary_sample(90000, 1)},
                                                        {"tool.exe", binary_sample(90000, 2)},
                                                        {"two.ocx", copy},
                                                        {"readme.txt", text_sample(5000, 3)}};
    for (auto& f : files) std::replace(f.first.begin(), f.first.end(), '\\', '/');
    const fs::file_time_type when = fs::file_time_type::clock::now();
    write_files(product(), files, when);
    std::reverse(files.begin(), files.end());
    const fs::path listed_otherwise = temp_.path() / "relisted";
    write_files(listed_otherwise, files, when);

    ASSERT_TRUE(build(5)) << (result_.errors.empty() ? "" : result_.errors[0]);
    const Bytes first = read_file(output());
    const std::vector<std::string> chained = {"readme.txt", "lib\\one.dll", "two.ocx", "tool.exe"};
    EXPECT_EQ(walk_bytes(first).names, chained);
    BuildRequest request{listed_otherwise, output(), std::nullopt, 5};
    ASSERT_TRUE(tools::build_setup(request, nullptr, result_));
    EXPECT_EQ(read_file(output()), first);

    request.folder = product();
    request.order = SolidOrder::kFolder;
    ASSERT_TRUE(tools::build_setup(request, nullptr, result_));
    const std::vector<std::string> by_folder = {"lib\\one.dll", "tool.exe", "two.ocx", "readme.txt"};
    EXPECT_EQ(walk_bytes(read_file(output())).names, by_folder);
}

TEST_F(SetupBuild, AnExistingOutputIsReplacedOnlyByAGoodOne) {
    make_product();
    write_file(output(), text_bytes("old"));
    const fs::path stub = temp_.path() / "stub.bin";
    write_file(stub, Bytes(6, 0));  // too small for the scan to find the archive behind it
    EXPECT_FALSE(build(3, stub));
    EXPECT_EQ(read_file(output()), text_bytes("old"));
    EXPECT_TRUE(build(3));
    EXPECT_NE(read_file(output()), text_bytes("old"));
}

TEST_F(SetupBuild, NamesTheInstallerWouldRefuseAreListedAndNothingIsWritten) {
#ifdef _WIN32
    GTEST_SKIP() << "a Windows folder cannot hold these names in the first place";
#else
    make_product();
    write_file(product() / "com1.log", text_bytes("x"));
    write_file(product() / "trailing.", text_bytes("x"));
    write_file(product() / "Readme.TXT", text_bytes("x"));  // readme.txt on Windows
    write_file(product() / "help", text_bytes("x"));        // the folder Help on Windows
    write_file(product() / "a\\b", text_bytes("x"));        // a separator inside a name
    EXPECT_FALSE(build(3));
    EXPECT_TRUE(result_.input_problem);
    EXPECT_TRUE(mentions("com1.log: name refused by the installer"));
    EXPECT_TRUE(mentions("trailing.: name refused by the installer"));
    EXPECT_TRUE(mentions("readme.txt: the same name as Readme.TXT") ||
                mentions("Readme.TXT: the same name as readme.txt"));
    EXPECT_TRUE(mentions("its folder has the name of the file help"));
    EXPECT_TRUE(mentions("a\\b: name refused"));
    expect_nothing_written();
#endif
}

TEST_F(SetupBuild, NamesOutsidePrintableAsciiAreRefused) {
    make_product();
    write_file(product() / fs::path(u8"gr\u00FC\u00DFe.txt"), text_bytes("x"));
    EXPECT_FALSE(build(3));
    EXPECT_TRUE(mentions("outside printable ASCII"));
    expect_nothing_written();
}

TEST_F(SetupBuild, NamesOver259CharactersAreRefusedAndLongOnesWarned) {
    make_product();
    const std::string folder(200, 'f');
    std::error_code ec;
    fs::create_directories(product() / folder, ec);
    std::ofstream(product() / folder / std::string(50, 'w')) << "x";  // 251 characters
    std::ofstream(product() / folder / std::string(60, 'r')) << "x";  // 261 characters
    if (!fs::exists(product() / folder / std::string(60, 'r')))
        GTEST_SKIP() << "long paths not supported here";
    EXPECT_FALSE(build(1));
    EXPECT_TRUE(mentions("longer than 259 characters (261)"));
    ASSERT_EQ(result_.warnings.size(), 1u);
    EXPECT_NE(result_.warnings[0].find("251 characters"), std::string::npos);
    expect_nothing_written();
}

TEST_F(SetupBuild, FilesOf2GBOrMoreAreRefused) {
    make_product();
    { std::ofstream(product() / "huge.bin") << ""; }
    std::error_code ec;
    fs::resize_file(product() / "huge.bin", 0x80000000ull, ec);  // sparse: nothing is read
    if (ec) GTEST_SKIP() << "cannot make a 2 GB sparse file here";
    EXPECT_FALSE(build(1));
    EXPECT_TRUE(mentions("huge.bin: the file has 2 GB or more"));
    expect_nothing_written();
}

TEST_F(SetupBuild, StubsTheScanCannotSeePastAreRefused) {
    make_product();
    const fs::path stub = temp_.path() / "stub.bin";
    for (size_t size : {1u, 6u, 249997u, 300000u}) {
        write_file(stub, Bytes(size, 0));
        EXPECT_FALSE(build(1, stub)) << size;
        EXPECT_TRUE(result_.input_problem);
        EXPECT_TRUE(mentions("stub has " + std::to_string(size) + " bytes")) << size;
        expect_nothing_written();
    }
}

TEST_F(SetupBuild, StubsAtTheScansLimitsAreFoundWhereAppended) {
    make_product();
    const fs::path stub = temp_.path() / "stub.bin";
    for (size_t size : {7u, 70000u, 249996u}) {
        write_file(stub, Bytes(size, 0x4D));
        ASSERT_TRUE(build(1, stub))
            << size << ": " << (result_.errors.empty() ? "" : result_.errors[0]);
        const WalkReport r = walk_bytes(read_file(output()));
        EXPECT_EQ(r.result, kExtractOk);
        EXPECT_EQ(r.archive.locate_result, kArchiveFoundByScan);
        EXPECT_EQ(r.archive.archive_start, size);
    }
}

TEST_F(SetupBuild, StubsWithMarkerBytesTheScanWouldStopAtAreRefused) {
    make_product();
    const fs::path stub = temp_.path() / "stub.bin";
    // A whole marker followed by a main header's type byte.
    Bytes with_marker(5000, 0);
    const uint8_t fake[10] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00, 0, 0, 0x73};
    std::copy(fake, fake + 10, with_marker.begin() + 3000);
    write_file(stub, with_marker);
    EXPECT_FALSE(build(1, stub));
    EXPECT_TRUE(mentions("marker bytes at file offset 3000"));
    // A marker at the stub's very end: the byte the scan checks after it is the archive's
    // own first byte, not a header type, so the scan passes it and finds the archive.
    Bytes at_end(5000, 0);
    std::copy(fake, fake + 7, at_end.end() - 7);
    write_file(stub, at_end);
    ASSERT_TRUE(build(1, stub));
    EXPECT_EQ(walk_bytes(read_file(output())).archive.archive_start, 5000u);
    fs::remove(output());
    // The old kind's marker counts where the image carries "RSFX" at offset 28.
    Bytes old_kind(5000, 0);
    const uint8_t rsfx[4] = {0x52, 0x53, 0x46, 0x58};
    const uint8_t old_marker[4] = {0x52, 0x45, 0x7E, 0x5E};
    std::copy(rsfx, rsfx + 4, old_kind.begin() + 28);
    std::copy(old_marker, old_marker + 4, old_kind.begin() + 2000);
    write_file(stub, old_kind);
    EXPECT_FALSE(build(1, stub));
    EXPECT_TRUE(mentions("marker bytes at file offset 2000"));
    // A stub that starts with a marker carries an archive of its own.
    Bytes starts(5000, 0);
    std::copy(fake, fake + 7, starts.begin());
    write_file(stub, starts);
    EXPECT_FALSE(build(1, stub));
    EXPECT_TRUE(mentions("begins with an archive marker"));
    expect_nothing_written();
}

TEST_F(SetupBuild, LinksToFilesAreFollowedLinksToFoldersRefused) {
#ifdef _WIN32
    GTEST_SKIP() << "links need privileges on Windows";
#else
    make_product();
    fs::create_symlink("readme.txt", product() / "link.txt");
    ASSERT_TRUE(build(1));
    EXPECT_EQ(result_.entries, 7u);
    fs::create_directory_symlink("Help", product() / "alias");
    EXPECT_FALSE(build(1));
    EXPECT_TRUE(mentions("alias: a link to a folder"));
#endif
}

TEST_F(SetupBuild, TheSetupFileMayNotGoIntoTheProductFolder) {
    make_product();
    BuildResult result;
    EXPECT_FALSE(tools::build_setup(
        BuildRequest{product(), product() / "Help" / "setup.exe", std::nullopt, 3}, nullptr,
        result));
    ASSERT_EQ(result.errors.size(), 1u);
    EXPECT_NE(result.errors[0].find("must not be written into the product folder"),
              std::string::npos);
    EXPECT_FALSE(fs::exists(product() / "Help" / "setup.exe"));
}

TEST_F(SetupBuild, AnEmptyFolderOrAMissingOneIsAnError) {
    fs::create_directories(product());
    EXPECT_FALSE(build(3));
    EXPECT_TRUE(mentions("no files to pack"));
    fs::remove_all(product());
    EXPECT_FALSE(build(3));
    EXPECT_TRUE(mentions("not a folder"));
    const std::string range =
        "level must be " + std::to_string(kMinLevel) + " to " + std::to_string(kMaxLevel);
    EXPECT_FALSE(build(kMinLevel - 1));
    EXPECT_TRUE(mentions(range));
    EXPECT_FALSE(build(kMaxLevel + 1));
    EXPECT_TRUE(mentions(range));
}

}  // namespace
}  // namespace qarn::test
