#include "archive/undo_journal.h"

#include <cstring>
#include <memory>
#include <new>

#include "archive/entry_name_check.h"
#include "system/paths.h"
#include "system/product_names.h"

namespace qarn {
namespace {

constexpr char kJournalName[] = "JOURNAL";
// A journal holds a few lines per entry; one larger than this is not one of ours.
constexpr uint64_t kLongestJournal = 64u << 20;

// "QARN.UNDO\<name>" into `out`.
bool work_path(char* out, size_t capacity, const char* name) {
    return join_checked(out, capacity, kSetupWorkFolder, "\\") && append_checked(out, name, capacity);
}

bool saved_path(char* out, size_t capacity, uint32_t number) {
    char digits[12];
    int n = 0;
    char reversed[12];
    do {
        reversed[n++] = static_cast<char>('0' + number % 10);
        number /= 10;
    } while (number != 0);
    for (int i = 0; i < n; ++i) digits[i] = reversed[n - 1 - i];
    digits[n] = '\0';
    return work_path(out, capacity, digits);
}

// A name read back from a journal: only a path the installation itself could have made,
// never one into the work folder.
bool acceptable_name(const char* name) {
    if (check_entry_name(name) != NameRefusal::kNone) return false;
    const size_t n = std::strlen(kSetupWorkFolder);
    for (size_t i = 0; i < n; ++i) {
        const char a = name[i], b = kSetupWorkFolder[i];
        if ((a >= 'a' && a <= 'z' ? a - 32 : a) != b) return true;
    }
    return name[n] != '\0' && name[n] != '\\' && name[n] != '/';
}

// Applies a journal: finishes a success, or undoes in reverse order. False when a step
// failed or the journal cannot be read; the journal then stays as it is.
bool replay(TargetFolder& folder) {
    char journal_path[kPathSize];
    work_path(journal_path, sizeof journal_path, kJournalName);
    const platform::Found found = folder.look(journal_path);
    if (found.kind != platform::Kind::kFile || found.size > kLongestJournal) return false;
    const size_t size = static_cast<size_t>(found.size);
    std::unique_ptr<char[]> buffer(new (std::nothrow) char[size + 1]);
    char* text = buffer.get();
    if (text == nullptr || folder.read_file(journal_path, text, size) != static_cast<int64_t>(size)) {
        return false;
    }
    // Only whole lines count: the last one may have been cut by the kill. Each becomes a
    // string in place; the files moved aside are numbered in the order of their lines.
    size_t whole = size;
    while (whole > 0 && text[whole - 1] != '\n') --whole;
    uint32_t moved = 0;
    for (size_t i = 0; i < whole; ++i) {
        if ((i == 0 || text[i - 1] == '\0') && text[i] == 'S') ++moved;
        if (text[i] == '\n') text[i] = '\0';
    }
    // "C" is the last line of a run that succeeded: nothing is written after it.
    const bool succeeded = whole >= 2 && text[whole - 2] == 'C' && (whole == 2 || text[whole - 3] == '\0');
    // Every line is judged before any is acted on: a journal that is not one this
    // installer wrote changes nothing at all.
    for (size_t begin = 0; begin < whole; begin += std::strlen(text + begin) + 1) {
        const char kind = text[begin];
        const char* name = text + begin + 1;
        const bool mark = kind == 'C' && *name == '\0' && begin + 2 == whole;
        if (!mark && (std::strchr("DFNS", kind) == nullptr || kind == '\0' || !acceptable_name(name))) {
            return false;
        }
    }

    bool ok = true;
    bool skip = false;  // an N line cancels the D or F line before it
    char saved[kPathSize];
    for (size_t end = whole; end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && text[begin - 1] != '\0') --begin;
        end = begin;
        const char kind = text[begin];
        const char* name = text + begin + 1;
        if (kind == 'C') continue;
        if (kind == 'N' || skip) {
            skip = kind == 'N';
            continue;
        }
        const platform::Kind here = folder.look(name).kind;
        if (kind == 'S') {
            if (!saved_path(saved, sizeof saved, moved--)) return false;
            const platform::Kind kept = folder.look(saved).kind;
            if (succeeded) {
                if (kept != platform::Kind::kMissing) ok = folder.remove(saved) && ok;
            } else if (kept == platform::Kind::kFile) {
                ok = here == platform::Kind::kMissing && folder.move_file(saved, name) && ok;
            }
        } else if (succeeded) {
            continue;
        } else if (kind == 'F') {
            // What the run made goes; a folder standing there is not its file.
            if (here == platform::Kind::kFile || here == platform::Kind::kLink) {
                ok = folder.remove(name) && ok;
            }
        } else if (here == platform::Kind::kFolder) {
            // Only an empty folder goes: anything in it is not this run's to remove.
            folder.remove(name);
        }
    }
    if (!ok) return false;
    return folder.remove(journal_path) && folder.remove(kSetupWorkFolder);
}

}  // namespace

bool UndoJournal::begin() {
    char journal_path[kPathSize];
    if (!work_path(journal_path, sizeof journal_path, kJournalName) ||
        !folder_.make_folder(kSetupWorkFolder)) {
        return false;
    }
    journal_ = folder_.create_file(journal_path);
    if (!journal_) {
        folder_.remove(kSetupWorkFolder);
        return false;
    }
    return true;
}

bool UndoJournal::append(char kind, const char* relative, bool must_reach_disk) {
    char line[kPathSize + 2] = {kind};
    if (!append_checked(line, relative, sizeof line) || !append_checked(line, "\n", sizeof line)) {
        return false;
    }
    const size_t length = std::strlen(line);
    // On the disk before the change it announces: a power loss may come next.
    if (folder_.write(journal_, line, length) != length) return false;
    return folder_.flush(journal_) || !must_reach_disk;
}

bool UndoJournal::note_folder(const char* relative) { return append('D', relative); }

bool UndoJournal::note_file(const char* relative) { return append('F', relative); }

void UndoJournal::note_not_made(const char* relative) { append('N', relative); }

bool UndoJournal::move_aside(const char* relative) {
    char saved[kPathSize];
    if (!saved_path(saved, sizeof saved, moved_ + 1) || !append('S', relative)) return false;
    ++moved_;
    return folder_.move_file(relative, saved);
}

bool UndoJournal::commit() {
    // Without the mark a next run would take this one for a killed one and undo it. Once
    // the line is written whole the run has succeeded, whatever forcing it to the disk
    // says: only a power loss before it reaches the disk could still have it undone,
    // which leaves the previous installation whole.
    if (!append('C', "", false)) return false;
    journal_.close();
    replay(folder_);
    return true;
}

bool UndoJournal::undo() {
    journal_.close();
    return replay(folder_);
}

Recovery recover_interrupted_run(TargetFolder& folder) {
    const platform::Found work = folder.look(kSetupWorkFolder);
    if (work.kind == platform::Kind::kMissing) return Recovery::kNothingLeft;
    if (work.kind != platform::Kind::kFolder) return Recovery::kFailed;
    // A run killed before its journal was made leaves an empty work folder.
    char journal_path[kPathSize];
    work_path(journal_path, sizeof journal_path, kJournalName);
    if (folder.look(journal_path).kind == platform::Kind::kMissing) {
        return folder.remove(kSetupWorkFolder) ? Recovery::kRecovered : Recovery::kFailed;
    }
    return replay(folder) ? Recovery::kRecovered : Recovery::kFailed;
}

}  // namespace qarn
