// The uninstall list: the record, written into the setup file at build time and installed
// with the product, of every file the setup file installs, so that the uninstaller can
// remove exactly those and nothing else.
//
// Format (plain ASCII, every line ended by CR LF):
//
//   QARN uninstall list 1         the format tag, always the first line
//   BESTELL.HTM                   one entry name per line, in archive order, '\' between
//   ...                           folders, exactly as the archive stores the name
//   UNINST.LST                    the list's own name, last (the list is an entry too)
//
// The writer is mksetup; the reader is the product's uninstaller, which trusts nothing in
// the file: each line has to pass the installer's own name rules, so a damaged or hostile
// list cannot name anything outside the folder it lies in.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "archive/entry_name_check.h"

namespace qarn {

inline constexpr char kUninstallListTag[] = "QARN uninstall list 1";

// A list longer than this is taken for damaged rather than read: a product of tens of
// thousands of files stays far below it.
inline constexpr size_t kUninstallListMaxBytes = 4u << 20;

// The list's text for `entry_names` (archive order) and the list's own name, which is added
// as the last line.
std::string uninstall_list_text(const std::vector<std::string>& entry_names,
                                const std::string& list_name);

// Why `list_name` cannot name the list of a setup file holding `entry_names`; empty when
// it can. The list lies in the target folder itself, beside the uninstaller that looks for
// it there, so its name is a plain file name: printable ASCII, no folder, accepted by the
// installer, and not the name (ignoring letter case) of another entry or of another entry's
// top folder.
std::string uninstall_list_name_problem(const std::string& list_name,
                                        const std::vector<std::string>& entry_names);

enum class ListLineProblem {
    kNotPlainAscii,  // a byte outside printable ASCII
    kTooLong,        // more than 259 characters
    kNameRefused,    // the installer's name rules refuse it (see `refusal`)
};

struct RefusedListLine {
    size_t line;  // 1 is the tag line
    std::string text;
    ListLineProblem problem;
    NameRefusal refusal;  // for kNameRefused
};

enum class ListVerdict {
    kRead,      // the tag was found; `names` and `refused` hold the lines
    kNoTag,     // not an uninstall list (or a damaged one): nothing in it is used
    kTooLarge,  // over kUninstallListMaxBytes: nothing in it is used
};

struct ListedName {
    std::string name;  // '/' turned into '\'
    size_t line;
};

struct UninstallList {
    ListVerdict verdict = ListVerdict::kNoTag;
    // Accepted names in list order; a name that repeats another (ignoring letter case) is
    // left out.
    std::vector<ListedName> names;
    std::vector<RefusedListLine> refused;
};

// Reads a list's bytes. Lines may end in CR LF or LF alone; empty lines are skipped.
UninstallList read_uninstall_list(std::string_view bytes);

// A short English reason for a refused line, for messages and tests.
std::string refused_line_reason(const RefusedListLine& line);

}  // namespace qarn
