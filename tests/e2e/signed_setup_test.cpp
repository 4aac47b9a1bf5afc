// The signed setup file: made, signed and verified by run_signed_e2e.sh, then installed here
// as a user would, on an English system.
#include "tests/e2e/scenario.h"
#include "tools/pe_signature.h"

namespace qarn::e2e {
namespace {

using SignedSetup = Scenario;

TEST_F(SignedSetup, InstallsEveryFileWithTheProposedSettings) {
    // The run must drive the signed file, not the build's unsigned one.
    const tools::PeSignature signature = tools::find_pe_signature(setup_exe());
    ASSERT_EQ(signature.status, tools::PeSignatureStatus::kSigned) << setup_exe();
    EXPECT_EQ(signature.first_type, tools::kCertificateTypePkcsSignedData);

    SetupRun run;
    ASSERT_TRUE(run.start());
    const std::string folder = program_files_dir() + "\\QARN";
    EXPECT_EQ(run.text(kFolderField), folder);
    install_and_expect_success(run);

    EXPECT_EQ(folder_entries(folder), product_files());
    expect_installed(folder, product_files());
    EXPECT_EQ(recorded_dir(), folder);
    EXPECT_EQ(uninstall_value("UninstallString"), uninstall_command_for(folder));
}

}  // namespace
}  // namespace qarn::e2e
