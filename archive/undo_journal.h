// What an installation changes in its target folder, written down before each change, so
// that a run that fails, or one that was killed and is found by the next, puts the folder
// back as it was: every file it made removed, every file it replaced or removed back in
// its place (moved, so with its own time and attributes), every folder it made gone.
//
// The run keeps a work folder inside the target folder (kSetupWorkFolder): what it moves
// aside, numbered, and the journal, one line per change, each forced onto the disk before
// the change is made, its kind a letter and the name right after it:
//   D<name>  a folder is about to be made
//   F<name>  a file is about to be made
//   N<name>  the folder or file of the line before could not be made
//   S<name>  the file is about to be moved aside; the n-th S line's file is file n of the
//            work folder (1, 2, ...)
//   C        the run succeeded: what was moved aside is to be deleted
// Names are paths below the target folder. A last line without its line end was cut by
// the kill and is passed over; every step of the undo is one that can be made twice.
#pragma once
#include <cstdint>

#include "platform/platform.h"
#include "system/target_folder.h"

namespace qarn {

class UndoJournal {
public:
    explicit UndoJournal(TargetFolder& folder) : folder_(folder) {}
    UndoJournal(const UndoJournal&) = delete;
    UndoJournal& operator=(const UndoJournal&) = delete;

    // Makes the work folder and the journal; false when they cannot be made (a work folder
    // of an earlier run must be recovered first).
    bool begin();
    // Before the folder or file is made; false when the journal cannot be written.
    bool note_folder(const char* relative);
    bool note_file(const char* relative);
    // The folder or file just noted could not be made.
    void note_not_made(const char* relative);
    // Moves the plain file at `relative` into the work folder, noted first; false when it
    // cannot be moved or noted (nothing moved then).
    bool move_aside(const char* relative);
    // The run succeeded: marks it so, then deletes what was moved aside, the journal and
    // the work folder; what cannot be deleted now, the next run deletes. False, nothing
    // deleted, when the mark cannot be written: the run must then be undone.
    bool commit();
    // The run failed: puts the folder back. False when not everything could be; the work
    // folder then stays, for the next run to try again.
    bool undo();

private:
    bool append(char kind, const char* relative, bool must_reach_disk = true);

    TargetFolder& folder_;
    platform::NewFile journal_;
    uint32_t moved_ = 0;
};

enum class Recovery {
    kNothingLeft,  // no work folder: the last run ended as it should
    kRecovered,    // a killed run's changes were undone, or its success finished
    kFailed,       // the work folder is there but cannot be dealt with (a link, damage,
                   // a file that cannot be put back): nothing must be installed over it
};

// Deals with a work folder that a killed run left: undoes its changes, or, where it had
// succeeded, finishes deleting what it moved aside; then removes the work folder.
Recovery recover_interrupted_run(TargetFolder& folder);

}  // namespace qarn
