#pragma once

#include "journal.h"
#include "originalbytes.h"
#include "tags/taginfo.h"
#include "transform/fields.h"

#include <QStringList>

// What Apply did (or, for a preview, would do) with one file.
struct ApplyResult {
    bool ok = false; // tags written, folder in place and file moved
    bool tagsWritten = false;
    bool folderCreated = false; // at least one level of the Location was made
    bool folderReady = false;   // the Location stands as a folder; the move was tried
    bool moved = false;         // the file stands at the target (its own path counts)
    bool untouched = false;     // refused before anything was written to it
    QString target;             // Location + "/" + Filename + ".mp3"
    QStringList messages;       // in the order they arose
};

// The options of the profile that Apply reads.
struct ApplyOptions {
    bool clearOtherV2 = false;
    bool clearV1 = false;
};

// The Output Location made absolute against the working folder (see
// AbsolutePath); an empty Location stays empty (and is refused).
QString ApplyLocation(const FieldValues& output);
// That Location, "/", Filename and ".mp3" in lower case, whatever the
// extension was.
QString ApplyTarget(const FieldValues& output);

// Carries the Output values of a transformation run into the file that tag
// was read from. First CheckBeforeApply: a file it refuses is left alone
// (its message is the result's). Then clears the other frames and sets
// removeV1 as the options say, sets the seven frames (an empty value sets
// nothing; Artist goes into "TPE2" too unless the file has an album artist
// of its own, see AlbumArtistFollows), writes the tag, creates the Location
// with every missing level and moves the file to the target without
// replacing anything. Stops at the first failure; the tag record keeps the
// frames as set. The write refuses a path that no longer names the file
// read, unchanged (ChangedSinceRead), and nothing else happens then. With a journal, the original
// bytes that the write will change are recorded and flushed before the file is touched; when that
// fails, the file is left alone.
ApplyResult ApplyFile(TagInfo& tag, const FieldValues& output, const ApplyOptions& options,
                      JournalWriter* journal = nullptr);

// At most how many bytes the file read as tag grows by when plan is written
// (an ID3v1 block counted as new): what a copy to another file system needs
// beyond the file's size now. ApplyGrowth plans the write of output first.
qint64 GrowthOf(const TagInfo& tag, const TagInfo::Planned& plan);
qint64 ApplyGrowth(const TagInfo& tag, const FieldValues& output, const ApplyOptions& options);

// "<path> changed since it was read; left alone": Apply met another file at
// the path than the one it read, or the same file with other content.
QString ChangedSinceRead(const QString& path);
// Whether nothing stands at path any more: a file read there was moved or
// removed since.
bool pathGone(const QString& path);
// Why a file that was read is not the file at path now: gone, as the move
// of a missing file fails ("Cannot move file as <target>. Error 2"), or
// ChangedSinceRead.
QString GoneOrChanged(const QString& path, const QString& target);

// ApplyFile in steps, so that a batch flushes the journal once for a group
// of files and reads them in parallel. PrepareApplyStart sets the frames
// Apply writes into tag, plans the write (plan) and fills the entry from the
// file's original bytes as ReadOriginalBytes found them and the tag to be
// written (error set when they could not be read, or are not the file read
// as tag.identity describes it); RecordApplyStart puts it in the journal
// (the saved region too, unless JournalWriter::saveHead did already);
// ApplyRecordedFile, later, makes that record durable if it is not yet,
// then writes that plan and moves the file. With Outcome::Later the caller records the
// outcome of a file that was begun (entry.begun): CompleteOutcome, which
// may run on any thread, then recordOutcome.
bool PrepareApplyStart(JournalEntry& entry, TagInfo& tag, const OriginalBytes& before,
                       const FieldValues& output, const ApplyOptions& options,
                       TagInfo::Planned& plan, QString& error);
bool RecordApplyStart(JournalWriter& journal, JournalEntry& entry, QString& error,
                      JournalWriter::Flush flush);
// "Cannot write the undo journal: <reason>"
QString JournalFailure(const QString& reason);
enum class Outcome { RecordNow, Later };
// Whether the write runs CheckBeforeApply again: always, or, for a file
// that keeps its path and gets a tag that fits in place, only its link
// check (a batch checked the rest when planned, and such a write needs no
// folder; the write itself checks that the path still names the file read).
enum class Recheck { Always, TagOnlyInPlace };
// tag and plan as PrepareApplyStart left them.
// Whether the file keeps its path and its new tag fits the old one's
// space: only its own bytes change, so such files may be written together.
bool WritesInPlaceOnly(const TagInfo& tag, const TagInfo::Planned& plan, const FieldValues& output);
// The write and the move of a file whose begin record the caller made
// (entry.begun): ApplyRecordedFile without the journal. May run on any
// thread, for files that write in place only.
ApplyResult ApplyBegunFile(TagInfo& tag, const TagInfo::Planned& plan, const FieldValues& output,
                           const ApplyOptions& options, Recheck recheck);
ApplyResult ApplyRecordedFile(TagInfo& tag, const TagInfo::Planned& plan, const FieldValues& output,
                              const ApplyOptions& options, JournalWriter& journal,
                              JournalEntry& entry, Outcome outcome,
                              Recheck recheck = Recheck::Always);
// Fills the entry's outcome from where the file stands now: its print is
// read from the file again, unless the tag was written in place and the
// print known before the write (JournalEntry::printIfWritten) holds.
void CompleteOutcome(JournalEntry& entry, const ApplyResult& result);

// Whether Apply writes the Artist into "TPE2" of the tag as read: when the
// file has no "TPE2", no "TPE1" (the Artist shown came from "TPE2") or a
// "TPE2" equal to its "TPE1", or when its "TPE2" is the ID3v1 block's
// artist. A different "TPE2" of the ID3v2 tag is an album artist ("Various
// Artists" on a compilation) and stays.
bool AlbumArtistFollows(const TagInfo& tag);
