#include "applyservice.h"

#include "absolutepath.h"
#include "contentprint.h"
#include "copyfile.h"
#include "foldercreation.h"
#include "journal.h"
#include "movefile.h"
#include "originalbytes.h"
#include "preflight.h"
#include "tags/pathbytes.h"
#include "tags/taginfo.h"

#include <cerrno>
#include <sys/stat.h>

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

QString frameValue(const TagInfo& tag, const char* id) {
    const QString text = tag.FindFrame(id, nullptr);
    return text.left(text.indexOf(QChar(0)));
}

// err: why the system refused, when it is known.
QString cannotWrite(const QString& path, int err = 0) {
    const QString text = QStringLiteral("Cannot write tags to %1").arg(path);
    return err ? text + QStringLiteral(": ") + qt_error_string(err) : text;
}
QString cannotCreateFolder() {
    return QStringLiteral("Cannot create folder");
}
QString cannotMove(const QString& target, int err) {
    if (err == ChangedWhileCopied)
        return QStringLiteral("Cannot move file as %1: another program wrote the file while it "
                              "was copied; it stays at its old path")
            .arg(target);
    return QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(err);
}

} // namespace

void CompleteOutcome(JournalEntry& entry, const ApplyResult& result) {
    entry.done = true;
    if (result.untouched) {
        // Whatever the file holds now, another program put it there.
        entry.changed = false;
        entry.finalPath = entry.originalPath;
        entry.finalSize = entry.originalSize;
        entry.finalDigest = entry.originalDigest;
        return;
    }
    entry.finalPath = result.moved ? result.target : entry.originalPath;
    FileDigest after;
    if (result.tagsWritten && !entry.printIfWritten.isEmpty()) {
        // Written in place, under the lock, into the very file read: the
        // file is the old one with the new region, whatever its name now.
        after.size = entry.originalSize;
        after.digest = entry.printIfWritten;
    } else {
        after = PrintFileAt(entry.finalPath).digest;
    }
    entry.finalSize = after.size;
    entry.finalDigest = after.digest;
    // A failed write leaves the file as it was; the print says so for sure
    // (Apply writes nothing but the ID3v2 region and the ID3v1 block).
    entry.changed = result.tagsWritten || entry.finalPath != entry.originalPath ||
                    after.size != entry.originalSize || after.digest != entry.originalDigest;
}

namespace {

// Sets the frames Apply writes into the tag record.
void composeTag(TagInfo& tag, const FieldValues& output, const ApplyOptions& options) {
    const bool albumArtistFollows = AlbumArtistFollows(tag);
    const QString albumArtist = frameValue(tag, "TPE2");
    if (options.clearOtherV2)
        tag.Clear();
    tag.removeV1 = options.clearV1;
    for (const FrameFromField& f : AppliedFrames) {
        if (f.field == FieldArtist && QLatin1String(f.id) == QLatin1String("TPE2") &&
            !albumArtistFollows)
            tag.SetFrameWide("TPE2", albumArtist, -1); // kept, also through a clear
        else
            tag.SetFrameWide(f.id, output[f.field], -1);
    }
}

// Apply itself, with no journal; plan: the tag record holds the frames to
// write already, and this is its plan.
ApplyResult applyUnrecorded(TagInfo& tag, const FieldValues& output, const ApplyOptions& options,
                            const TagInfo::Planned* plan = nullptr,
                            Recheck recheck = Recheck::Always) {
    ApplyResult result;
    result.target = ApplyTarget(output);
    const QString path = tag.path;
    const bool keepsItsPath = result.target == AbsolutePath(path);
    // What can be known now is checked before the first byte is written.
    const auto growth = [&] {
        return plan ? GrowthOf(tag, *plan) : ApplyGrowth(tag, output, options);
    };
    // A new tag in place: the write itself refuses a link put at the path.
    const bool tagOnly =
        recheck == Recheck::TagOnlyInPlace && keepsItsPath && plan && plan->inPlace;
    const auto refusal = tagOnly ? std::nullopt : CheckBeforeApply(path, output, growth);
    if (refusal) {
        result.messages << (tag.identity.isKnown() && pathGone(path)
                                ? cannotMove(result.target, ENOENT)
                                : refusal->message);
        result.untouched = true;
        return result;
    }
    if (!plan)
        composeTag(tag, output, options);

    // A failed write is reported and the file stays where it is: moving it
    // would give it a name that its tags do not match.
    if (tagOnly) {
        TagInfo::Planned noLink = *plan;
        noLink.noLink = true;
        result.tagsWritten = tag.Write(noLink) == 0;
        const auto link =
            result.tagsWritten || tag.writeErrno != ELOOP ? std::nullopt : CheckNoLink(path);
        if (link) {
            result.messages << link->message;
            result.untouched = true;
            return result;
        }
    } else {
        result.tagsWritten = (plan ? tag.Write(*plan) : tag.Write()) == 0;
    }
    if (result.tagsWritten && tag.namesLeftOnOld > 0) {
        // The new file took this name only: the file's other names (a
        // seeding copy, a second library) keep the old one.
        result.messages << (tag.namesLeftOnOld == 1
                                ? QStringLiteral("1 other name (hard link) of %1 keeps the old "
                                                 "tags")
                                      .arg(path)
                                : QStringLiteral("%1 other names (hard links) of %2 keep the old "
                                                 "tags")
                                      .arg(tag.namesLeftOnOld)
                                      .arg(path));
    }
    if (!result.tagsWritten) {
        result.untouched = tag.writeProblem == WriteProblem::ChangedSinceRead;
        result.messages << (result.untouched ? GoneOrChanged(path, result.target)
                                             : cannotWrite(path, tag.writeErrno));
    } else if (keepsItsPath) {
        // A new tag only: the file keeps its name in its folder.
        result.folderReady = result.moved = true;
    } else {
        QStringList created;
        if (!CreateFolderLevels(ApplyLocation(output), &created)) {
            result.messages << cannotCreateFolder();
        } else {
            result.folderCreated = !created.isEmpty();
            result.folderReady = true;
            int otherNames = 0;
            const int err = MoveFileNoReplace(path, result.target, nullptr, &otherNames);
            result.moved = err == 0;
            if (err != 0)
                result.messages << cannotMove(result.target, err);
            // A copy to another file system: the file's other names stay
            // with the old file, which holds the new tags, and undo does
            // not reach them.
            if (otherNames == 1)
                result.messages << QStringLiteral("1 other name (hard link) of %1 stays with the "
                                                  "new tags in its place")
                                       .arg(path);
            else if (otherNames > 1)
                result.messages << QStringLiteral("%1 other names (hard links) of %2 stay with "
                                                  "the new tags in their places")
                                       .arg(otherNames)
                                       .arg(path);
        }
    }
    result.ok = result.moved;
    return result;
}

} // namespace

qint64 GrowthOf(const TagInfo& tag, const TagInfo::Planned& plan) {
    // An ID3v1 block may be added where none was.
    constexpr qint64 v1Block = 128;
    return (plan.inPlace ? 0 : std::max<qint64>(plan.bytes.size() - tag.regionSize, 0)) + v1Block;
}

qint64 ApplyGrowth(const TagInfo& tag, const FieldValues& output, const ApplyOptions& options) {
    TagInfo composed = tag;
    composeTag(composed, output, options);
    return GrowthOf(composed, composed.PlanWrite());
}

QString ApplyLocation(const FieldValues& output) {
    return output[FieldLocation].isEmpty() ? QString() : AbsolutePath(output[FieldLocation]);
}

QString ApplyTarget(const FieldValues& output) {
    QString location = ApplyLocation(output);
    if (!location.endsWith(u'/'))
        location += u'/';
    return location + output[FieldFilename] + QStringLiteral(".mp3");
}

bool AlbumArtistFollows(const TagInfo& tag) {
    const QString albumArtist = frameValue(tag, "TPE2");
    const QString artist = frameValue(tag, "TPE1");
    return albumArtist.isEmpty() || artist.isEmpty() || albumArtist == artist ||
           tag.albumArtistFromV1;
}

QString ChangedSinceRead(const QString& path) {
    return QStringLiteral("%1 changed since it was read; left alone").arg(path);
}

bool pathGone(const QString& path) {
    struct stat st;
    return ::lstat(pathBytes(path).constData(), &st) != 0 && errno == ENOENT;
}

QString GoneOrChanged(const QString& path, const QString& target) {
    return pathGone(path) ? cannotMove(target, ENOENT) : ChangedSinceRead(path);
}

bool PrepareApplyStart(JournalEntry& entry, TagInfo& tag, const OriginalBytes& before,
                       const FieldValues& output, const ApplyOptions& options,
                       TagInfo::Planned& plan, QString& error) {
    const QString& path = tag.path;
    if (!before.digest.ok) {
        error = pathGone(path) ? cannotMove(ApplyTarget(output), ENOENT) : cannotWrite(path);
        return false;
    }
    // The bytes kept for undo must be those of the file the tag record
    // describes.
    if (before.digest.identity != tag.identity || before.digest.size != tag.identity.size) {
        error = ChangedSinceRead(path);
        return false;
    }
    entry.originalPath = path;
    entry.targetPath = ApplyTarget(output);
    entry.originalSize = before.digest.size;
    entry.originalDigest = before.digest.digest;
    entry.originalMtimeNs = before.digest.mtimeNs;
    entry.head = before.head;
    // The tag to be written is known now: what it keeps of the old one is
    // not kept twice.
    composeTag(tag, output, options);
    plan = tag.PlanWrite();
    entry.saved = plan.bytes.isEmpty()
                      ? SaveRegionWhole(before.head)
                      : SaveRegion(before.head, plan.bytes, plan.inPlace, before.headDigests);
    if (options.clearV1)
        entry.tail = before.v1;
    if (plan.inPlace && !(tag.removeV1 && tag.hasV1))
        entry.printIfWritten = before.printWithRegion(plan.bytes);
    // Known whole now; the write itself needs only what changes.
    plan.keepChangesFrom(before.head);
    // A file that keeps its path needs no folder made.
    if (entry.targetPath != AbsolutePath(path))
        MissingFolderLevels(ApplyLocation(output), entry.plannedFolders);
    return true;
}

QString JournalFailure(const QString& reason) {
    return QStringLiteral("Cannot write the undo journal: %1").arg(reason);
}

bool RecordApplyStart(JournalWriter& journal, JournalEntry& entry, QString& error,
                      JournalWriter::Flush flush) {
    QString reason;
    if (!journal.recordStart(entry, &reason, flush)) {
        error = JournalFailure(reason);
        return false;
    }
    return true;
}

bool WritesInPlaceOnly(const TagInfo& tag, const TagInfo::Planned& plan,
                       const FieldValues& output) {
    return plan.inPlace && !plan.bytes.isEmpty() && ApplyTarget(output) == AbsolutePath(tag.path);
}

ApplyResult ApplyBegunFile(TagInfo& tag, const TagInfo::Planned& plan, const FieldValues& output,
                           const ApplyOptions& options, Recheck recheck) {
    return applyUnrecorded(tag, output, options, &plan, recheck);
}

ApplyResult ApplyRecordedFile(TagInfo& tag, const TagInfo::Planned& plan, const FieldValues& output,
                              const ApplyOptions& options, JournalWriter& journal,
                              JournalEntry& entry, Outcome outcome, Recheck recheck) {
    QString reason;
    if (!journal.makeDurable(entry.seq, &reason) || !journal.recordBegin(entry.seq, &reason)) {
        ApplyResult result;
        result.target = ApplyTarget(output);
        result.messages << JournalFailure(reason);
        return result;
    }
    entry.begun = true;
    ApplyResult result = applyUnrecorded(tag, output, options, &plan, recheck);
    if (outcome == Outcome::RecordNow) {
        CompleteOutcome(entry, result);
        journal.recordOutcome(entry, nullptr);
    }
    return result;
}

ApplyResult ApplyFile(TagInfo& tag, const FieldValues& output, const ApplyOptions& options,
                      JournalWriter* journal) {
    if (!journal)
        return applyUnrecorded(tag, output, options);
    JournalEntry entry;
    TagInfo::Planned plan;
    QString error;
    if (!PrepareApplyStart(entry, tag, ReadOriginalBytes(tag.path), output, options, plan, error) ||
        !RecordApplyStart(*journal, entry, error, JournalWriter::Flush::Now)) {
        ApplyResult result;
        result.target = ApplyTarget(output);
        result.messages << error;
        return result;
    }
    return ApplyRecordedFile(tag, plan, output, options, *journal, entry, Outcome::RecordNow);
}
