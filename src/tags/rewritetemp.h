#pragma once

#include <QByteArray>
#include <QString>

// Temporary files that are published under another name once complete
// (growing writes, moves across file systems, undo). Each is named after
// the process that writes it (".quorvel-PID-XXXXXX" in the file's folder)
// and locked by it until published or removed, so that one left behind by
// a killed process can be told apart from one that a running process is
// still writing: here, or in another PID namespace or on another computer
// sharing the folder, where its process id says nothing.

// The mkostemp pattern for a new temporary file in folder (null when the
// folder names no path; see pathBytes).
QByteArray RewriteTempPattern(const QString& folder);

// Locks the new temporary file open as fd (flock) for as long as the
// returned descriptor, a second one of the same open file, stays open: the
// writer keeps it past closing fd until the file is published or removed.
// -1 when the file system takes no lock (the process id alone tells then,
// and a sweep from another PID namespace may take the file).
int HoldRewriteTemp(int fd);

// Removes the temporary files in folder that were abandoned, and returns
// how many: their process no longer runs here, no process holds their lock,
// and they hold what a temporary file of this program holds (nothing yet,
// an ID3v2 tag or MPEG audio). A process id in use again keeps its files:
// nothing that may still be written is removed.
int RemoveAbandonedRewriteTemps(const QString& folder);

// RemoveAbandonedRewriteTemps, unless it ran for folder since the last
// NewRewriteTempSweep: a run of growing writes lists each folder once, not
// once per file (a folder of 10,000 files would be listed 10,000 times).
// Safe on any thread.
void SweepRewriteTempsOnce(const QString& folder);
// Starts a new run: every folder is swept again at its first growing write.
void NewRewriteTempSweep();
