// The target of a shell link file, read through the shell link object (IShellLinkA, loaded
// through IPersistFile). COM must be initialised on the calling thread.
#pragma once
#include <cstddef>

namespace qarn::uninstall {

// The target path as the link stores it, not resolved against the disk (a link whose
// target is already gone still tells where it pointed). False, `out` empty, when the file
// cannot be loaded as a link or the target does not fit.
bool read_link_target(const char* link_file, char* out, size_t capacity);

}  // namespace qarn::uninstall
