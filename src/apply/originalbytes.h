#pragma once

#include "filedigest.h"

#include <QByteArray>
#include <QString>

class TagInfo;
struct AudioContent;

// A file as the undo journal keeps it before a write, from one open and at
// most three reads: its print (see contentprint.h), the ID3v2 region a write
// may change and, when the file ends with one, the ID3v1 block.
struct OriginalBytes {
    FileDigest digest;      // digest.digest is the print; digest.ok false when unreadable
    QByteArray head;        // from offset 0 to the end of the ID3v2 region
    QByteArray headDigests; // RegionPageDigests(head), made for the print
    QByteArray v1;          // the last 128 bytes when they start with "TAG"
    QByteArray afterHead;   // the print's other bytes: those that follow head
    QByteArray back;        // and those at the end of the file

    // The print of the file once region has been written over head, the
    // rest unchanged; empty unless region is as long as head and its header
    // says so (else the print covers other bytes).
    QByteArray printWithRegion(const QByteArray& region) const;
};

OriginalBytes ReadOriginalBytes(const QString& path);
// The same, and tag read from the same bytes (TagInfo::ReadBytes) with
// content as what follows the tag: one open for both. result is the read's.
// When the bytes cannot be read, tag is what TagInfo::Read finds at path
// then (its identity, or why it fails).
OriginalBytes ReadOriginalBytes(const QString& path, TagInfo& tag, int& result,
                                const AudioContent& content);
