// Shell special folders: only Windows has them.
#include <gtest/gtest.h>

#include <string>

#include "system/paths.h"
#include "system/special_folder_win32.h"

#ifdef _WIN32
namespace qarn {
namespace {

constexpr int kAppData = 26;  // CSIDL_APPDATA

TEST(SpecialFolder, ApplicationDataIsAnExistingFolder) {
    char out[kPathSize] = "stale";
    get_special_folder(kAppData, out, sizeof out);
    ASSERT_STRNE(out, "");
    EXPECT_EQ(check_exists(out), kExists);
}

TEST(SpecialFolder, UnknownNumberGivesEmptyPath) {
    char out[kPathSize] = "stale";
    get_special_folder(0x7F, out, sizeof out);
    EXPECT_STREQ(out, "");
}

TEST(SpecialFolder, TooSmallBufferGivesEmptyPathNotACutOne) {
    char out[4] = "abc";
    get_special_folder(kAppData, out, sizeof out);
    EXPECT_STREQ(out, "");
}

}  // namespace
}  // namespace qarn
#endif
