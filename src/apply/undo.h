#pragma once

#include "journal.h"

// What taking back one file did.
struct UndoFileResult {
    QString path;         // where the file was found (or looked for)
    QString restoredPath; // its path before the run
    bool ok = false;
    bool untouched = false; // cut off before the run touched it: nothing to do
    QStringList messages;
};

struct UndoReport {
    QString runId;
    bool ok = true;
    QStringList damage;          // the run's journal is damaged: nothing was done
    bool stillApplying = false;  // the run is still being applied: nothing was done
    bool beingUndone = false;    // another undo of the run is under way: nothing was done
    QList<UndoFileResult> files; // newest change first
    // The files an earlier undo took back, as the journal says (ok, from
    // where the run left them): for a caller whose view of the run is older,
    // such as a window that another program's undo went past.
    QList<UndoFileResult> takenBackBefore;
    QStringList foldersRemoved;
};

// Takes back one run: every file it changed is moved back to its old path
// with its old bytes, newest change first, so that it is byte-identical to
// what it was before the run (its mode, user extended attributes and
// modification time too). Where the tag was written into the space of the
// old one, the old tag goes back into the file itself, which keeps its
// inode and hard links; otherwise a rebuilt file takes its place. A folder
// of an old path that is gone is made again. A file changed since the run
// is left alone, and nothing is ever written over another file. Folders
// that the run created and that are empty again are removed. Files already
// taken back and files that the run did not change are passed over, so a
// run whose undo failed for some files can be undone again for those.
// Temporary files that a killed undo or apply of the run left behind in its
// folders are removed first. A run whose journal is damaged is refused as a
// whole: nothing is done and damage says why. So is a run that is still
// being applied (stillApplying): it would write over what undo restored,
// and one that another undo is taking back (beingUndone): each would find
// the files the other restored changed since the run. The run is read
// again once this undo holds it, with what an undo before it recorded.
UndoReport UndoRun(const JournalRun& run);
