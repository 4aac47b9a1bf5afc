// The shell's special folders (Start menu, desktop, application data).
#pragma once
#include <cstddef>

namespace qarn {

// The file-system path of a shell special folder (CSIDL number); empty when there is none
// or when it does not fit `capacity` bytes (a cut folder is another folder).
void get_special_folder(int csidl, char* out, size_t capacity);

}  // namespace qarn
