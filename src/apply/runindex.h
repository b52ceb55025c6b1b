#pragma once

#include "journal.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What history and the window say of a run, in this order of precedence.
enum class RunState { Damaged, UndoUnfinished, Applied, Undone, PartlyUndone };

// What history shows of a run, without its files.
struct JournalRunSummary {
    QString id;
    QDateTime time;
    QString file;  // the journal file
    int files = 0; // JournalRun::changedFiles()
    bool undoAttempted = false;
    bool undoBegun = false;
    int notRestored = 0; // JournalRun::notRestored()
    QStringList damage;
    bool settled = false; // JournalRun::settled()

    bool undoUnfinished() const { return undoBegun || (!undoAttempted && notRestored < files); }
    // Files not taken back yet, or an undo cut off to finish.
    bool leftToUndo() const { return notRestored > 0 || undoUnfinished(); }
    RunState state() const {
        if (!damage.isEmpty())
            return RunState::Damaged;
        if (undoUnfinished())
            return RunState::UndoUnfinished;
        if (!undoAttempted)
            return RunState::Applied;
        return notRestored == 0 ? RunState::Undone : RunState::PartlyUndone;
    }
    // "partly undone: 2 files not restored", as history and the History
    // dialog say a PartlyUndone run.
    QString partlyUndoneText() const {
        return QStringLiteral("partly undone: %1 %2 not restored")
            .arg(notRestored)
            .arg(notRestored == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    }
};

JournalRunSummary SummaryOf(const JournalRun& run);

// Every run in the folder, newest first, summarised as ReadJournalRuns would
// read them. A run whose journal file is as it was when it was last
// summarised (size, inode, modification and change time) is taken from the
// folder's index (".runs-index") without being read; the others are read,
// and the index is written anew. The index is only ever a shortcut: a
// journal changed in any way, by a later undo or by hand, is read again,
// and a missing or unreadable index just means reading every run.
QList<JournalRunSummary> ReadJournalSummaries(const QString& folder = JournalFolder());

// Why the journal folder cannot be listed ("cannot read the journal folder
// ..."), or nothing when it can or is not there yet (no run so far): an
// unreadable folder must not pass for one without runs.
QString JournalFolderProblem(const QString& folder = JournalFolder());

// Reads the run of one journal file and puts its summary into its folder's
// index, so that the next history need not read it (UndoRun calls it).
void IndexJournalRun(const QString& journalFile);
// The same with the summary that the run's writer knows, as the journal
// stands now (JournalWriter::finish, for a run it wrote without a hitch;
// undo, for the marks it flushed). A journal that is no longer size bytes
// long (when size is given) was written by another program since: it is
// read again.
void IndexJournalRun(const QString& journalFile, const JournalRunSummary& summary,
                     qint64 size = -1);
