// The order of the files in the solid stream. A match reaches one megabyte back, so what a
// file can borrow from the others depends on which files lie just before it; a folder's
// order (by extension, then name) leaves copies of a DLL's runtime code, an import
// library's headers or a licence text many megabytes apart.
//
// The content order chains files by what they share: each next file is the one that the
// files still within the window (the last megabyte) cover best, counted in the samples of
// their sketches (content_sketch.h). A file nothing covers is followed by the first file
// left in the default order: by kind (texts, libraries, programs by processor, the rest,
// images last), then in the order given, which is the folder order. The order depends on
// nothing but the sketches and that order: the same files give the same stream on every
// system and with any number of threads.
#pragma once
#include <cstdint>
#include <vector>

#include "pack/content_sketch.h"

namespace qarn {

enum class SolidOrder : uint8_t {
    kFolder,   // as given (mksetup: by extension, then by name)
    kContent,  // chained by content, see above
};

// The content order of `files` (given in folder order) as indexes into it; false when
// memory ran out.
bool content_order(const std::vector<const ContentSketch*>& files, std::vector<uint32_t>& order);

}  // namespace qarn
