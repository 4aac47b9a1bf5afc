#include "tests/e2e/scenario.h"

#include <cstdio>

namespace qarn::e2e {

FileLanguage language_of(const std::string& name) {
    // QARN_xx.ext: the suffix decides, compared without regard to case.
    if (name.size() < 8 || name[7] != '.' || _strnicmp(name.c_str(), "QARN_", 5) != 0) {
        return FileLanguage::kNone;
    }
    if (_strnicmp(name.c_str() + 5, "DE", 2) == 0) return FileLanguage::kGerman;
    if (_strnicmp(name.c_str() + 5, "US", 2) == 0) return FileLanguage::kEnglish;
    return FileLanguage::kOther;
}

std::vector<std::string> files_for(bool german, bool english, bool others) {
    std::vector<std::string> names;
    for (const std::string& name : product_files()) {
        switch (language_of(name)) {
            case FileLanguage::kNone: names.push_back(name); break;
            case FileLanguage::kGerman: if (german) names.push_back(name); break;
            case FileLanguage::kEnglish: if (english) names.push_back(name); break;
            case FileLanguage::kOther: if (others) names.push_back(name); break;
        }
    }
    return names;
}

void expect_installed(const std::string& folder, const std::vector<std::string>& names) {
    expect_installed_from(product_dir(), folder, names);
}

void expect_installed_from(const std::string& product, const std::string& folder,
                           const std::vector<std::string>& names) {
    for (const std::string& name : names) {
        const std::string installed = folder + "\\" + name;
        const std::string original = product + "\\" + name;
        ASSERT_TRUE(exists(installed)) << installed;
        EXPECT_TRUE(file_bytes(installed) == file_bytes(original)) << installed;
        EXPECT_EQ(dos_time_of(installed), dos_time_of(original)) << installed;
    }
}

void expect_absent(const std::string& folder, const std::vector<std::string>& names) {
    for (const std::string& name : names) EXPECT_FALSE(exists(folder + "\\" + name)) << name;
}

void expect_english_texts(const SetupRun& run) {
    EXPECT_EQ(run.text(kFolderLabel), "Install to:");
    EXPECT_EQ(run.text(kExitButton), "Exit");
    EXPECT_EQ(run.text(kLanguageFrame), "Language");
    EXPECT_EQ(run.text(kStartMenuBox), "Put entry to Start Menu");
    EXPECT_EQ(run.text(kDesktopBox), "Put icon to Desktop");
    EXPECT_EQ(run.text(kBoxOtherLanguages), "Additional languages");
}

void expect_german_texts(const SetupRun& run) {
    EXPECT_EQ(run.text(kFolderLabel), "Zielpfad:");
    EXPECT_EQ(run.text(kExitButton), "Beenden");
    EXPECT_EQ(run.text(kLanguageFrame), "Sprache");
    EXPECT_EQ(run.text(kStartMenuBox), "Programmgruppe erstellen");
    EXPECT_EQ(run.text(kDesktopBox), "Desktop-Icon erstellen");
    EXPECT_EQ(run.text(kBoxOtherLanguages), "Weitere Sprachen");
}

DWORD install_and_expect_success(SetupRun& run) {
    const ULONGLONG pressed = GetTickCount64();
    run.click(kOkButton);
    const MessageBoxSeen box = run.wait_for_message_box();
    const DWORD elapsed = static_cast<DWORD>(box.seen_at - pressed);
    EXPECT_NE(box.window, nullptr) << "no success message";
    if (box.window == nullptr) return elapsed;
    std::printf("  OK to success message: %lu ms\n", static_cast<unsigned long>(elapsed));
    EXPECT_EQ(box.text, "Zentrivo has been successfully installed.");
    EXPECT_EQ(box.caption, "  Setup ");
    EXPECT_TRUE(box.information_icon);
    SetupRun::close_message_box(box);
    EXPECT_EQ(run.wait_for_exit(), 0);
    return elapsed;
}

void expect_folder_refused(SetupRun& run, const std::string& folder, const std::string& text) {
    run.type(kFolderField, folder);
    run.click(kOkButton);
    const MessageBoxSeen box = run.wait_for_message_box();
    ASSERT_NE(box.window, nullptr) << "no folder error box";
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, folder);
    EXPECT_TRUE(box.error_icon);
    SetupRun::close_message_box(box);
    EXPECT_TRUE(run.still_waiting_after(300));
}

void install_with_defaults_into(const std::string& folder) {
    SetupRun run;
    ASSERT_TRUE(run.start());
    run.type(kFolderField, folder);
    install_and_expect_success(run);
}

namespace {

class IconReferences : public ::testing::Environment {
public:
    void SetUp() override { prepare_icon_references(); }
};

// Registered before main runs the tests (gtest_main gives main).
::testing::Environment* const g_icon_references =
    ::testing::AddGlobalTestEnvironment(new IconReferences);

}  // namespace

}  // namespace qarn::e2e
