// What an archive run ends with: the installer's extraction, and mksetup's list and test,
// which judge an archive by the code an installation of it would end with. The values are
// the ones the installer has always returned (9 and -1 among them), kept so; what the
// user is told comes from the entry's or the archive's problem, never from the code.
#pragma once
#include <cstdint>

namespace qarn {

enum ExtractResult : int32_t {
    kExtractOk = 0,
    // No record for the run; an entry needs a version outside 13 to 20; an output file
    // cannot be created; an entry's name is refused or does not fit a path.
    kExtractEntryFailed = 1,
    // The setup file cannot be opened or holds no archive; the first entry continues a
    // previous volume; the last one continues in a next volume; no file entry at all; a
    // seek in the file failed.
    kExtractNoArchive = 2,
    // An entry's data checksum or length differs, or its file did not take every byte.
    kExtractChecksum = 3,
    kExtractNoWindowMemory = 9,  // no memory for the 1 MB decoding window
    kExtractNoCopyMemory = -1,   // no memory for the stored copy's 32 KB buffer
};

}  // namespace qarn
