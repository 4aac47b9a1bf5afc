// The install sequence's order, natively: what it shows and records, in which order, and
// what it leaves undone when a step fails. The user and the system steps are recorded.
#include "setup/install_sequence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "setup/ui_texts.h"
#include "tests/support/test_support.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

class Recorder final : public InstallUser, public SystemSteps {
public:
    void show_entry_name(const char* name) override { entries.emplace_back(name); }
    void show_file_error(const char* caption) override { log("file error " + std::string(caption)); }
    void show_folder(const char* folder) override { log("folder " + std::string(folder)); }
    void show_path_error(const char* folder) override { log("path error " + std::string(folder)); }
    void show_no_room(const char* folder, uint64_t, uint64_t) override {
        log("no room " + std::string(folder));
    }
    void extraction_starts() override { log("extraction starts"); }
    void extraction_ended() override { log("extraction ended"); }
    void show_success() override { log("success"); }
    void record_target_folder(const char* folder) override { log("record " + std::string(folder)); }
    void create_shortcuts(const char* folder, bool start_menu, bool desktop, bool german) override {
        log("shortcuts " + std::string(folder) + (start_menu ? " menu" : "") +
            (desktop ? " desktop" : "") + (german ? " german" : ""));
    }
    void register_uninstaller(const char* path) override { log("uninstaller " + std::string(path)); }
    void reconcile_settings(const char* folder, const LanguageChoice& l) override {
        log("settings " + std::string(folder) + (l.has(ProductLanguage::kGerman) ? " de" : ""));
    }
    std::vector<std::string> steps;
    std::vector<std::string> entries;

private:
    void log(std::string s) { steps.push_back(std::move(s)); }
};

class InstallSequence : public ::testing::Test {
protected:
    void SetUp() override { g_ui_language = kUiEnglish; }

    std::string folder() const { return installer_form(temp_.path() / "Programs" / "QARN"); }
    InstallOutcome install(const Bytes& archive, const std::string& typed, bool german = true) {
        write_file(temp_.path() / "setup.bin", archive);
        InstallRequest request{};
        typed.copy(request.folder, sizeof request.folder - 1);
        request.languages = LanguageChoice{{german, true, false}};
        request.start_menu = true;
        request.desktop_icon = false;
        return run_install(request, installer_form(temp_.path() / "setup.bin").c_str(), recorder_,
                           recorder_);
    }
    Bytes product() const {
        return build_archive({stored("QARN.exe", "program"), stored("QARN_DE.HLP", "de"),
                              stored("Help\\guide.txt", "guide")});
    }

    TempDir temp_;
    Recorder recorder_;
};

TEST_F(InstallSequence, EveryStepInItsOrder) {
    const InstallOutcome done = install(product(), folder());
    ASSERT_EQ(done.result, kInstallDone);
    const std::string f = folder();
    const std::vector<std::string> expected = {
        "record " + f,
        "extraction starts",
        "extraction ended",
        "shortcuts " + f + "\\ menu german",
        "uninstaller " + f + "\\UnInst.exe",
        "settings " + f + "\\ de",
        "success"};
    EXPECT_EQ(recorder_.steps, expected);
    EXPECT_EQ(recorder_.entries, (std::vector<std::string>{"QARN.exe", "QARN_DE.HLP", "Help\\guide.txt"}));
    EXPECT_EQ(read_file(temp_.path() / "Programs" / "QARN" / "Help" / "guide.txt"), text_bytes("guide"));
}

TEST_F(InstallSequence, AnEmptyFieldDoesNothingAtAll) {
    EXPECT_EQ(install(product(), "").result, kInstallNoFolder);
    EXPECT_TRUE(recorder_.steps.empty());
}

TEST_F(InstallSequence, ABadSetupFileLeavesNoFolderAndNoRecord) {
    Bytes cut = product();
    cut.resize(cut.size() - 3);
    const InstallOutcome done = install(cut, folder());
    EXPECT_EQ(done.result, kInstallExtractFailed);
    ASSERT_EQ(recorder_.steps.size(), 1u);
    EXPECT_EQ(recorder_.steps[0].rfind("file error", 0), 0u) << recorder_.steps[0];
    EXPECT_FALSE(fs::exists(temp_.path() / "Programs"));
}

TEST_F(InstallSequence, AFolderTooLongForTheLongestNameIsRefusedBeforeItIsMade) {
    const std::string deep = folder() + "\\" + std::string(250 - folder().size(), 'd');
    const InstallOutcome done =
        install(build_archive({stored(std::string(20, 'n') + ".txt", "x")}), deep);
    EXPECT_EQ(done.result, kInstallBadFolder);
    EXPECT_EQ(recorder_.steps, std::vector<std::string>{"path error " + deep});
    EXPECT_FALSE(fs::exists(temp_.path() / "Programs"));
}

TEST_F(InstallSequence, WithoutGermanTheGermanOrderFormGetsNoShortcut) {
    ASSERT_EQ(install(product(), folder(), false).result, kInstallDone);
    EXPECT_EQ(recorder_.steps[3], "shortcuts " + folder() + "\\ menu");
    EXPECT_FALSE(fs::exists(temp_.path() / "Programs" / "QARN" / "QARN_DE.HLP"));
}

TEST_F(InstallSequence, AFailedExtractionRecordsTheFolderButRegistersNothing) {
    // A file where the program goes: the extraction fails after the record.
    fs::create_directories(temp_.path() / "Programs" / "QARN" / "QARN.exe");
    const InstallOutcome done = install(product(), folder());
    EXPECT_EQ(done.result, kInstallExtractFailed);
    const std::string f = folder();
    const std::vector<std::string> expected = {"record " + f, "extraction starts",
                                               "file error " + f + "\\QARN.exe"};
    EXPECT_EQ(recorder_.steps, expected);
}

TEST_F(InstallSequence, AWorkFolderThatCannotBePutBackStopsEverythingAndIsNamed) {
    // A journal no run of ours wrote: nothing is recovered, checked, recorded or written.
    const fs::path work = temp_.path() / "Programs" / "QARN" / "QARN.UNDO";
    fs::create_directories(work);
    write_file(work / "JOURNAL", text_bytes("F..\\outside.txt\n"));
    const InstallOutcome done = install(product(), folder());
    EXPECT_EQ(done.result, kInstallExtractFailed);
    EXPECT_EQ(recorder_.steps, std::vector<std::string>{"file error " + folder() + "\\QARN.UNDO"});
    EXPECT_FALSE(fs::exists(temp_.path() / "Programs" / "QARN" / "QARN.exe"));
}

TEST_F(InstallSequence, AFolderTypedWithoutItsRootIsMadeFullAndShown) {
    const fs::path cwd = fs::current_path();
    fs::current_path(temp_.path());
    const InstallOutcome done = install(product(), "Relative");
    fs::current_path(cwd);
    ASSERT_EQ(done.result, kInstallDone);
    EXPECT_EQ(recorder_.steps[0], "folder " + installer_form(temp_.path() / "Relative"));
    EXPECT_EQ(recorder_.steps[1], "record " + installer_form(temp_.path() / "Relative"));
}

}  // namespace
}  // namespace qarn::test
