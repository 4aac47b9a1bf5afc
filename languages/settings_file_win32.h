// The product's settings file QARN.INI: where it lives, and its "Language" entry (section
// "QARN"), which an installation brings into line with the languages chosen.
#pragma once
#include <cstddef>

#include "languages/language_table.h"

namespace qarn {

// Keeps `path` when a file exists there (a settings file in the target folder stays in
// use); otherwise moves it to the per-user home of the file (relocate_settings_file).
// False when no home can be had or the path would not fit: the settings step is then
// skipped, never run on a cut path.
bool place_settings_file(char* path, size_t capacity);

// `path` becomes <application data>\Obrelux\<its file name> (the Windows folder stands in
// when the system names no application-data folder); the maker folder is created when
// missing. False, and `path` unchanged, when no folder can be had or the result would not
// fit.
bool relocate_settings_file(char* path, size_t capacity);

// The same with the home folder given.
bool relocate_settings_file_into(const char* home_folder, char* path, size_t capacity);

// Reconciles "Language" with the languages chosen: a legacy "GR" becomes "DE"; a value
// that names a chosen language stays; otherwise, with exactly one language chosen, its
// code is written; with more, the entry is left as it is.
void write_settings_language(const char* path, const LanguageChoice& languages);

}  // namespace qarn
