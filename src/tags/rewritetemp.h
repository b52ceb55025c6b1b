#pragma once

#include <QByteArray>
#include <QString>

// Temporary files that are published under another name once complete
// (growing writes, moves across file systems, undo). Each is named after
// the process that writes it (".quorvel-PID-XXXXXX" in the file's folder), so that one left
// behind by a killed process can be told apart from one that a running
// process is still writing.

// The mkostemp pattern for a new temporary file in folder (null when the
// folder names no path; see pathBytes).
QByteArray RewriteTempPattern(const QString& folder);

// Removes the temporary files in folder whose process no longer runs, and
// returns how many. A process id in use again keeps its files: nothing that
// may still be written is removed.
int RemoveAbandonedRewriteTemps(const QString& folder);

// RemoveAbandonedRewriteTemps, unless it ran for folder since the last
// NewRewriteTempSweep: a run of growing writes lists each folder once, not
// once per file (a folder of 10,000 files would be listed 10,000 times).
// Safe on any thread.
void SweepRewriteTempsOnce(const QString& folder);
// Starts a new run: every folder is swept again at its first growing write.
void NewRewriteTempSweep();
