#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One file of an apply run, as the undo journal keeps it. The first part is
// written before the file is touched; the outcome after it.
struct JournalEntry {
    int seq = 0;
    QString originalPath;
    QString targetPath;
    QByteArray head; // the original ID3v2 region (empty when there was none)
    QByteArray tail; // the original ID3v1 block, when Apply is to remove it
    qint64 originalSize = 0;
    QByteArray originalDigest;
    qint64 originalMtimeNs = 0; // restored with the bytes
    QStringList plannedFolders; // levels of the target folder missing before, top first

    // The outcome, present once the file was handled.
    bool done = false;
    bool changed = false; // tags written or file moved
    QString finalPath;
    qint64 finalSize = 0;
    QByteArray finalDigest;

    bool undone = false;
};

struct JournalRun {
    QString id;
    QDateTime time;
    QString file; // the journal file
    QList<JournalEntry> entries;
    bool undoAttempted = false;

    // Files that the run may have changed: handled and changed, or cut off
    // while being handled.
    int changedFiles() const;
};

// $XDG_STATE_HOME/Norvesta/<application>/journal (~/.local/state when
// unset). The application name is the settings store's, so the window and
// quorvel-cli share one journal.
QString JournalFolder(const QString& application);
// The journal of the running program.
QString JournalFolder();

// Writes the journal of one run. The file is created at the first entry, so
// a run that touches nothing leaves nothing; a start record is flushed to
// disk before the call returns, an outcome record with the next one.
class JournalWriter {
public:
    explicit JournalWriter(QString folder = JournalFolder());
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // Before the file is touched. Fills entry.seq.
    bool recordStart(JournalEntry& entry, QString* error);
    // After it; entry carries the outcome.
    bool recordOutcome(const JournalEntry& entry, QString* error);
    // Ends the run; removes the journal when no file was changed.
    void finish();

    QString runId() const { return m_id; }
    QString filePath() const { return m_path; }

private:
    bool append(const QByteArray& line, QString* error, bool flush = true);

    QString m_folder;
    QString m_id;
    QString m_path;
    int m_fd = -1;
    int m_next = 1;
    int m_changed = 0;
    int m_open = 0; // entries started without an outcome yet
};

// Every run in the folder, newest first. Lines cut off by a killed process
// are skipped.
QList<JournalRun> ReadJournalRuns(const QString& folder = JournalFolder());
JournalRun ReadJournalRun(const QString& file);

// Marks one file of a run as taken back, and the run as undone.
bool RecordUndone(const QString& file, int seq);
bool RecordUndoAttempt(const QString& file);
