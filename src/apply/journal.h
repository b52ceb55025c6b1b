#pragma once

#include "savedregion.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <atomic>
#include <optional>
#include <utility>
#include <vector>

// One file of an apply run, as the undo journal keeps it. The first part is
// written before the file is touched; the outcome after it.
struct JournalEntry {
    int seq = 0;
    QString originalPath;
    QString targetPath;
    QByteArray head; // the original ID3v2 region (empty when there was none)
    // How the journal keeps head (savedregion.h): what the written tag does
    // not hold, with references to what it does. Without references, a read
    // run gets head from LoadSavedHead; with them, only from
    // RestoreSavedHead and the file.
    SavedRegion saved;
    qint64 regionSize = -1; // saved.size; -1: an earlier journal kept head whole
    // Where the journal keeps it: the run's byte file.
    qint64 headAt = -1;
    qint64 headSize = 0; // bytes there
    QByteArray tail;     // the original ID3v1 block, when Apply is to remove it
    qint64 originalSize = 0;
    // The print of the file before (contentprint.h), or for journals of
    // earlier versions the digest of its whole content (wholeFileDigests).
    QByteArray originalDigest;
    bool wholeFileDigests = false;
    qint64 originalMtimeNs = 0; // restored with the bytes
    QStringList plannedFolders; // levels of the target folder missing before, top first

    // Written, not flushed, right before the file is touched: with start
    // records flushed a group at a time, it tells the files that a killed
    // run reached from those it never did.
    bool begun = false;

    // The outcome, present once the file was handled.
    bool done = false;
    bool changed = false; // tags written or file moved
    QString finalPath;
    qint64 finalSize = 0;
    QByteArray finalDigest; // the same kind as originalDigest
    // Not recorded: the print the file has once its planned tag is written
    // in place (empty when the write changes more than the region), which
    // the outcome takes instead of reading the file again.
    QByteArray printIfWritten;
    // Not recorded: RegionPageDigests(head) when RestoreSavedHead rebuilt
    // head and learnt them doing so (empty otherwise), which the print of
    // the rebuilt file takes instead of hashing head again.
    QByteArray headDigests;

    bool undone = false;
    // An undo began to restore the file where it stands (the tag had been
    // written in place): if that undo was cut off, the file may hold part of
    // the old tag, and only bytes that rebuild the original count.
    bool restoring = false;
};

struct JournalRun {
    QString id;
    QDateTime time;
    QString file;      // the journal file
    QString bytesFile; // the original tag regions, written beside it
    QList<JournalEntry> entries;
    bool undoAttempted = false;
    bool undoBegun = false;  // an undo began (said so before its first file) and has not ended
    bool marksBegin = false; // the run writes begin records (earlier versions did not)
    // Why the journal cannot be trusted, one sentence each naming what cannot
    // be checked (a start record missing, an outcome without its start, a
    // line cut short with records after it); empty for a sound journal.
    // Undo refuses a damaged run as a whole.
    QStringList damage;
    bool complete = false;    // the run ended (earlier versions did not say so)
    qint64 journalBytes = -1; // of the journal file, as read

    // The entry numbered seq; nullptr when there is none.
    JournalEntry* entry(int seq);
    // Whether the run may have reached the file: an entry without an outcome
    // was cut off while being handled, unless the run marks the files it
    // begins and this one has no mark.
    bool mayHaveTouched(const JournalEntry& e) const;
    // Files that the run may have changed: handled and changed, or cut off
    // while being handled.
    int changedFiles() const;
    // Of those, the files that no undo has taken back yet.
    int notRestored() const;
    // Undo has been run and took back every file: nothing left to undo. A
    // run whose undo failed for some files stays undoable for those.
    bool fullyUndone() const { return undoAttempted && notRestored() == 0; }
    // An undo began and was cut off before it removed the run's folders and
    // recorded its end (or, in journals without "undoing" records, took
    // files back and was cut off so): undo must go on with it.
    bool undoUnfinished() const {
        return undoBegun || (!undoAttempted && notRestored() < changedFiles());
    }
    // Every file handled to its end (or taken back), no undo cut off, the
    // journal sound: nothing in it is needed to mend a run that was cut off.
    bool settled() const;
};

// $XDG_STATE_HOME/Norvesta/<application>/journal (~/.local/state when
// unset). The application name is the settings store's, so the window and
// quorvel-cli share one journal.
QString JournalFolder(const QString& application);
// The journal of the running program.
QString JournalFolder();

// Writes the journal of one run: <id>.jsonl, a line per record, and
// <id>.bytes, the original tag regions the start records point into (raw
// bytes: as base64 inside JSON they cost more than writing the tags). The
// files are created at the first entry, so a run that touches nothing
// leaves nothing. An outcome record is flushed with the next flush.
class JournalWriter {
public:
    enum class Flush { Now, Later };

    explicit JournalWriter(QString folder = JournalFolder());
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Before the file is touched. Fills entry.seq. With Flush::Later the
    // record reaches the disk with the next flush, so that a batch pays for
    // one flush per group of files: the file must not be touched before
    // makeDurable(entry.seq) returns true.
    bool recordStart(JournalEntry& entry, QString* error, Flush flush = Flush::Now);
    // recordStart(Flush::Later) for several files, in one write; when it
    // fails, none of them is begun (where the failed write could not be cut
    // off, part of their records may stand in the journal).
    bool recordStarts(const std::vector<JournalEntry*>& entries, QString* error);
    // Puts the entry's saved region (its head whole, when none was made)
    // into the byte file and sets headAt, headSize and regionSize, so that
    // recordStart does not; may run on several threads at once, each with
    // its own entry, once open() succeeded.
    bool saveHead(JournalEntry& entry, QString* error);
    // Creates the run's files; recordStart does it when needed.
    bool open(QString* error);
    // Flushes when the start record of seq is not on disk yet.
    bool makeDurable(int seq, QString* error);

    // Right before the file is touched (not flushed: a lost mark only makes
    // history count the file as possibly changed; undo checks it anyway).
    bool recordBegin(int seq, QString* error);
    // recordBegin for several files, in one write.
    bool recordBegins(const QList<int>& seqs, QString* error);
    // After it; entry carries the outcome.
    bool recordOutcome(const JournalEntry& entry, QString* error);
    // recordOutcome for several files, in one write.
    bool recordOutcomes(const std::vector<const JournalEntry*>& entries, QString* error);
    // Ends the run (an end record that counts its files, so that a start
    // record lost later is noticed); removes the journal when no file was
    // changed.
    void finish();

    QString runId() const { return m_id; }
    QString filePath() const { return m_path; }

private:
    // Writes whole records: what a failed write left of them is cut off
    // again, so the records after them can be read. left: it could not be,
    // and nothing more is written to the journal.
    bool append(const QByteArray& lines, QString* error, bool* left = nullptr);
    bool flush(QString* error);
    bool fail(const QString& path, QString* error);
    // A file of the run no longer has a name (the journal folder was cleared).
    bool removed() const;

    QString m_folder;
    QString m_id;
    QDateTime m_time;
    bool m_failed = false; // a record could not be written
    QString m_path;
    QString m_bytesPath;
    int m_fd = -1;
    int m_bytesFd = -1;
    std::atomic<qint64> m_bytesSize{0};
    qint64 m_size = 0;    // of the journal file, as written
    bool m_uncut = false; // part of a record stands at its end
    int m_next = 1;
    int m_durable = 0; // the last seq whose start record is on disk
    int m_changed = 0;
    int m_open = 0;           // entries started without an outcome yet
    bool m_unchecked = false; // an outcome without a print: reading finds it
};

// Every run in the folder, newest first. The last line cut off by a killed
// process is skipped; anything else that does not fit is the run's damage.
QList<JournalRun> ReadJournalRuns(const QString& folder = JournalFolder());
JournalRun ReadJournalRun(const QString& file);
// Loads what the run's byte file keeps of the entry's head: head itself
// when it holds no references (or as read, for a journal that kept it
// inline), else entry.saved. False when the saved bytes are gone.
// bytesFd: the run's byte file, open already (else it is opened for this).
bool LoadSavedHead(const JournalRun& run, JournalEntry& entry, int bytesFd = -1);
// Fills entry.head from the loaded saved parts and the file open as fd,
// where the references point. False when the file holds neither the
// original nor the written bytes there (see RestoreRegion). start: the
// file's first bytes, read already; fd is read only for what it lacks.
bool RestoreSavedHead(JournalEntry& entry, int fd, QByteArrayView start = {});

// Marks one file of a run as taken back, and the run as undone.
bool RecordUndone(const QString& file, int seq);
bool RecordUndoAttempt(const QString& file);
// Right before undo writes the old tag into the file where it stands;
// flushed.
bool recordRestoring(const QString& file, int seq);

// The same marks for many files of a run, flushed together: undo marks a
// group of files as being restored with one flush before it writes any of
// them, and as taken back with one flush once they are on disk. Records
// reach the journal at flush(), never before.
class JournalMarks {
public:
    explicit JournalMarks(const JournalRun& run);
    ~JournalMarks();
    JournalMarks(const JournalMarks&) = delete;
    JournalMarks& operator=(const JournalMarks&) = delete;

    void restoring(int seq);
    // The file marked restoring was left alone before a byte was written
    // (it had changed): its mark no longer lets the bytes decide.
    void notRestoring(int seq);
    void undone(int seq);
    // Written before the first file is touched: an undo cut off before it
    // marked anything is then known all the same.
    void undoBegins();
    void undoAttempt();
    // Appends the records held and makes them durable; false (and nothing
    // known to be on disk) on a failure.
    bool flush();
    // The run as ReadJournalRun would read it now, with the marks flushed
    // so far, so that undo need not read its journal again to index it;
    // nullptr when that is not known (the run was damaged, a flush failed).
    // Only while the journal is journalBytes() long: another program may
    // have appended to it meanwhile.
    const JournalRun* runNow() const { return m_run ? &*m_run : nullptr; }
    qint64 journalBytes() const { return m_run ? m_run->journalBytes : -1; }

private:
    enum class Mark { Restoring, NotRestoring, Undone, UndoBegins, UndoAttempt };
    void take(Mark mark, int seq, const QByteArray& line);

    QString m_file;
    QByteArray m_pending;
    std::vector<std::pair<Mark, int>> m_pendingMarks;
    std::optional<JournalRun> m_run;
};

// Whether the run of this journal is still being written: its writer
// holds the journal locked until the run ends.
bool RunBeingWritten(const QString& journalFile);

// What forgetting old runs removed.
struct ForgetReport {
    QStringList runs; // ids
    qint64 bytes = 0; // journal and byte files together
};
// Removes the runs of the folder that are settled and began more than days
// days before now, with their byte files. Runs that a cut-off apply or
// undo may still need, damaged ones and a run still being written (its
// writer holds the journal locked) stay.
ForgetReport forgetRuns(int days, const QDateTime& now = QDateTime::currentDateTimeUtc(),
                        const QString& folder = JournalFolder());
