// An installation either completes or leaves the folder as it was: over a previous
// installation, a run that fails at any one of its steps (every folder made, file made,
// write, close, move aside and removal, the journal's own included) puts it back, times
// and attributes too; a run killed at any step is put back by the next; a journal that
// is not one of ours is refused, and nothing is touched for it.
#include <gtest/gtest.h>

#if defined(__linux__)
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "archive/undo_journal.h"
#include "tests/support/extract_fixture.h"
#include "tests/support/folder_snapshot.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

// Fails the n-th change it is asked to make (counting from 1), or, when `kill` is set,
// ends the process there as a power loss would, after writing half of it.
class FaultyFolder final : public TargetFolder {
public:
    FaultyFolder(const char* base, int fail_at, bool kill = false)
        : TargetFolder(base), fail_at_(fail_at), kill_(kill) {}

    bool make_folder(const char* r) override { return step() && TargetFolder::make_folder(r); }
    bool move_file(const char* a, const char* b) override {
        return step() && TargetFolder::move_file(a, b);
    }
    bool remove(const char* r) override { return step() && TargetFolder::remove(r); }
    platform::NewFile create_file(const char* r) override {
        return step() ? TargetFolder::create_file(r) : platform::NewFile();
    }
    size_t write(platform::NewFile& f, const void* data, size_t count) override {
        if (step()) return TargetFolder::write(f, data, count);
        return kill_ ? 0 : TargetFolder::write(f, data, count / 2);  // a write that stores less
    }
    bool flush(platform::NewFile& f) override { return step() && TargetFolder::flush(f); }
    bool finish(platform::NewFile& f, uint32_t t, uint32_t a) override {
        if (step()) return TargetFolder::finish(f, t, a);
        f.close();
        return false;
    }
    int steps() const { return steps_; }

private:
    bool step() {
        if (++steps_ != fail_at_) return true;
#if defined(__linux__)
        if (kill_) ::_exit(9);
#endif
        return false;
    }
    int fail_at_;
    bool kill_;
    int steps_ = 0;
};

class Undo : public ExtractTest {
protected:
    // The previous installation: files of every kind the new version meets.
    void install_previous() {
        // The last round's read-only file must not keep its folder alive.
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(target_dir(), ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
            fs::permissions(it->path(), fs::perms::owner_write, fs::perm_options::add, ec);
        }
        fs::remove_all(target_dir());
        fs::create_directories(target_dir());
        std::vector<TestEntry> v;
        for (const char* name : {"QARN.exe", "QARN_US.HLP", "OLD.TXT", "Help\\guide.txt"}) {
            TestEntry e = stored(name, std::string("version 1 of ") + name + std::string(300, '1'));
            e.ftime = 0x4A2C6341;
            v.push_back(e);
        }
        TestEntry ro = stored("LOCKED.DAT", "read-only, kept");
        ro.attr = 0x21;
        v.push_back(ro);
        write_setup(v);
        languages_ = kEveryLanguage;
        ASSERT_EQ(run_extraction(), kExtractOk);
    }
    // The new version: other sizes, a file dropped, new folders, German only.
    void write_new_version() {
        write_setup({stored("QARN.exe", std::string(5000, 'n')),
                     stored("Help\\guide.txt", "version 2"),
                     stored("NEW\\deep\\x.txt", std::string(2000, 'x')),
                     stored("QARN_DE.HLP", "german help"), stored("QARN_US.HLP", "english help"),
                     stored("README.TXT", "read me")});
        languages_ = LanguageChoice{{true, false, false}};
    }
    int32_t install_with(TargetFolder& folder) {
        File file = open_shared(installer_form(setup_file()).c_str(), "rb", 1);
        RunSummary summary{};
        return install_archive(file, folder, languages_, user_, summary);
    }
    std::string base() const { return installer_form(target_dir()) + "\\"; }
};

TEST_F(Undo, AFailureAtAnyStepLeavesThePreviousInstallationAsItWas) {
    int failures = 0;
    for (int k = 1;; ++k) {
        install_previous();
        const FolderSnapshot before = snapshot(target_dir());
        write_new_version();
        const std::string b = base();
        FaultyFolder folder(b.c_str(), k);
        const int32_t result = install_with(folder);
        if (result == kExtractOk) {
            // Past the run's last step: its commit. A deletion it could not make is made by
            // the next run, which finds the work folder.
            PlainTargetFolder plain(b.c_str());
            EXPECT_NE(recover_interrupted_run(plain), Recovery::kFailed);
            EXPECT_FALSE(fs::exists(target_dir() / "QARN.UNDO")) << "step " << k;
            EXPECT_EQ(read_file(target_dir() / "Help" / "guide.txt"), text_bytes("version 2"));
            if (k > folder.steps()) break;
            continue;
        }
        ++failures;
        EXPECT_EQ(snapshot(target_dir()), before)
            << "failed at step " << k << ":" << snapshot_difference(snapshot(target_dir()), before);
        if (HasFailure()) return;
    }
    EXPECT_GT(failures, 20);
}

TEST_F(Undo, AReadOnlyFileOfThePreviousInstallationIsNotReplaced) {
    install_previous();
    const FolderSnapshot before = snapshot(target_dir());
    write_setup({stored("QARN.exe", "new"), stored("LOCKED.DAT", "new")});
    EXPECT_EQ(run_extraction(), kExtractEntryFailed);
    EXPECT_EQ(snapshot(target_dir()), before);
}

TEST_F(Undo, TheNextRunFindsTheWorkFolderAndPutsThePreviousInstallationBack) {
    install_previous();
    const FolderSnapshot before = snapshot(target_dir());
    write_new_version();
    const std::string b = base();
    // A run stopped before its undo: the journal and what was moved aside stay.
    class Stops final : public TargetFolder {
    public:
        using TargetFolder::TargetFolder;
        bool finish(platform::NewFile& f, uint32_t, uint32_t) override {
            f.close();
            return false;
        }
        bool remove(const char*) override { return false; }  // nor can anything be removed
    } stops(b.c_str());
    EXPECT_NE(install_with(stops), kExtractOk);
    ASSERT_TRUE(fs::is_directory(target_dir() / "QARN.UNDO"));
    // What the user would meet: setup started again.
    write_new_version();
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_FALSE(fs::exists(target_dir() / "QARN.UNDO"));
    EXPECT_FALSE(fs::exists(target_dir() / "QARN_US.HLP"));
    EXPECT_EQ(read_file(target_dir() / "OLD.TXT"), before.at("OLD.TXT").data)
        << "a file the new version does not have stays as the user had it";
}

TEST_F(Undo, AJournalThatIsNotOursIsRefusedAndNothingIsTouched) {
    install_previous();
    const std::string b = base();
    fs::create_directories(target_dir() / "QARN.UNDO");
    write_file(target_dir() / "QARN.UNDO" / "1", text_bytes("planted"));
    for (const char* journal : {"F..\\outside.txt\n", "FC:\\Windows\\x.dll\n",
                                "S\\\\server\\share\\x\n", "FQARN.UNDO\\1\n", "Xnothing\n",
                                "F..\\x\nFQARN.exe\n", "FQARN.exe\nC\nFOLD.TXT\n"}) {
        write_file(target_dir() / "QARN.UNDO" / "JOURNAL", text_bytes(journal));
        const FolderSnapshot before = snapshot(target_dir());
        PlainTargetFolder folder(b.c_str());
        EXPECT_EQ(recover_interrupted_run(folder), Recovery::kFailed) << journal;
        EXPECT_EQ(snapshot(target_dir()), before) << journal;
    }
    // And the installation is not made over it.
    write_new_version();
    EXPECT_NE(run_extraction(), kExtractOk);
    EXPECT_TRUE(fs::exists(target_dir() / "QARN.UNDO" / "JOURNAL"));
}

#if defined(__linux__)
// A run killed at each step in turn (the half-written journal line included), then the
// next run's recovery: the previous installation, byte for byte.
TEST_F(Undo, ARunKilledAtAnyStepIsPutBackByTheNext) {
    int kills = 0;
    for (int k = 1;; ++k) {
        install_previous();
        const FolderSnapshot before = snapshot(target_dir());
        write_new_version();
        const std::string b = base();
        const pid_t pid = ::fork();
        if (pid == 0) {
            FaultyFolder folder(b.c_str(), k, true);
            ::_exit(install_with(folder) == kExtractOk ? 0 : 1);
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) != 9) break;  // the run ended before step k: all covered
        ++kills;
        PlainTargetFolder folder(b.c_str());
        const Recovery recovered = recover_interrupted_run(folder);
        EXPECT_NE(recovered, Recovery::kFailed) << "killed at step " << k;
        EXPECT_FALSE(fs::exists(target_dir() / "QARN.UNDO")) << "killed at step " << k;
        const FolderSnapshot after = snapshot(target_dir());
        // Killed during the commit, the new version stays whole; before it, the old one.
        if (after.count("README.TXT") != 0) {
            EXPECT_EQ(read_file(target_dir() / "README.TXT"), text_bytes("read me")) << k;
            EXPECT_EQ(after.count("QARN_US.HLP"), 0u) << k;
        } else {
            EXPECT_EQ(after, before) << "killed at step " << k << ":"
                                     << snapshot_difference(after, before);
        }
        if (HasFailure()) return;
    }
    EXPECT_GT(kills, 20);
}
#endif

}  // namespace
}  // namespace qarn::test
