#include "tags/genres.h"
#include "tags/taginfo.h"

#include <QFile>

namespace {

// A field's bytes up to its first 0; blank padding stays.
int FieldLength(const char* field, int width) {
    int n = 0;
    while (n < width && field[n] != '\0')
        ++n;
    return n;
}

} // namespace

void TagInfo::ReadV1(QFile& file) {
    if (file.size() >= 128 && file.seek(file.size() - 128))
        ReadV1Block(file.read(128));
}

void TagInfo::ReadV1Block(const QByteArray& block) {
    if (block.size() != 128 || !block.startsWith("TAG"))
        return;
    hasV1 = true;
    const char* b = block.constData();
    SetFrameLatin1("TIT2", b + 3, FieldLength(b + 3, 30));
    // The ID3v1 artist goes to TPE2, not to TPE1.
    SetFrameLatin1("TPE2", b + 33, FieldLength(b + 33, 30));
    SetFrameLatin1("TALB", b + 63, FieldLength(b + 63, 30));
    SetFrameLatin1("TYER", b + 93, FieldLength(b + 93, 4));
    // The v1.1 form ends the comment at 28 bytes: a 0 byte, then the track.
    const bool v11 = b[125] == '\0';
    const int commentWidth = v11 ? 28 : 30;
    const QByteArray comment =
        QByteArray("eng", 3) + '\0' + QByteArray(b + 97, FieldLength(b + 97, commentWidth));
    SetFrameLatin1("COMM", comment.constData(), static_cast<int>(comment.size()));
    if (const char* genre = GenreName(static_cast<quint8>(b[127])))
        SetFrameLatin1("TCON", genre, -1);
    // Track 0 is no track: a version 1.0 comment shorter than 29 bytes
    // leaves both bytes 0, and no album numbers a track 0.
    if (v11 && b[126] != '\0') {
        const QString track = QString::number(static_cast<quint8>(b[126]));
        SetFrameWide("TRCK", track, -1);
    }
}
