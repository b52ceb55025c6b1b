#pragma once

#include "filedigest.h"

#include <QByteArray>
#include <QString>

// A file as the undo journal keeps it before a write, from one open and at
// most three reads: its print (see contentprint.h), the ID3v2 region a write
// may change and, when the file ends with one, the ID3v1 block.
struct OriginalBytes {
    FileDigest digest;      // digest.digest is the print; digest.ok false when unreadable
    QByteArray head;        // from offset 0 to the end of the ID3v2 region
    QByteArray headDigests; // RegionPageDigests(head), made for the print
    QByteArray v1;          // the last 128 bytes when they start with "TAG"
};

OriginalBytes ReadOriginalBytes(const QString& path);
