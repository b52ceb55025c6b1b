#pragma once

#include <QByteArray>

// How frame headers are laid out in one tag: version 2.2 has 6-byte headers
// with 3-letter ids and 3-byte sizes; versions 2.3 and 2.4 have 10-byte
// headers whose sizes are plain (2.3) or synchsafe (2.4) 32-bit integers.
struct FrameLayout {
    int version = 3;
    bool synchsafeSizes = false;

    int headerSize() const { return version == 2 ? 6 : 10; }
    int idSize() const { return version == 2 ? 3 : 4; }
    // The body size in a header, or -1 when it cannot be decoded.
    qint64 BodySize(const char* header) const;
};

// Frame ids are upper-case letters and digits.
bool IsValidFrameId(const char* id, int size);

// The id of a version 2.3 or 2.4 frame header: its 4 bytes, or the version
// 3 id of a version 2.2 name that ends with a 0 byte or a space ("TT2\0",
// "TCP "), as some programs write them and other readers take them; empty
// when the header has no frame id. A 2.2 picture or link keeps its 2.2 body
// form, which its 2.3 id does not, so their names give no id.
QByteArray HeaderFrameId(const char* header);

// Whether the frames from start on line up under this layout: each header
// has a valid id, each body ends inside the tag, and the bytes after the
// last frame are the tag's end or padding.
bool FramesLineUp(const QByteArray& tag, qsizetype start, const FrameLayout& layout);

// The layout of a tag's frames: version 2.4 sizes are synchsafe and 2.3 sizes
// plain, unless only the other reading lines the frames up (writers that
// got the size form of the version wrong).
FrameLayout ChooseFrameLayout(int version, const QByteArray& tag, qsizetype start);
