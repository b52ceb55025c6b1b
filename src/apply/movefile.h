#pragma once

#include <QStringList>

// Moves a file to a new path and never replaces an existing file, not even
// one that another program creates while the move runs. A move onto the
// file's own path succeeds (on a file system that ignores letter case it may
// change the case of the name). Across file systems the file is copied,
// flushed to disk and only then deleted at its old place.
// Returns 0 on success, otherwise the errno of the failure (EEXIST when the
// target exists) or ChangedWhileCopied (copyfile.h). The folders whose
// entries changed are flushed, unless foldersToSync is given: then they are
// added to it, for a caller that flushes the folders of many moves at once.
// otherNames, when given, gets how many other names (hard links) of the
// file stay at their places with the old file: a copy to another file
// system takes this name only.
int MoveFileNoReplace(const QString& from, const QString& to, QStringList* foldersToSync = nullptr,
                      int* otherNames = nullptr);

// What MoveFileNoReplace would find before it moves anything: 0 when the
// move can go ahead, EEXIST when the target is another file, ENOENT (or the
// like) when the source is missing. Changes nothing.
int CheckMoveNoReplace(const QString& from, const QString& to);

// Flushes a folder's entries to disk, so that a rename or a new file in it
// survives a power cut. Failures are ignored: the data is safe either way.
void SyncFolderOf(const QString& path);
