#pragma once

#include "filedigest.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>

// How the journal recognises a file's content: its print, a 128-bit XXH3
// hash of its size, its ID3v2 region (all that a tag write changes; hashed
// as the XXH3-64 digests of its 4 KiB pages, which the journal keeps of the
// old region too) and the first and last PrintBlock bytes after it (the
// start of the audio, and its end with an ID3v1 block). Apply and undo never write the audio in
// between, so only these bytes are read, before and after each write,
// however large the file; docs/dev/choices.md says why that identity is
// enough. Journals of earlier versions keep digests of the whole file
// (ContentHash); an entry says which kind it holds.
constexpr qint64 PrintBlock = 4096;
constexpr qint64 PrintTail = PrintBlock + 128;

// The bytes a print covers in content of size bytes whose ID3v2 region is
// region bytes long: [0, frontEnd) and [backStart, size).
struct PrintSpan {
    qint64 frontEnd = 0;
    qint64 backStart = 0;
};
PrintSpan PrintSpanOf(qint64 size, qint64 region);

// The XXH3-64 digests (8 bytes each, little-endian) of the 4 KiB pages of
// an ID3v2 region, the last one shorter.
QByteArray RegionPageDigests(QByteArrayView region);
// The print of content of size bytes, from its two covered parts.
QByteArray PrintOfParts(qint64 size, QByteArrayView front, QByteArrayView back);
// The same from the front in two: the ID3v2 region (as long as the
// region its header gives) and the bytes after it. regionDigests:
// RegionPageDigests(region) where made already; digests of another length
// (none) are made here.
QByteArray PrintWithRegion(qint64 size, QByteArrayView region, QByteArrayView afterRegion,
                           QByteArrayView back, const QByteArray& regionDigests = {});
// The print of content given whole.
QByteArray PrintOfContent(QByteArrayView content);
// The print of content of size bytes that read(offset, count, out) gives,
// a piece at a time (a file rebuilt from the journal's parts); empty when a
// read fails.
using ContentReader = std::function<bool(qint64 offset, qint64 count, char* out)>;
QByteArray PrintOfReader(qint64 size, const ContentReader& read);

// What a print of an open file read: the covered parts themselves, so a
// caller can take the ID3v2 region or the ID3v1 block from them.
struct PrintedFile {
    FileDigest digest; // digest.digest is the print; digest.ok false on failure
    qint64 region = 0; // the ID3v2 region's size
    QByteArray front;  // [0, frontEnd)
    QByteArray back;   // [backStart, size)
    qint64 backStart = 0;
    QByteArray regionDigests; // RegionPageDigests of the region

    // The file's last count bytes (count at most PrintTail), from the parts.
    QByteArray last(qint64 count) const;
    // Copies the file's bytes [offset, offset + count) to out when one of
    // the parts holds them all; false, copying nothing, when not.
    bool copyOut(qint64 offset, qint64 count, char* out) const;
};
// Reads the parts that the print of the regular file open as fd covers,
// with at most three reads.
PrintedFile PrintOpenFile(int fd);
// The same for the file at path; digest.ok false when it cannot be opened,
// read or is no regular file.
PrintedFile PrintFileAt(const QString& path);
