#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// Builds real MP3 files for tests and benchmarks: silent MPEG-1 Layer III
// frames that decoders read without error, with ID3v2 tags of any shape and
// an optional ID3v1 block.
namespace fixture {

// One frame as it should stand in the tag: id (3 letters for version 2.2),
// body bytes and flag bytes.
struct Frame {
    QByteArray id;
    QByteArray body;
    quint16 flags = 0;
};

enum class SizeForm {
    Natural,   // what the version prescribes: 2.3 plain, 2.4 synchsafe
    Plain,     // 32-bit big-endian whatever the version
    Synchsafe, // synchsafe whatever the version
};

struct Tag {
    int version = 3;
    QList<Frame> frames;
    int padding = 0;
    bool unsync = false;         // whole tag before 2.4, every frame in 2.4
    bool extendedHeader = false; // versions 2.3 and 2.4
    bool footer = false;         // version 2.4
    SizeForm sizes = SizeForm::Natural;
    int extraFlags = 0; // ORed into the header's flag byte
    // Replaces the header's size bytes (e.g. a size beyond the file's end).
    std::optional<QByteArray> sizeBytes;
};

struct V1 {
    QByteArray title, artist, album, year, comment; // cut or 0-filled to width
    int track = -1;                                 // >= 0: the v1.1 form
    int genre = 255;
};

// A string in one of the four encodings; encoding 1 gets the mark FF FE.
QByteArray Encode(int encoding, const QString& text);
// Encoding byte, then the text.
QByteArray TextBody(int encoding, const QString& text);
// Encoding byte, then each value ended by a terminator but the last (a
// version 2.4 frame with several values; encoding 1 gives each its mark).
QByteArray TextValuesBody(int encoding, const QStringList& values);
QByteArray CommentBody(int encoding, const QByteArray& language, const QString& descriptor,
                       const QString& text);
QByteArray UserTextBody(int encoding, const QString& descriptor, const QString& value);
QByteArray PictureBody(int encoding, const QByteArray& mime, int type, const QString& descriptor,
                       const QByteArray& data);
// Deterministic non-zero bytes standing in for an image.
QByteArray ImageData(int size);

// A frame whose body is content compressed with zlib, laid out as the
// version says: 2.3 flag 0x0080 and a 4-byte decompressed size, 2.4 flags
// 0x0009 (compression, data length indicator) and a synchsafe size.
Frame CompressedFrame(int version, const QByteArray& id, const QByteArray& content);

QByteArray AddUnsynchronisation(const QByteArray& data);
QByteArray BuildTag(const Tag& tag);
QByteArray BuildV1(const V1& v1);
// frameCount silent frames of 417 bytes (128 kbit/s, 44.1 kHz, mono).
QByteArray SilentAudio(int frameCount);
QByteArray BuildFile(const Tag* tag, int audioFrames = 8, const V1* v1 = nullptr);

bool WriteFile(const QString& path, const QByteArray& bytes);
QByteArray ReadFile(const QString& path);
// Another program's edit of the same length: the same file, new bytes and a
// modification time a minute on (apart from the read, which may fall into
// the same clock tick). keepTime: an editor that puts the modification time
// back afterwards; only the change time tells.
bool EditInPlace(const QString& path, const QByteArray& bytes, bool keepTime = false);

// Gives the user uid read and write access through the file's access control
// list (setfacl -m u:UID:rw); false where the file system keeps no lists.
bool GrantUserAccess(const QString& path, unsigned uid);
// The file's access control list as stored; empty when it has none.
QByteArray AccessList(const QString& path);

} // namespace fixture
