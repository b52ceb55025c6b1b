#include "tags/selectionread.h"

namespace {

QString FrameValue(const TagInfo& tag, const char* id) {
    const QString text = tag.FindFrame(id, nullptr);
    const qsizetype zero = text.indexOf(QChar(0));
    return zero < 0 ? text : text.left(zero);
}

} // namespace

QString ReadFailure(const TagInfo& tag, int result) {
    switch (tag.problem) {
    case ReadProblem::CannotOpen:
        // With the system's reason: a missing file, a folder that cannot be
        // searched and a path too long are told apart.
        return tag.openErrno ? QStringLiteral("cannot open file: ") + qt_error_string(tag.openErrno)
                             : QStringLiteral("cannot open file");
    case ReadProblem::NotRegularFile:
        return QStringLiteral("not a regular file");
    case ReadProblem::TagRefused:
        // Refused because the file is too short to hold a tag header.
        if (tag.identity.isKnown() && tag.identity.size < ShortestTaggableFile)
            return QStringLiteral("not MPEG audio (%1)").arg(ShortFileKind(tag.identity.size));
        return QStringLiteral("tag refused");
    case ReadProblem::None:
        break;
    }
    if (result >= 0 && !tag.content.mpeg)
        return QStringLiteral("not MPEG audio (%1)").arg(tag.content.kind);
    return {};
}

SelectionRead ReadSelection(TagInfo& tag, const QString& path) {
    const int result = tag.Read(path);
    return SelectionOf(tag, result, path);
}

SelectionRead SelectionOf(const TagInfo& tag, int result, const QString& path) {
    SelectionRead read;
    read.result = result;
    read.failure = ReadFailure(tag, read.result);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (read.failure.isEmpty() && slash < 0)
        read.failure = QStringLiteral("no folder in the path");
    if (!read.failure.isEmpty())
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
