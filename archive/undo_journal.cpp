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

// One journal line, split: its kind, the number of an S line, the name.
struct Line {
    char kind;
    uint32_t number;
    char name[kPathSize];
};

// Parses the line [begin, end) (without its line end). False for a line no run writes.
bool parse(const char* begin, const char* end, Line& line) {
    if (begin == end) return false;
    line = Line{begin[0], 0, {}};
    if (line.kind == 'C') return end - begin == 1;
    const char* p = begin + 1;
    if (p == end || *p++ != ' ') return false;
    if (line.kind == 'S') {
        if (p == end || *p < '0' || *p > '9') return false;
        while (p != end && *p >= '0' && *p <= '9') {
            if (line.number > 100000000u) return false;
            line.number = line.number * 10 + static_cast<uint32_t>(*p++ - '0');
        }
        if (p == end || *p++ != ' ') return false;
    } else if (line.kind != 'D' && line.kind != 'F' && line.kind != 'N') {
        return false;
    }
    const size_t length = static_cast<size_t>(end - p);
    if (length == 0 || length >= sizeof line.name) return false;
    std::memcpy(line.name, p, length);
    line.name[length] = '\0';
    return acceptable_name(line.name);
}

// Applies a journal: finishes a success, or undoes in reverse order. False when a step
// failed or the journal cannot be read; the journal then stays as it is.
bool replay(TargetFolder& folder) {
    char journal_path[kPathSize];
    work_path(journal_path, sizeof journal_path, kJournalName);
    const platform::Found found = folder.look(journal_path);
    if (found.kind != platform::Kind::kFile || found.size > kLongestJournal) return false;
    const size_t size = static_cast<size_t>(found.size);
    std::unique_ptr<char[]> text(new (std::nothrow) char[size + 1]);
    if (!text || folder.read_file(journal_path, text.get(), size) != static_cast<int64_t>(size)) {
        return false;
    }
    // Only whole lines count: the last one may have been cut by the kill.
    size_t whole = size;
    while (whole > 0 && text[whole - 1] != '\n') --whole;

    // "C" is the last line of a run that succeeded: nothing is written after it.
    const bool succeeded = whole >= 2 && text[whole - 2] == 'C' && (whole == 2 || text[whole - 3] == '\n');
    bool ok = true;
    bool skip_next = false;  // an N line cancels the D or F line before it
    char saved[kPathSize];
    for (size_t end = whole; end > 0;) {
        size_t begin = end - 1;
        while (begin > 0 && text[begin - 1] != '\n') --begin;
        Line line;
        const bool parsed = parse(text.get() + begin, text.get() + end - 1, line);
        end = begin;
        if (!parsed) return false;  // not a journal this installer wrote
        if (line.kind == 'N') {
            skip_next = true;
            continue;
        }
        const bool skipped = skip_next;
        skip_next = false;
        if (skipped || line.kind == 'C') continue;
        if (line.kind == 'S' && !saved_path(saved, sizeof saved, line.number)) return false;
        const platform::Found here = folder.look(line.name);
        if (succeeded) {
            if (line.kind == 'S' && folder.look(saved).kind != platform::Kind::kMissing) {
                ok = folder.remove(saved) && ok;
            }
        } else if (line.kind == 'F') {
            // What the run made goes; a folder standing there is not its file.
            if (here.kind == platform::Kind::kFile || here.kind == platform::Kind::kLink) {
                ok = folder.remove(line.name) && ok;
            }
        } else if (line.kind == 'S') {
            if (folder.look(saved).kind == platform::Kind::kFile) {
                ok = here.kind == platform::Kind::kMissing && folder.move_file(saved, line.name) && ok;
            }
        } else if (line.kind == 'D') {
            // Only an empty folder goes: anything in it is not this run's to remove.
            if (here.kind == platform::Kind::kFolder) folder.remove(line.name);
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

bool UndoJournal::append(const char* kind, const char* relative) {
    char line[kPathSize + 16];
    if (!join_checked(line, sizeof line, kind, relative) || !append_checked(line, "\n", sizeof line)) {
        return false;
    }
    const size_t length = std::strlen(line);
    // On the disk before the change it announces: a power loss may come next.
    return folder_.write(journal_, line, length) == length && folder_.flush(journal_);
}

bool UndoJournal::note_folder(const char* relative) { return append("D ", relative); }

bool UndoJournal::note_file(const char* relative) { return append("F ", relative); }

void UndoJournal::note_not_made(const char* relative) { append("N ", relative); }

bool UndoJournal::move_aside(const char* relative) {
    char saved[kPathSize];
    char kind[16];
    const uint32_t number = moved_ + 1;
    if (!saved_path(saved, sizeof saved, number)) return false;
    // "S <n> ": the number is the saved file's name after the work folder's.
    const char* digits = saved + std::strlen(kSetupWorkFolder) + 1;
    if (!join_checked(kind, sizeof kind, "S ", digits) || !append_checked(kind, " ", sizeof kind) ||
        !append(kind, relative)) {
        return false;
    }
    moved_ = number;
    return folder_.move_file(relative, saved);
}

void UndoJournal::commit() {
    if (!append("C", "")) return;  // the next run finds the work folder and undoes the run
    journal_.close();
    replay(folder_);
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
