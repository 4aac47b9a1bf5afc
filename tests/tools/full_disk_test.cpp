// A full disk is a failure, never a success: mksetup extract and mksetup build onto a real,
// tiny file system. As root a 64 KB tmpfs is mounted for the test; where mounting is refused,
// a file-size limit (with SIGXFSZ ignored, so that writes fail instead of the process) makes
// the same fault. Without either the test fails under CI and is skipped elsewhere: it never
// passes without a fault.
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

TEST_F(FullDisk, ExtractOntoAFullDiskFailsNamesTheFileAndLeavesNoWrongFile) {
    // One file that nearly fills the disk, then small ones, as the disk fills at a small
    // file; without a disk, a size limit below the large file makes it fail instead.
    std::vector<TestEntry> entries;
    TestEntry big;
    big.name = "big.bin";
    big.data = random_bytes(60 * 1024, 1);
    entries.push_back(big);
    for (int i = 0; i < 7; ++i) {
        TestEntry small;
        small.name = "small" + std::to_string(i) + ".txt";
        small.data = random_bytes(200, static_cast<uint32_t>(10 + i));
        entries.push_back(small);
    }
    const fs::path setup = temp_.path() / "setup.bin";
    write_file(setup, build_archive(entries));
    const fs::path target = disk_ / "QARN";

    const int status = run_faulty(
        [&] { return tools::run_extract(setup.string(), target.string(), {"de", "en", "other"}); },
        32 * 1024);
    ASSERT_NE(status, 100) << "no fault could be set up";
    EXPECT_EQ(status, tools::kExitEntriesFailed) << stderr_;
    EXPECT_NE(stderr_.find("Cannot install file."), std::string::npos) << stderr_;

    // Whatever is on the disk is exact; the file that failed is named and gone.
    size_t present = 0;
    bool named = false;
    for (const TestEntry& e : entries) {
        const fs::path p = target / e.name;
        if (fs::exists(p)) {
            EXPECT_EQ(read_file(p), e.data) << e.name << " is on the disk but not the product's";
            ++present;
        } else if (stderr_.find(e.name) != std::string::npos) {
            named = true;
        }
    }
    EXPECT_TRUE(named) << "the failing file is not named: " << stderr_;
    EXPECT_LT(present, entries.size());
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
