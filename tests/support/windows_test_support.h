// Helpers of the Windows-only tests: registry roots redirected into a scratch key, COM for
// the shell link object, and reading link files back.
#pragma once
#include <windows.h>

#include <string>

namespace qarn::test {

// While alive, HKEY_CURRENT_USER or HKEY_LOCAL_MACHINE of this process is an empty scratch
// key (RegOverridePredefKey), removed again at the end: the tests never touch the real
// records, and start from "no earlier installation" every time. The scratch key is not
// volatile, since the installer creates lasting keys below it.
class RegistryRedirect {
public:
    explicit RegistryRedirect(HKEY root);
    ~RegistryRedirect();
    RegistryRedirect(const RegistryRedirect&) = delete;
    RegistryRedirect& operator=(const RegistryRedirect&) = delete;

private:
    HKEY root_;
    HKEY scratch_ = nullptr;
    std::string scratch_path_;
};

// A string value under a key of `root`, or "<missing>".
std::string registry_text(HKEY root, const std::string& key, const std::string& value);
void set_registry_text(HKEY root, const std::string& key, const std::string& value,
                       const std::string& text);
// Number of values under the key; -1 when the key is missing.
int registry_value_count(HKEY root, const std::string& key);

// COM initialised on this thread for the test's lifetime.
class ComScope {
public:
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
};

struct LinkInfo {
    bool loaded = false;
    std::string target;
    std::string working_folder;
    std::string description;
};
// Reads a link file through the shell link object.
LinkInfo read_link(const std::string& link_file);

// Makes `link` a symbolic link to `target` (Windows paths, without blanks). Under Wine, whose
// own symbolic-link calls report success and make nothing, that is a Unix symbolic link,
// made by /bin/ln, which Wine starts as a Unix program; Wine follows it on every open. On
// Windows it is a symbolic link, where the account may make one. False, `why` saying why,
// when neither can be made.
bool make_symbolic_link(const std::string& link, const std::string& target, bool folder,
                        std::string& why);

// Removes the folder with everything in it, links removed as links, never followed. (Wine
// removes through a Unix link what it leads to, and a Unix link whose target is gone is
// invisible to Windows programs but keeps its folder from being removed; so under Wine this
// is /bin/rm -rf.)
void remove_tree(const std::string& folder);

}  // namespace qarn::test
