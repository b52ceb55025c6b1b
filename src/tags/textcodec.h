#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The four text encodings of ID3v2 frames: 0 Latin-1, 1 UTF-16 with a
// byte-order mark, 2 UTF-16BE, 3 UTF-8.
enum TextEncoding { EncodingLatin1 = 0, EncodingUtf16 = 1, EncodingUtf16BE = 2, EncodingUtf8 = 3 };

// Decodes bytes of one encoding into UTF-16 units, zeros inside included.
// UTF-16 without a mark is read little-endian; a trailing odd byte is dropped.
QString DecodeText(int encoding, const char* bytes, qsizetype count);
inline QString DecodeText(int encoding, const QByteArray& bytes) {
    return DecodeText(encoding, bytes.constData(), bytes.size());
}
// The values of a version 2.4 text frame: strings ended by terminators,
// each UTF-16 string with its own byte-order mark (one without a mark keeps
// the byte order of the one before). Empty strings at the end (a final
// terminator, padding) are left out.
QStringList DecodeTextValues(int encoding, const QByteArray& bytes);
// UTF-16 as the writer writes it: mark FF FE, then each unit low byte first.
QByteArray EncodeUtf16WithMark(const QString& text);
// Offset of the terminator of a string that starts at from (one zero byte,
// or two zero bytes at an even distance for the UTF-16 forms); -1 if none.
qsizetype FindTerminator(int encoding, const QByteArray& bytes, qsizetype from);
inline int TerminatorWidth(int encoding) {
    return (encoding == EncodingUtf16 || encoding == EncodingUtf16BE) ? 2 : 1;
}
