#pragma once

#include <QByteArrayView>
#include <QString>

// What a tag write may change, so a caller can keep the original bytes:
// the bytes from offset 0 that hold the ID3v2 tag (header, frames, padding
// and footer; 0 when there is none or the header is not valid) ...
qint64 Id3v2RegionSize(const QString& path);
// The same from the first bytes of a file of fileSize bytes (10 suffice).
qint64 Id3v2RegionSize(QByteArrayView start, qint64 fileSize);
// ... and whether the file ends with a 128-byte ID3v1 block.
bool HasId3v1(const QString& path);
