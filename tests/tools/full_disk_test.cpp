// A full disk is a failure, never a success, and an installation that meets one changes
// nothing: mksetup extract and mksetup build onto a real, tiny file system. As root a 64 KB
// tmpfs is mounted for the test. Where mounting is refused, the build's test uses a
// file-size limit instead (with SIGXFSZ ignored, so that writes fail instead of the
// process); the installation's tests need the disk itself, and are skipped, failing under
// CI unless the machine was found unable to mount (QARN_NO_TMPFS).
#if defined(__linux__)
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "setup/ui_texts.h"
#include "tests/support/folder_snapshot.h"
#include "tests/support/test_support.h"
#include "tools/commands.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

constexpr unsigned kDiskKilobytes = 64;

class FullDisk : public ::testing::Test {
protected:
    void SetUp() override {
        disk_ = temp_.path() / "disk";
        fs::create_directories(disk_);
        const std::string options = "size=" + std::to_string(kDiskKilobytes) + "k";
        mounted_ = ::mount("tmpfs", disk_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    }
    void TearDown() override {
        if (mounted_) ::umount2(disk_.c_str(), MNT_DETACH);
    }

    // Runs `command` in a child process whose writes meet the fault: the tiny disk, or a
    // file-size limit of `limit_bytes` where no disk could be mounted. Its stderr goes to a
    // file; gives the exit status.
    int run_faulty(const std::function<int()>& command, size_t limit_bytes) {
        const fs::path log = temp_.path() / "stderr.txt";
        const pid_t pid = ::fork();
        if (pid == 0) {
            const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd >= 0) ::dup2(fd, 2);
            const int devnull = ::open("/dev/null", O_WRONLY);
            if (devnull >= 0) ::dup2(devnull, 1);
            if (!mounted_) {
                ::signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{limit_bytes, limit_bytes};
                if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(100);
            }
            ::_exit(command());
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        std::ifstream in(log);
        stderr_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    TempDir temp_;
    fs::path disk_;
    bool mounted_ = false;
    std::string stderr_;
};

#define QARN_REQUIRE_DISK()                                                                  \
    if (!mounted_) {                                                                         \
        const char* why = std::getenv("QARN_NO_TMPFS");                                      \
        if (std::getenv("CI") != nullptr && why == nullptr) FAIL() << "no tmpfs under CI";    \
        GTEST_SKIP() << "no tmpfs could be mounted: " << (why != nullptr ? why : "not root"); \
    }

// A previous installation on the disk: a program, a language file and a file the new
// version drops, with times of their own.
std::vector<TestEntry> previous_version() {
    std::vector<TestEntry> v;
    for (const char* name : {"QARN.exe", "QARN_US.HLP", "OLD.TXT", "Help\\guide.txt"}) {
        TestEntry e = stored(name, std::string("version 1 of ") + name);
        e.ftime = 0x4A2C6341;
        v.push_back(e);
    }
    return v;
}

std::vector<TestEntry> large_new_version(size_t big_kilobytes) {
    TestEntry big;
    big.name = "QARN.exe";
    big.data = random_bytes(big_kilobytes * 1024, 1);
    std::vector<TestEntry> v = {big};
    for (int i = 0; i < 7; ++i) {
        TestEntry small;
        small.name = "small" + std::to_string(i) + ".txt";
        small.data = random_bytes(200, static_cast<uint32_t>(10 + i));
        v.push_back(small);
    }
    v.push_back(stored("QARN_DE.HLP", "german help"));
    return v;
}

TEST_F(FullDisk, AnInstallationThatDoesNotFitChangesNothingAndSaysHowMuchIsNeeded) {
    QARN_REQUIRE_DISK();
    const fs::path target = disk_ / "QARN";
    const fs::path setup = temp_.path() / "setup.bin";
    write_file(setup, build_archive(previous_version()));
    ASSERT_EQ(tools::run_extract(setup.string(), target.string(), {"de", "en", "other"}), 0);
    const FolderSnapshot before = snapshot(target);

    write_file(setup, build_archive(large_new_version(48)));
    const int status = run_faulty(
        [&] { return tools::run_extract(setup.string(), target.string(), {"de", "en"}); }, 0);
    EXPECT_EQ(status, tools::kExitEntriesFailed) << stderr_;
    EXPECT_NE(stderr_.find("not enough free space"), std::string::npos) << stderr_;
    EXPECT_NE(stderr_.find("QARN"), std::string::npos) << "the folder is named: " << stderr_;
    EXPECT_EQ(snapshot(target), before) << snapshot_difference(snapshot(target), before);
}

// The disk fills while the files are written (another program takes the space after the
// room was judged): the run fails and puts the previous installation back, times and
// attributes included; the file of the language no longer chosen is back too.
TEST_F(FullDisk, ADiskThatFillsDuringTheRunGetsThePreviousInstallationBack) {
    QARN_REQUIRE_DISK();
    const fs::path target = disk_ / "QARN";
    const fs::path setup = temp_.path() / "setup.bin";
    write_file(setup, build_archive(previous_version()));
    ASSERT_EQ(tools::run_extract(setup.string(), target.string(), {"de", "en", "other"}), 0);
    const FolderSnapshot before = snapshot(target);
    write_file(setup, build_archive(large_new_version(20)));

    // After the first write, a file beside the folder takes what is left of the disk.
    class Filling final : public TargetFolder {
    public:
        Filling(const char* base, fs::path filler) : TargetFolder(base), filler_(std::move(filler)) {}
        size_t write(platform::NewFile& file, const void* data, size_t count) override {
            if (writes_++ == 1) {
                std::ofstream out(filler_, std::ios::binary);
                const std::string block(4096, 'f');
                while (out.write(block.data(), block.size())) {}
            }
            return TargetFolder::write(file, data, count);
        }

    private:
        fs::path filler_;
        int writes_ = 0;
    };
    std::string base = installer_form(target) + "\\";
    Filling folder(base.c_str(), disk_ / "filler.bin");
    class Quiet final : public ExtractionUser {
    public:
        void show_entry_name(const char*) override {}
        void show_file_error(const char* caption) override { shown = caption; }
        std::string shown;
    } user;
    g_ui_language = kUiEnglish;
    File file = open_shared(installer_form(setup).c_str(), "rb", 1);
    RunSummary summary{};
    EXPECT_NE(install_archive(file, folder, LanguageChoice{{true, false, false}}, user, summary),
              kExtractOk);
    EXPECT_FALSE(user.shown.empty());
    EXPECT_EQ(snapshot(target), before) << snapshot_difference(snapshot(target), before);
}

TEST_F(FullDisk, BuildOntoAFullDiskFailsAndLeavesNoSetupFile) {
    const fs::path product = temp_.path() / "product";
    fs::create_directories(product);
    write_file(product / "data.bin", random_bytes(200 * 1024, 5));  // does not compress
    write_file(product / "readme.txt", text_bytes("read me"));
    const fs::path output = disk_ / "setup.exe";

    const int status = run_faulty(
        [&] { return tools::run_build(product.string(), output.string(), "", 1, ""); }, 32 * 1024);
    ASSERT_NE(status, 100) << "no fault could be set up";
    EXPECT_EQ(status, tools::kExitBuildFailed) << stderr_;
    EXPECT_NE(stderr_.find("setup.exe"), std::string::npos) << stderr_;
    EXPECT_NE(stderr_.find("not written"), std::string::npos) << stderr_;
    // Neither the setup file nor a partial one stays.
    EXPECT_TRUE(fs::is_empty(disk_)) << "left on the disk: " << fs::directory_iterator(disk_)->path();
}

}  // namespace
}  // namespace qarn::test
#endif
