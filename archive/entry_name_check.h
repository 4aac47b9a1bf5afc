// Entry names that would lead outside the target folder, or that Windows would turn into
// something other than a plain file there, are refused before anything touches the file
// system for them.
#pragma once

namespace qarn {

enum class NameRefusal {
    kNone,
    kEmpty,               // nothing to name a file with
    kParentComponent,     // a ".." component
    kDriveOrColon,        // "C:" or any colon (drive, alternate data stream)
    kLeadingSeparator,    // rooted: "\x" or "/x" (and so also UNC "\\server")
    kReservedDevice,      // CON, PRN, AUX, NUL, COM1-9, LPT1-9, with or without extension
    kTrailingDotOrSpace,  // Windows drops them, so "a." would name "a"
    kEmptyComponent,      // "a\\b": a doubled separator
    kControlCharacter,    // bytes below 0x20 and the characters Windows forbids in names
};

// Checks a name as stored in an archive (either separator).
NameRefusal check_entry_name(const char* name);

// A short English reason, for messages.
const char* name_refusal_text(NameRefusal refusal);

}  // namespace qarn
