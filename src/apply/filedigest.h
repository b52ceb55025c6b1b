#pragma once

#include <QByteArray>
#include <QString>

// The size, SHA-256 and modification time of a file's content.
struct FileDigest {
    bool ok = false;
    qint64 size = 0;
    QByteArray sha256;
    qint64 mtimeNs = 0;
};

FileDigest DigestFile(const QString& path);
