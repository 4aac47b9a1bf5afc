// Both judgements of one archive: `mksetup test` (the plan of an empty folder) and the
// installer's run into a fresh, empty folder, as exit statuses that must agree.
#pragma once
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "archive/extract.h"
#include "archive/planned_destination.h"
#include "languages/language_table.h"
#include "setup/ui_texts.h"
#include "system/paths.h"
#include "tests/support/test_support.h"
#include "tools/commands.h"

namespace qarn::test {

namespace fs = std::filesystem;

class Silent final : public ExtractionUser {
public:
    void show_entry_name(const char*) override {}
    void show_file_error(const char*) override { ++errors; }
    int errors = 0;
};

class Reasons final : public ArchiveListener {
public:
    void on_entry(const EntryInfo& e) override {
        names.emplace_back(e.name);
        problems.push_back(e.problem);
    }
    std::vector<std::string> names;
    std::vector<EntryProblem> problems;
};

class OneJudgement : public ::testing::Test {
protected:
    void SetUp() override {
        reset_language_table();
        g_ui_language = kUiEnglish;
    }
    void TearDown() override { reset_language_table(); }

    fs::path setup_file() const { return temp_.path() / "setup.bin"; }

    // The installer's run into a fresh, empty folder: its ExtractResult.
    int32_t install(const Bytes& archive) {
        write_file(setup_file(), archive);
        const fs::path dir = temp_.path() / ("target" + std::to_string(runs_++));
        fs::create_directories(dir);
        last_target_ = dir;
        const std::string folder = installer_form(dir);
        char target[kPathSize] = {};
        folder.copy(target, folder.size());
        Silent user;
        return extract_archive(user, installer_form(setup_file()).c_str(), target, sizeof target,
                               kEveryLanguage);
    }

    int32_t judge(const Bytes& archive) {
        write_file(setup_file(), archive);
        reasons_ = Reasons();
        summary_ = RunSummary{};
        return test_archive(setup_file().string().c_str(), reasons_, summary_);
    }

    // Both judgements as exit statuses; they must agree, and they are returned.
    int agreed_status(const Bytes& archive) {
        const int tested = tools::exit_status_for(judge(archive));
        const int installed = tools::exit_status_for(install(archive));
        EXPECT_EQ(tested, installed);
        return tested;
    }

    TempDir temp_;
    fs::path last_target_;
    Reasons reasons_;
    RunSummary summary_{};  // of the last judge()
    int runs_ = 0;
};

}  // namespace qarn::test
