// Entry names that would lead out of the target folder: nothing outside it is written,
// removed or given new times or attributes, and the run ends with 1 after showing the name.
#include "platform/platform.h"
#include "tests/support/extract_fixture.h"

namespace qarn::test {
namespace {

namespace fs = std::filesystem;

class HostileNames : public ExtractTest {
protected:
    // A bystander file beside the target folder, which a ".." name would reach.
    fs::path bystander() const { return temp_.path() / "QARN_US.HLP"; }

    void expect_refused(const std::string& name) {
        SCOPED_TRACE(name);
        write_file(bystander(), text_bytes("precious"));
        const auto before = fs::last_write_time(bystander());
        user_.errors.clear();
        user_.shown.clear();

        TestEntry e;
        e.name = name;
        e.data = text_bytes("payload");
        e.attr = 0x21;  // read-only, were it applied
        e.ftime = 0x21210000;
        TestEntry later;
        later.name = "later.txt";
        later.data = text_bytes("later");
        write_setup({e, later});

        EXPECT_EQ(run_extraction(), kExtractEntryFailed);
        std::string caption = name;  // the name as the run shows it, separators as '\'
        for (char& c : caption) {
            if (c == '/') c = '\\';
        }
        EXPECT_EQ(user_.errors, std::vector<std::string>{caption});
        EXPECT_TRUE(user_.shown.empty()) << "a refused entry never reaches its data step";
        EXPECT_EQ(read_file(bystander()), text_bytes("precious"));
        EXPECT_EQ(fs::last_write_time(bystander()), before);
        EXPECT_EQ(platform::get_file_attributes(installer_form(bystander()).c_str()) & 1u, 0u);
        EXPECT_FALSE(fs::exists(target_dir() / "later.txt"));
        // Nothing new beside the target folder: only the setup file, the bystander and it.
        size_t count = 0;
        for (const auto& item : fs::directory_iterator(temp_.path())) {
            (void)item;
            ++count;
        }
        EXPECT_EQ(count, 3u);
    }
};

TEST_F(HostileNames, ParentComponentsAreRefusedBeforeTheLanguageFilterRemovesAnything) {
    // With English not chosen, the filter would remove ..\QARN_US.HLP were the name let in.
    choose_languages(true, false, true);
    expect_refused("..\\QARN_US.HLP");
    expect_refused("../QARN_US.HLP");
    expect_refused("sub\\..\\..\\QARN_US.HLP");
}

TEST_F(HostileNames, RootedDriveUncAndDeviceNamesAreRefused) {
    expect_refused(installer_form(bystander()));  // an absolute path to the bystander
    expect_refused("\\QARN_US.HLP");
    expect_refused("/tmp/qarn-escape.txt");
    expect_refused("\\\\server\\share\\x.txt");
    expect_refused("C:QARN_US.HLP");
    expect_refused("NUL.txt");
    expect_refused("sub\\com1");
    expect_refused("trailing.");
    expect_refused("trailing ");
}

TEST_F(HostileNames, PathThatWouldNotFitIsRefusedWithoutBeingCut) {
    const std::string folder = installer_form(target_dir());
    ASSERT_LT(folder.size(), 200u);
    // Exactly one character too many for a 259-character path.
    const std::string name(259 - folder.size(), 'n');
    expect_refused(name);
    // One fewer fits.
    TestEntry fits;
    fits.name = name.substr(1);
    fits.data = text_bytes("fits");
    write_setup({fits});
    user_.errors.clear();
    EXPECT_EQ(run_extraction(), kExtractOk);
    EXPECT_EQ(read_file(target_dir() / fits.name), text_bytes("fits"));
}

}  // namespace
}  // namespace qarn::test
