// A target folder, a setup file written from hand-made entries, and a user that records
// what the run shows.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/extract.h"
#include "languages/language_table.h"
#include "setup/ui_texts.h"
#include "system/paths.h"
#include "tests/support/test_support.h"

namespace qarn::test {

class RecordingUser final : public ExtractionUser {
public:
    void show_entry_name(const char* name) override { shown.emplace_back(name); }
    void show_file_error(const char* caption) override { errors.emplace_back(caption); }
    std::vector<std::string> shown;
    std::vector<std::string> errors;
};

class ExtractTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_language_table();
        g_ui_language = kUiEnglish;
        std::filesystem::create_directories(target_dir());
    }
    void TearDown() override { reset_language_table(); }

    std::filesystem::path target_dir() const { return temp_.path() / "target"; }
    std::filesystem::path setup_file() const { return temp_.path() / "setup.bin"; }

    void write_setup(const std::vector<TestEntry>& entries, const ArchiveOptions& options = {}) {
        write_file(setup_file(), build_archive(entries, options));
    }

    int32_t run_extraction(const std::filesystem::path& setup) {
        const std::string folder = installer_form(target_dir());
        EXPECT_LT(folder.size(), kPathSize);
        char target[kPathSize] = {};
        folder.copy(target, folder.size());
        return extract_archive(user_, installer_form(setup).c_str(), target, sizeof target,
                               languages_);
    }
    int32_t run_extraction() { return run_extraction(setup_file()); }

    void choose_languages(bool german, bool english, bool others) {
        languages_ = LanguageChoice{{german, english, others}};
    }

    TempDir temp_;
    LanguageChoice languages_ = kEveryLanguage;
    RecordingUser user_;
};

}  // namespace qarn::test
