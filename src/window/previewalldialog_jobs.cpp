// "Preview All" on the worker thread: planning every file, Apply All and
// Undo, each reporting through a queue that the window's thread takes from
// at every pulse.
#include "window/previewalldialog.h"

#include "apply/batchapply.h"
#include "apply/journal.h"
#include "apply/planfile.h"

#include <QFileInfo>
#include <QHash>
#include <QProgressBar>

#include <algorithm>

namespace {

RowReport applyReport(int row, const ApplyResult& result, bool begun) {
    RowReport r;
    r.row = row;
    r.messages = result.messages;
    if (result.ok)
        r.outcome = RowOutcome::Done;
    else if (!begun)
        r.outcome = RowOutcome::Cancelled; // the run stopped before it
    else {
        r.outcome = RowOutcome::Failed;
        r.reason = result.messages.value(0, QStringLiteral("not applied"));
    }
    return r;
}

} // namespace

void PreviewAllDialog::startPlanning() {
    m_progressBar->setRange(0, int(m_paths.size()));
    m_progressBar->setValue(0);
    m_worker.start([this] {
        // What finding shared targets needs of each plan, kept here while the
        // rows go to the window.
        std::vector<FilePlan> targets(size_t(m_paths.size()));
        PlanFiles(
            m_paths, m_profile,
            [this, &targets](int i, FilePlan&& plan) {
                FilePlan& t = targets[size_t(i)];
                t.path = plan.path;
                t.refusal = plan.refusal;
                t.target = plan.target;
                m_planned.push(BatchRow::fromPlan(std::move(plan)));
            },
            [this] { return m_stop.load(); });
        if (m_stop)
            return;
        MarkSharedTargets(targets);
        m_sharedWith.resize(targets.size());
        for (size_t i = 0; i < targets.size(); ++i)
            m_sharedWith[i] = {std::move(targets[i].sharedWith), targets[i].sharedWithCount};
    });
}

void PreviewAllDialog::takeReports() {
    if (m_stage == Stage::Planning) {
        m_model.appendRows(m_planned.take());
        m_progressBar->setValue(m_model.rowCount());
    } else if (m_stage == Stage::Applying) {
        m_model.report(m_applied.take());
        m_progressBar->setValue(m_begun);
    }
    updateControls();
}

void PreviewAllDialog::workEnded() {
    switch (m_stage) {
    case Stage::Planning:
        planningEnded();
        break;
    case Stage::Applying:
        applyEnded();
        break;
    case Stage::Undoing:
        undoEnded();
        break;
    default:
        break;
    }
    if (m_closeWhenDone)
        QDialog::reject();
}

void PreviewAllDialog::planningEnded() {
    if (m_stop)
        return; // closed while planning
    m_model.setSharedTargets(m_sharedWith);
    m_sharedWith.clear();
    setStage(Stage::Planned);
}

void PreviewAllDialog::applyAll() {
    if (m_stage != Stage::Planned || m_worker.isRunning())
        return;
    const int total = m_model.includedCount();
    if (total == 0)
        return;
    // Every row keeps its index in the run; the rows left out are not ready.
    std::vector<FilePlan> plans;
    std::vector<char> included;
    std::vector<char> leftOut; // ready, but unchecked
    plans.reserve(m_model.rows().size());
    included.reserve(m_model.rows().size());
    leftOut.reserve(m_model.rows().size());
    for (const BatchRow& row : m_model.rows()) {
        FilePlan& plan = plans.emplace_back(row.plan);
        plan.dropValues(); // the run reads each file again
        included.push_back(row.included());
        leftOut.push_back(!row.included() && row.applicable());
        if (leftOut.back())
            plan.refusal = Refusal{QStringLiteral("not included"), {}};
    }
    m_begun = 0;
    m_progressBar->setRange(0, total);
    m_progressBar->setValue(0);
    m_model.setLocked(true);
    setStage(Stage::Applying);
    m_worker.start([this, plans = std::move(plans), included = std::move(included),
                    leftOut = std::move(leftOut)]() mutable {
        std::vector<char> begun(plans.size());
        JournalWriter journal(m_journalFolder);
        BatchHooks hooks;
        hooks.stopRequested = [this] { return m_stop.load(); };
        hooks.starting = [&](int i) {
            begun[size_t(i)] = 1;
            if (included[size_t(i)])
                ++m_begun;
        };
        hooks.finished = [&](int i, const ApplyResult& result) {
            // A ready row left out no longer shows "ready": the run is over.
            if (leftOut[size_t(i)])
                m_applied.push(RowReport{i, RowOutcome::NotIncluded, {}, {}});
            if (!included[size_t(i)])
                return;
            const RowReport report = applyReport(i, result, begun[size_t(i)]);
            const QString& path = plans[size_t(i)].path;
            if (report.outcome == RowOutcome::Done)
                m_outcomes.append(
                    {path, result.moved ? result.target : path, FileList::Mark::Applied, {}});
            else if (report.outcome == RowOutcome::Failed)
                m_outcomes.append({path, path, FileList::Mark::Failed, report.reason});
            m_applied.push(report);
        };
        hooks.betweenFiles = m_betweenFiles;
        ApplyBatch(plans, m_profile, journal, hooks);
        journal.finish();
        if (QFileInfo::exists(journal.filePath()))
            m_runFile = journal.filePath();
    });
}

void PreviewAllDialog::applyEnded() {
    setStage(Stage::Applied);
    emit runEnded(std::exchange(m_outcomes, {}));
}

void PreviewAllDialog::undo() {
    if (m_stage != Stage::Applied || m_runFile.isEmpty() || m_worker.isRunning())
        return;
    m_appliedProgress = {m_progressBar->maximum(), m_progressBar->value()};
    m_undoRefused.clear();
    m_progressBar->setRange(0, 0); // an undo tells no progress
    setStage(Stage::Undoing);
    m_worker.start([this] { m_undoReport = UndoRun(ReadJournalRun(m_runFile)); });
}

void PreviewAllDialog::undoEnded() {
    // Nothing was done: the run stays as applied, and Undo stays offered.
    if (m_undoReport.beingUndone || m_undoReport.stillApplying) {
        m_undoRefused = m_undoReport.beingUndone ? QStringLiteral("another program is undoing it")
                                                 : QStringLiteral("it is still being applied");
        m_progressBar->setRange(0, m_appliedProgress.first);
        m_progressBar->setValue(m_appliedProgress.second);
        setStage(Stage::Applied);
        return;
    }
    QHash<QString, int> rowOf;
    for (size_t i = 0; i < m_model.rows().size(); ++i)
        rowOf.insert(m_model.rows()[i].plan.path, int(i));
    std::vector<RowReport> reports;
    QList<FileList::Outcome> outcomes;
    // This dialog's run: files another program took back since count too.
    for (const UndoFileResult& file : m_undoReport.files + m_undoReport.takenBackBefore) {
        const int row = rowOf.value(file.restoredPath, -1);
        if (row < 0)
            continue;
        reports.push_back({row, file.ok ? RowOutcome::Undone : RowOutcome::UndoFailed,
                           file.messages.value(0), file.messages});
        // Back as it was before the run: no mark. A file not taken back
        // keeps the mark of the run.
        if (file.ok)
            outcomes.append({file.path, file.restoredPath, FileList::Mark::None, {}});
    }
    m_model.report(reports);
    // The files the undo handled, all of them done.
    const int handled =
        std::max(1, int(m_undoReport.files.size() + m_undoReport.takenBackBefore.size()));
    m_progressBar->setRange(0, handled);
    m_progressBar->setValue(handled);
    setStage(Stage::Undone);
    emit runEnded(outcomes);
}
