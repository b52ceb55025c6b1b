#pragma once

#include "apply/journal.h"
#include "apply/runindex.h"
#include "apply/undo.h"
#include "window/filelist.h"
#include "window/workerthread.h"

#include <QDialog>

class QLabel;
class QPushButton;
class QTableWidget;

// "History": the runs of the undo journal, the window's and quorvel-cli's
// alike, newest first, with the files of the selected run; "Undo" takes the
// selected run back and shows each file's outcome. The list comes from the
// journal's run index, on a worker thread, as does the undo; a run's files
// are read when it is selected.
class HistoryDialog : public QDialog {
    Q_OBJECT
public:
    explicit HistoryDialog(QWidget* parent = nullptr, const QString& folder = JournalFolder());
    ~HistoryDialog() override;

    bool isWorking() const { return m_worker.isRunning(); }
    // Reads the journal again.
    void reload();
    // Takes back the selected run.
    void undoSelected();
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent* event) override;

signals:
    // An undo has ended: where the files it took back stand now, for the
    // window's list.
    void runEnded(const QList<FileList::Outcome>& outcomes);
    // The journal was read, or an undo ended.
    void workEnded();

private:
    void showRuns();
    void showFiles();
    void showUndoReport();
    void jobEnded();
    void updateControls();
    int selectedRun() const;

    const QString m_folder;
    // Written by the job, read once it has ended.
    QList<JournalRunSummary> m_read;
    QString m_readProblem; // why the journal folder cannot be listed
    JournalRun m_readRun;
    int m_reading = -1; // the row whose run is being read
    UndoReport m_report;
    int m_undoing = -1; // the run being taken back

    QList<JournalRunSummary> m_runs;
    JournalRun m_shown;  // the files of the run on show
    int m_shownRun = -1; // its row, -1 when none is read
    bool m_closeWhenDone = false;
    QTableWidget* m_runTable = nullptr;
    QTableWidget* m_fileTable = nullptr;
    QLabel* m_summary = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_close = nullptr;
    WorkerThread m_worker; // last: its job ends before what it uses goes
};
