#pragma once

#include "apply/undo.h"
#include "profiles/profile.h"
#include "window/batchtablemodel.h"
#include "window/filelist.h"
#include "window/reportqueue.h"
#include "window/workerthread.h"

#include <QDialog>
#include <QPair>

#include <atomic>
#include <functional>

class QCheckBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QSortFilterProxyModel;
class QTableView;

// "Preview All": every listed file as Apply would handle it, planned on a
// worker thread while the table fills; then Apply All of the checked rows as
// one journal run, Cancel, and Undo of that run. The window keeps answering
// throughout; closing while a run works stops it after the file in hand.
class PreviewAllDialog : public QDialog {
    Q_OBJECT
public:
    // Starts planning paths with profile (formats and options) right away.
    PreviewAllDialog(const QStringList& paths, const Profile& profile, QWidget* parent = nullptr);
    ~PreviewAllDialog() override;

    enum class Stage { Planning, Planned, Applying, Applied, Undoing, Undone };
    Stage stage() const { return m_stage; }
    const BatchTableModel& model() const { return m_model; }
    // The journal run of Apply All; empty until it changed a file.
    QString runFile() const { return m_runFile; }

    // Applies the checked ready rows as one run of the journal.
    void applyAll();
    // Stops Apply All after the file in hand.
    void cancel();
    // Takes the run of Apply All back.
    void undo();
    // Close, Esc and the close box: at once, or once the run in hand has
    // stopped.
    void reject() override;

    // Runs on the worker thread after each applied file but the last, as
    // BatchHooks::betweenFiles does (tests stop a run exactly there).
    void setBetweenFilesHook(std::function<void(int row)> hook) {
        m_betweenFiles = std::move(hook);
    }

protected:
    void keyPressEvent(QKeyEvent* event) override;

signals:
    // Apply All or Undo has ended: where each file it handled stands now
    // and what it did, for the window's list.
    void runEnded(const QList<FileList::Outcome>& outcomes);
    // The stage changed (a run began or ended).
    void stageChanged(PreviewAllDialog::Stage stage);

private:
    void buildControls();
    void updateControls();
    void setStage(Stage stage);
    void startPlanning();
    void takeReports();
    void workEnded();
    void planningEnded();
    void applyEnded();
    void undoEnded();
    QString summary() const;

    // Shared with the jobs: set before a job starts, read after it ends.
    const QStringList m_paths;
    const Profile m_profile;
    const QString m_journalFolder;
    std::atomic<bool> m_stop{false};
    // Checked files that Apply All has begun: the progress shows the file in
    // hand, not only those whose outcome the journal holds.
    std::atomic<int> m_begun{0};
    ReportQueue<BatchRow> m_planned;
    ReportQueue<RowReport> m_applied;
    std::vector<BatchTableModel::SharedWith> m_sharedWith;
    QString m_runFile;
    QList<FileList::Outcome> m_outcomes;
    UndoReport m_undoReport;
    // Why the last Undo did nothing while the run stays undoable (another
    // program is taking it back); empty otherwise.
    QString m_undoRefused;
    QPair<int, int> m_appliedProgress; // maximum and value, shown again then
    std::function<void(int)> m_betweenFiles;

    Stage m_stage = Stage::Planning;
    bool m_closeWhenDone = false;
    BatchTableModel m_model;
    QSortFilterProxyModel* m_proxy = nullptr;
    QTableView* m_table = nullptr;
    QCheckBox* m_problemsOnly = nullptr;
    QLabel* m_summary = nullptr;
    QProgressBar* m_progressBar = nullptr;
    QPushButton* m_applyAll = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_undo = nullptr;
    QPushButton* m_close = nullptr;
    // Last: destroyed first, so its job ends before what the job uses goes.
    WorkerThread m_worker;
};
