#pragma once

#include "tags/fileidentity.h"

#include <QByteArray>
#include <QString>

class RewriteFileOps;

// Copies the bytes [start, end) of from to where to's writes have got:
// inside the kernel where it copies, through a buffer where it does not
// (or stops short). False with errno set when a read or write fails, or
// from ends before end (EIO).
bool CopyRange(RewriteFileOps& ops, int from, int to, qint64 start, qint64 end);

enum class RewriteOutcome {
    Written,
    Failed,  // nothing changed; the original stands as it was
    Changed, // the path no longer names the original as read: nothing changed
};

// Replaces the file at path by tag followed by its bytes from audioStart to
// audioEnd. source is the original, open, and read as `identity` describes
// it. The new file is written beside it in the same folder with its mode,
// owner (where allowed) and user extended attributes, flushed to disk, and
// exchanged with the original in one step (renameat2 RENAME_EXCHANGE).
// What the exchange gives back must be the original, unchanged since it was
// read; otherwise the exchange is undone and the new file removed: a file
// that another program put at the path, or edited there, is never lost, and
// the result is Changed. A file system without the exchange gets a check of
// the path right before a plain rename (it cannot close that instant). On
// Written, `written` describes the new file. A symbolic link is followed:
// the file it names is replaced and the link stays. Goes through
// CurrentRewriteFileOps().
RewriteOutcome RewriteWithNewTag(const QString& path, int source, const FileIdentity& identity,
                                 const QByteArray& tag, qint64 audioStart, qint64 audioEnd,
                                 FileIdentity& written);
