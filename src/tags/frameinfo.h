#pragma once

#include <QByteArray>
#include <QString>

// One ID3v2 frame held as wide text. Frames read from a file also keep their
// body as a version 3 tag holds it (raw), so a write gives back, byte for
// byte, every frame that nobody replaced.
struct FrameLayout;

// Format bits of a frame header's flags in the version 3 layout, the layout
// the record keeps for every version. Each adds bytes in front of the
// content, in this order: a 4-byte decompressed size (then the content is
// zlib data), an encryption method byte, a group byte.
constexpr quint16 FrameFlagCompressed = 0x0080;
constexpr quint16 FrameFlagEncrypted = 0x0040;
constexpr quint16 FrameFlagGrouped = 0x0020;
constexpr quint16 FrameFormatFlags = FrameFlagCompressed | FrameFlagEncrypted | FrameFlagGrouped;

class FrameInfo {
public:
    virtual ~FrameInfo() = default;

    // The frame's content as UTF-16 units; may hold 0 units inside (a
    // comment's language and descriptor are separated by one).
    QString text;
    // The four id bytes as they stand in the frame header, then a 0 byte.
    char id[5] = {0, 0, 0, 0, 0};
    // The header's two flag bytes in file order (version 3 layout).
    quint16 flags = 0;
    // The body to write back unchanged, valid while hasRaw is set.
    QByteArray raw;
    bool hasRaw = false;
    // The body could not be decoded (an encrypted frame, a comment without
    // its descriptor's end, ...): text means nothing, and the frame is kept
    // as its bytes, never taken for an empty value.
    bool opaque = false;

    int length() const { return static_cast<int>(text.size()); }
    void SetLatin1(const char* bytes, int count);
    void SetWide(const char16_t* units, int count);
    void SetWide(const QString& units) { text = units; }
    void SetId(const char* newId); // the first four bytes, 0-filled
    bool IsId(const char* other) const;
    bool IsPseudoFrame() const { return id[0] == '*' && id[1] == '\0'; }
    // A text information frame: id T..., except TXXX.
    bool IsTextFrame() const;

    // Reads the frame that starts at pos of a tag's bytes (after the tag's
    // unsynchronisation is undone). Returns the bytes taken (header and
    // body), or -1 when no frame can be read there. A version 2.2 frame
    // without a version 3 counterpart is read with an empty id.
    // inflateBudget, when given, is what compressed frames of the tag may
    // still inflate to; it shrinks by what this one does.
    qint64 ReadFrame(const QByteArray& tag, qsizetype pos, const FrameLayout& layout,
                     bool tagUnsync, qint64* inflateBudget = nullptr);

    // Appends the frame as a version 3 tag holds it to out: the raw body
    // when there is one, else the text as Latin-1 (encoding 0) or, when a
    // unit has no Latin-1 form, as UTF-16 with a mark (encoding 1). Frames
    // without text and the file-name pseudo-frame are skipped. Returns the
    // number of bytes appended.
    qsizetype WriteFrame(QByteArray& out) const;
    // The body bytes WriteFrame would append (0 when it appends nothing),
    // counted without making them.
    qsizetype WrittenBodySize() const;
    // The most bytes WriteFrame can take, header included.
    qint64 EstimatedSize() const;
    // A new body in the version 3 form, written as it stands, with the text
    // that reading it back gives.
    void SetBody(const QByteArray& body) {
        flags &= ~FrameFormatFlags;
        TakeBody(body, 3, nullptr);
    }

private:
    // Sets text (and opaque) from a body in the version 3 form; version is
    // the tag's, for the meaning of 0 units in text frames.
    void TakeBody(const QByteArray& body, int version, qint64* inflateBudget);
    // Language, descriptor, a 0 unit, the comment; false when the content
    // has no such parts.
    bool TakeComment(const QByteArray& content);
};
