#pragma once

#include "tags/descriptorio.h"

#include <QString>

// The cross-file-system half of a move: copies the file into a hidden
// temporary file in the target folder, flushes it, gives it the target name
// without replacing anything, and only then deletes the source. Returns 0, an
// errno, or ChangedWhileCopied when another program wrote the source while
// it was copied; on failure the source is untouched and no target is left
// behind. otherNames, when given, gets how many other names (hard links)
// the source has: they stay with it.
int CopyThenDelete(const QString& from, const QString& to, int* otherNames = nullptr);
// No errno has this value: ESTALE and the like come from the file system.
inline constexpr int ChangedWhileCopied = -1;

// Gives a finished temporary file its final name, failing with EEXIST when
// that name exists. Both must be in the same folder.
int PublishNoReplace(const QString& temporary, const QString& to);

// A new empty file "<folder>/.quorvel-PID-XXXXXX" for building a file that is
// published later. Returns the open descriptor (or -1 with errno) and the
// file's name in path; held keeps it locked as being written
// (HoldRewriteTemp) until the caller publishes or removes it.
int CreateTemporaryBeside(const QString& target, QString& path, Descriptor& held);

// Writes all size bytes at the descriptor's position; 0 or an errno.
int WriteAllBytes(int fd, const char* data, qint64 size);
