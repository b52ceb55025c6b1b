#pragma once

#include <QByteArray>
#include <QString>

// Replaces the file at path by tag followed by the file's bytes from
// audioStart to audioEnd: the new file is written beside the old one in the
// same folder, flushed to disk and renamed over it, with the old file's
// permissions; then the folder is flushed. On failure the original is left
// as it was and the new file removed. Goes through CurrentRewriteFileOps().
bool RewriteWithNewTag(const QString& path, const QByteArray& tag, qint64 audioStart,
                       qint64 audioEnd);
