#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <optional>

// Bytes of the original ID3v2 region that the tag Apply writes holds
// unchanged (a cover picture it leaves alone): original[at, at + length)
// equals written[from, from + length), and so, after the write, the file's
// bytes at from.
struct RegionRef {
    qint64 at = 0;
    qint64 length = 0;
    qint64 from = 0;
    friend bool operator==(const RegionRef&, const RegionRef&) = default;
};

// The original ID3v2 region as the undo journal keeps it: the bytes that
// the written tag does not hold are kept (literal), the others are read back
// from the file by undo. Undo must get the original back from whatever a
// crash left in the file:
// - a growing write replaces the file whole (the audio moves into a new
//   file, swapped in at once): the file holds the original or the written
//   tag, never a mix;
// - a write in place may be cut off (a kill, a power cut) with each page of
//   the region holding the old or the new bytes. A referenced byte is then
//   found at its old place (page not written yet) or at its new place (page
//   written), except where the two lie in different pages: those bytes
//   are kept as literal too. Which of the two a page holds is told by a
//   digest of each original page.
// An undo that is cut off while it writes the original back leaves the same
// two kinds of page, and is mended the same way.
struct SavedRegion {
    static constexpr qint64 PageSize = 4096;
    static constexpr qint64 PageDigestSize = 8; // XXH3-64

    qint64 size = 0; // of the original region
    QList<RegionRef> refs;
    bool inPlace = false;   // the written tag goes over the original in place
    QByteArray pageDigests; // one per page of the original, when refs is not empty
    QByteArray literal;     // the original's bytes that no reference gives, in order

    // What the journal's byte file keeps: the page digests, then literal.
    QByteArray stored() const { return pageDigests + literal; }
    qint64 storedSize() const { return pageDigests.size() + literal.size(); }
    // Takes stored() back, size, refs and inPlace being set; false when
    // bytes is not of the size they call for.
    bool takeStored(const QByteArray& bytes);
    // How many of the file's first bytes restore() may read.
    qint64 fileBytesNeeded() const;
};

// The original region saved against the tag that will be written over it
// (inPlace) or in front of the moved audio. Frames of at least 1 KiB that
// the written tag holds byte for byte become references. pageDigests, when
// not empty, are the original's (RegionPageDigests), made already.
SavedRegion SaveRegion(QByteArrayView original, QByteArrayView written, bool inPlace,
                       const QByteArray& pageDigests = {});
// A region kept whole (journals without references; no written tag known).
SavedRegion SaveRegionWhole(QByteArrayView original);

// The original region from the saved parts and the first bytes of the file
// as it stands (fileBytesNeeded() of them, fewer when the file is shorter).
// Empty when a page of the original cannot be found there: the file is
// neither as the write nor as the original left it. pageDigests, when
// given, receives RegionPageDigests of the region restored: the digests
// it checked pages against, and those of the pages all literal, made.
std::optional<QByteArray> RestoreRegion(const SavedRegion& saved, QByteArrayView file,
                                        QByteArray* pageDigests = nullptr);
