// Shared steps of the end-to-end scenarios.
#pragma once
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/control_ids.h"
#include "tests/e2e/setup_driver.h"
#include "tests/e2e/system_state.h"
#include "tests/support/windows_test_support.h"

namespace qarn::e2e {

// Which language box a product file follows.
enum class FileLanguage { kNone, kGerman, kEnglish, kOther };
FileLanguage language_of(const std::string& name);

// The product files an installation with these boxes writes.
std::vector<std::string> files_for(bool german, bool english, bool others);

// Every one of `names` is in `folder` with the product's bytes and archive time.
void expect_installed(const std::string& folder, const std::vector<std::string>& names);
// The same for another product than the demo's, whose files are in `product`.
void expect_installed_from(const std::string& product, const std::string& folder,
                           const std::vector<std::string>& names);
// None of `names` is in `folder`.
void expect_absent(const std::string& folder, const std::vector<std::string>& names);

// The six interface texts in the dialog's language.
void expect_english_texts(const SetupRun& run);
void expect_german_texts(const SetupRun& run);

// Presses OK and expects the success box: its text, caption and icon; closes it and waits
// for the setup to end. Gives the milliseconds from the press to the box.
DWORD install_and_expect_success(SetupRun& run);

// Types `folder`, presses OK and expects the folder error box with `text`, captioned with
// the folder and showing the error icon; closes it and expects the dialog to stay.
void expect_folder_refused(SetupRun& run, const std::string& folder, const std::string& text);

// A whole installation into `folder` with the boxes as they start.
void install_with_defaults_into(const std::string& folder);

// Scenarios start from a system without any earlier installation, with COM for the links.
class Scenario : public ::testing::Test {
protected:
    void SetUp() override { forget_installations(); }
    void TearDown() override { forget_installations(); }

    test::ComScope com_;
};

}  // namespace qarn::e2e
