#include "applyservice.h"

#include "filedigest.h"
#include "foldercreation.h"
#include "journal.h"
#include "movefile.h"
#include "tags/taginfo.h"
#include "tags/tagregion.h"

#include <QDir>
#include <QFile>

namespace {

// The frames that Apply sets, in this order, and the Output value of each.
struct FrameFromField {
    const char* id;
    Field field;
};
constexpr FrameFromField AppliedFrames[] = {
    {"TPE1", FieldArtist}, {"TPE2", FieldArtist}, {"TIT2", FieldTitle}, {"TALB", FieldAlbum},
    {"TCON", FieldGenre},  {"TYER", FieldYear},   {"TRCK", FieldTrack},
};

QString cannotWrite(const QString& path) {
    return QStringLiteral("Cannot write tags to %1").arg(path);
}
QString cannotCreateFolder() {
    return QStringLiteral("Cannot create folder");
}
QString cannotMove(const QString& target, int err) {
    return QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(err);
}

// Reads count bytes at offset (a negative offset counts from the end).
QByteArray readSpan(const QString& path, qint64 offset, qint64 count) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    if (offset < 0)
        offset += file.size();
    if (!file.seek(offset))
        return {};
    return file.read(count);
}

// The journal's record of the file before it is touched: the tag region,
// the ID3v1 block when it is to go, the digest and the folder levels that
// creation will add.
bool journalStart(JournalWriter& journal, JournalEntry& entry, const QString& path,
                  const QString& target, const FieldValues& output, bool clearV1, QString& error) {
    const FileDigest before = DigestFile(path);
    if (!before.ok) {
        error = cannotWrite(path);
        return false;
    }
    entry.originalPath = path;
    entry.targetPath = target;
    entry.originalSize = before.size;
    entry.originalDigest = before.digest;
    entry.originalMtimeNs = before.mtimeNs;
    const qint64 region = qBound<qint64>(0, Id3v2RegionSize(path), before.size);
    entry.head = readSpan(path, 0, region);
    if (clearV1 && HasId3v1(path))
        entry.tail = readSpan(path, -128, 128);
    if (entry.head.size() != region || (clearV1 && HasId3v1(path) && entry.tail.size() != 128)) {
        error = cannotWrite(path);
        return false;
    }
    MissingFolderLevels(output[FieldLocation], entry.plannedFolders);
    QString reason;
    if (!journal.recordStart(entry, &reason)) {
        error = QStringLiteral("Cannot write the undo journal: %1").arg(reason);
        return false;
    }
    return true;
}

void journalOutcome(JournalWriter& journal, JournalEntry& entry, const ApplyResult& result) {
    entry.done = true;
    entry.finalPath = result.moved ? result.target : entry.originalPath;
    const FileDigest after = DigestFile(entry.finalPath);
    entry.finalSize = after.size;
    entry.finalDigest = after.digest;
    // A failed write leaves the file as it was; the digest says so for sure.
    entry.changed = result.tagsWritten || entry.finalPath != entry.originalPath ||
                    after.size != entry.originalSize || after.digest != entry.originalDigest;
    journal.recordOutcome(entry, nullptr);
}

} // namespace

QString ApplyTarget(const FieldValues& output) {
    return output[FieldLocation] + QLatin1Char('/') + output[FieldFilename] +
           QStringLiteral(".mp3");
}

ApplyResult ApplyFile(TagInfo& tag, const FieldValues& output, const ApplyOptions& options,
                      JournalWriter* journal) {
    ApplyResult result;
    result.target = ApplyTarget(output);
    const QString path = tag.path;

    JournalEntry entry;
    if (journal) {
        QString error;
        if (!journalStart(*journal, entry, path, result.target, output, options.clearV1, error)) {
            result.messages << error;
            return result;
        }
    }

    if (options.clearOtherV2)
        tag.Clear();
    tag.removeV1 = options.clearV1;
    for (const FrameFromField& f : AppliedFrames)
        tag.SetFrameWide(f.id, output[f.field], -1);

    // A failed write is reported and the file stays where it is: moving it
    // would give it a name that its tags do not match.
    result.tagsWritten = tag.Write() == 0;
    if (!result.tagsWritten) {
        result.messages << cannotWrite(path);
    } else {
        QStringList created;
        if (!CreateFolderLevels(output[FieldLocation], &created)) {
            result.messages << cannotCreateFolder();
        } else {
            result.folderCreated = !created.isEmpty();
            result.folderReady = true;
            const int err = MoveFileNoReplace(path, result.target);
            result.moved = err == 0;
            if (err != 0)
                result.messages << cannotMove(result.target, err);
        }
    }
    result.ok = result.moved;
    if (journal)
        journalOutcome(*journal, entry, result);
    return result;
}

ApplyResult PreviewApply(const QString& path, const FieldValues& output) {
    ApplyResult result;
    result.target = ApplyTarget(output);
    QFile file(path);
    result.tagsWritten = file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly);
    file.close();
    if (!result.tagsWritten) {
        result.messages << cannotWrite(path);
        return result;
    }
    QStringList missing;
    if (!MissingFolderLevels(output[FieldLocation], missing)) {
        result.messages << cannotCreateFolder();
        return result;
    }
    result.folderCreated = !missing.isEmpty();
    // A target in a folder still to be made is free.
    const int err = result.folderCreated ? 0 : CheckMoveNoReplace(path, result.target);
    result.moved = err == 0;
    if (err != 0)
        result.messages << cannotMove(result.target, err);
    result.ok = result.moved;
    return result;
}
