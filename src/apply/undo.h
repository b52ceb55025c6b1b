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
    QList<UndoFileResult> files; // newest change first
    QStringList foldersRemoved;
};

// Takes back one run: every file it changed is moved back to its old path
// with its old bytes, newest change first, so that it is byte-identical to
// what it was before the run. A file changed since the run is left alone,
// and nothing is ever written over another file. Folders that the run
// created and that are empty again are removed. Files already taken back
// and files that the run did not change are passed over.
UndoReport UndoRun(const JournalRun& run);
