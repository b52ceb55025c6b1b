#include "tags/selectionread.h"

namespace {

QString FrameValue(const TagInfo& tag, const char* id) {
    const QString text = tag.FindFrame(id, nullptr);
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

} // namespace

SelectionRead ReadSelection(TagInfo& tag, const QString& path) {
    SelectionRead read;
    read.result = tag.Read(path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (read.result < 0 || slash < 0)
        return read;
    read.ok = true;
    QString name = path.mid(slash + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot >= 0)
        name.truncate(dot);
    read.inputs[FieldLocation] = path.left(slash);
    read.inputs[FieldFilename] = name;
    QString artist = FrameValue(tag, "TPE1");
    if (artist.isEmpty())
        artist = FrameValue(tag, "TPE2");
    read.inputs[FieldArtist] = artist;
    read.inputs[FieldTitle] = FrameValue(tag, "TIT2");
    read.inputs[FieldAlbum] = FrameValue(tag, "TALB");
    read.inputs[FieldGenre] = FrameValue(tag, "TCON");
    read.inputs[FieldYear] = FrameValue(tag, "TYER");
    read.inputs[FieldTrack] = FrameValue(tag, "TRCK");
    return read;
}
