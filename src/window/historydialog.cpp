#include "window/historydialog.h"

#include "window/enterkey.h"

#include <QBoxLayout>
#include <QHash>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTableWidget>

#include <algorithm>

namespace {

QTableWidget* table(const QString& name, const QStringList& columns, QWidget* parent) {
    auto* t = new QTableWidget(0, int(columns.size()), parent);
    t->setAccessibleName(name);
    t->setHorizontalHeaderLabels(columns);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setWordWrap(false);
    // Tab leaves the table for the buttons; the arrows move between rows.
    t->setTabKeyNavigation(false);
    t->verticalHeader()->hide();
    t->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    t->verticalHeader()->setDefaultSectionSize(t->fontMetrics().height() + 6);
    t->horizontalHeader()->setStretchLastSection(true);
    return t;
}

void setRow(QTableWidget* t, int row, const QStringList& texts) {
    for (int c = 0; c < texts.size(); ++c) {
        auto* item = new QTableWidgetItem(texts[c]);
        item->setToolTip(texts[c]);
        t->setItem(row, c, item);
    }
}

// Whether undo has anything left to take back (or an undo cut off to
// finish); a damaged run it refuses.
bool undoable(const JournalRunSummary& run) {
    return run.damage.isEmpty() && run.leftToUndo();
}

// The run's state in a word or two, as quorvel-cli history says it.
QString runState(const JournalRunSummary& run) {
    switch (run.state()) {
    case RunState::Damaged:
        return QStringLiteral("damaged");
    case RunState::UndoUnfinished:
        return QStringLiteral("undo unfinished");
    case RunState::Applied:
        return QStringLiteral("applied");
    case RunState::Undone:
        return QStringLiteral("undone");
    case RunState::PartlyUndone:
        break;
    }
    return run.partlyUndoneText();
}

QString entryState(const JournalRun& run, const JournalEntry& e) {
    if (e.undone)
        return QStringLiteral("undone");
    if (e.done)
        return e.changed ? QStringLiteral("applied") : QStringLiteral("not changed");
    return run.mayHaveTouched(e) ? QStringLiteral("cut off") : QStringLiteral("not reached");
}

} // namespace

HistoryDialog::HistoryDialog(QWidget* parent, const QString& folder)
    : QDialog(parent), m_folder(folder) {
    setWindowTitle(QStringLiteral("History"));
    setAccessibleName(windowTitle());
    m_runTable = table(QStringLiteral("Runs"),
                       {QStringLiteral("Time"), QStringLiteral("Run"), QStringLiteral("Files"),
                        QStringLiteral("State")},
                       this);
    m_fileTable =
        table(QStringLiteral("Files of the run"),
              {QStringLiteral("File"), QStringLiteral("Moved to"), QStringLiteral("State")}, this);
    m_summary = new QLabel(this);
    // Named by its text, which screen readers read as it changes.
    m_summary->setAccessibleDescription(QStringLiteral("Summary"));
    m_undo = new QPushButton(QStringLiteral("Undo"), this);
    m_close = new QPushButton(QStringLiteral("Close"), this);
    for (QPushButton* b : {m_undo, m_close}) {
        b->setAccessibleName(b->text());
        b->setAutoDefault(false);
    }
    connect(m_undo, &QPushButton::clicked, this, &HistoryDialog::undoSelected);
    connect(m_close, &QPushButton::clicked, this, &HistoryDialog::reject);
    connect(m_runTable, &QTableWidget::itemSelectionChanged, this, [this] {
        showFiles();
        updateControls();
    });

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_undo);
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_runTable, 2);
    layout->addWidget(m_fileTable, 3);
    layout->addLayout(buttons);
    QWidget::setTabOrder(m_runTable, m_fileTable);
    QWidget::setTabOrder(m_fileTable, m_undo);
    QWidget::setTabOrder(m_undo, m_close);

    // Times and run names whole; paths as wide as the screen allows.
    const QFontMetrics metrics = fontMetrics();
    const int pad = 3 * metrics.averageCharWidth();
    m_runTable->horizontalHeader()->resizeSection(
        0, metrics.horizontalAdvance(QStringLiteral("2026-12-08 23:59:59")) + pad);
    m_runTable->horizontalHeader()->resizeSection(
        1, metrics.horizontalAdvance(QStringLiteral("20261208-235959-999-9")) + pad);
    m_runTable->horizontalHeader()->resizeSection(
        2, metrics.horizontalAdvance(QStringLiteral("100000")) + pad);
    const int pathWidth = 50 * metrics.averageCharWidth();
    m_fileTable->horizontalHeader()->resizeSection(0, pathWidth);
    m_fileTable->horizontalHeader()->resizeSection(1, pathWidth);
    // The state after them, and the frames, margins and scroll bar.
    int width = 2 * pathWidth + 36 * metrics.averageCharWidth();
    if (const QScreen* screen = (parent ? parent : this)->screen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    resize(width, 30 * metrics.height());

    connect(&m_worker, &WorkerThread::finished, this, &HistoryDialog::jobEnded);
    reload();
}

HistoryDialog::~HistoryDialog() {
    m_worker.wait();
}

void HistoryDialog::reload() {
    if (m_worker.isRunning())
        return;
    m_summary->setText(QStringLiteral("Reading the journal"));
    m_worker.start([this] {
        m_readProblem = JournalFolderProblem(m_folder);
        m_read = ReadJournalSummaries(m_folder);
    });
    updateControls();
}

void HistoryDialog::undoSelected() {
    const int run = selectedRun();
    if (run < 0 || run != m_shownRun || m_worker.isRunning() || !undoable(m_runs[run]))
        return;
    m_undoing = run;
    m_summary->setText(QStringLiteral("Taking the run back"));
    m_worker.start([this, file = m_runs[run].file] { m_report = UndoRun(ReadJournalRun(file)); });
    updateControls();
}

void HistoryDialog::jobEnded() {
    const bool undone = m_undoing >= 0;
    if (undone) {
        showUndoReport();
        m_undoing = -1;
    } else if (m_reading >= 0) {
        m_shown = std::exchange(m_readRun, {});
        m_shownRun = std::exchange(m_reading, -1);
        showFiles(); // or reads the run chosen meanwhile
    } else {
        m_runs = std::exchange(m_read, {});
        m_shownRun = -1;
        showRuns();
        showFiles(); // also when the first row was selected already
    }
    updateControls();
    // The runs went grey during the undo and the focus went on to Close.
    if (undone && !m_closeWhenDone)
        m_runTable->setFocus();
    if (m_worker.isRunning())
        return;
    emit workEnded();
    if (m_closeWhenDone)
        QDialog::reject();
}

void HistoryDialog::reject() {
    // An undo is not cut off half-way: the dialog closes when it has ended.
    if (m_worker.isRunning()) {
        m_closeWhenDone = true;
        updateControls();
        return;
    }
    QDialog::reject();
}

void HistoryDialog::keyPressEvent(QKeyEvent* event) {
    if (!ClickFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

int HistoryDialog::selectedRun() const {
    const QList<QTableWidgetItem*> selected = m_runTable->selectedItems();
    return selected.isEmpty() ? -1 : selected.first()->row();
}

void HistoryDialog::updateControls() {
    const int run = selectedRun();
    // The run on show stays the one being taken back; the list, the one
    // being read again. Another run may be chosen while one is read.
    m_runTable->setEnabled(!m_worker.isRunning() || m_reading >= 0);
    m_undo->setEnabled(!m_worker.isRunning() && !m_closeWhenDone && run >= 0 && run == m_shownRun &&
                       undoable(m_runs[run]));
}

void HistoryDialog::showRuns() {
    m_runTable->setRowCount(int(m_runs.size()));
    for (int i = 0; i < m_runs.size(); ++i) {
        const JournalRunSummary& run = m_runs[i];
        setRow(m_runTable, i,
               {run.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), run.id,
                QString::number(run.files), runState(run)});
        m_runTable->item(i, 3)->setToolTip(run.damage.join(u'\n'));
    }
    m_summary->setText(!m_readProblem.isEmpty()
                           ? m_readProblem.left(1).toUpper() + m_readProblem.mid(1)
                       : m_runs.isEmpty()   ? QStringLiteral("No apply runs")
                       : m_runs.size() == 1 ? QStringLiteral("1 run")
                                            : QStringLiteral("%1 runs").arg(m_runs.size()));
    if (!m_runs.isEmpty())
        m_runTable->selectRow(0);
    else
        showFiles();
}

// The files of the selected run; a run not read yet is read on the worker
// thread first (once it is free), and shown when it has been.
void HistoryDialog::showFiles() {
    const int selected = selectedRun();
    if (selected < 0 || selected != m_shownRun)
        m_fileTable->setRowCount(0);
    if (selected < 0)
        return;
    if (selected != m_shownRun) {
        if (!m_worker.isRunning() && !m_closeWhenDone) {
            m_reading = selected;
            m_worker.start(
                [this, file = m_runs[selected].file] { m_readRun = ReadJournalRun(file); });
        }
        return;
    }
    const JournalRun& run = m_shown;
    m_fileTable->setRowCount(int(run.entries.size()));
    for (int i = 0; i < run.entries.size(); ++i) {
        const JournalEntry& e = run.entries[i];
        setRow(m_fileTable, i,
               {e.originalPath, e.done ? e.finalPath : e.targetPath, entryState(run, e)});
    }
}

void HistoryDialog::showUndoReport() {
    // The run undone is the one on show: Undo is there only then.
    JournalRun& run = m_shown;
    if (!m_report.damage.isEmpty() || m_report.stillApplying || m_report.beingUndone) {
        m_summary->setText(QStringLiteral("Run %1 not undone: %2")
                               .arg(run.id, m_report.stillApplying
                                                ? QStringLiteral("it is still being applied")
                                            : m_report.beingUndone
                                                ? QStringLiteral("another program is undoing it")
                                                : m_report.damage.first()));
        return;
    }
    run.undoAttempted = true;
    run.undoBegun = false;
    QList<FileList::Outcome> outcomes;
    int failed = 0;
    // The entries of each old path, in order: a run of 10,000 files is not
    // searched once per file.
    QHash<QString, QList<int>> entriesOf;
    for (int i = 0; i < run.entries.size(); ++i)
        entriesOf[run.entries[i].originalPath].append(i);
    // Files taken back by another program since the run was shown count as
    // this undo's: the list follows them too.
    const auto take = [&](const UndoFileResult& file, bool onlyIfShownApplied) {
        bool taken = false;
        for (const int i : entriesOf.value(file.restoredPath)) {
            JournalEntry& e = run.entries[i];
            if (e.undone)
                continue;
            e.undone = file.ok;
            taken = true;
            const QString state = file.ok
                                      ? QStringLiteral("undone")
                                      : QStringLiteral("undo failed: ") + file.messages.value(0);
            if (m_runTable->currentRow() == m_undoing) {
                m_fileTable->item(i, 2)->setText(state);
                m_fileTable->item(i, 2)->setToolTip(file.messages.join(u'\n'));
            }
            break;
        }
        if (onlyIfShownApplied && !taken)
            return;
        if (file.ok)
            outcomes.append({file.path, file.restoredPath, FileList::Mark::None, {}});
        else
            ++failed;
    };
    for (const UndoFileResult& file : m_report.files)
        take(file, false);
    for (const UndoFileResult& file : m_report.takenBackBefore)
        take(file, true);
    m_runs[m_undoing] = SummaryOf(run);
    m_runTable->item(m_undoing, 3)->setText(runState(m_runs[m_undoing]));
    QString summary =
        failed == 0 ? QStringLiteral("Run %1 undone").arg(run.id)
                    : QStringLiteral("Run %1: %2 %3 not undone")
                          .arg(run.id)
                          .arg(failed)
                          .arg(failed == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    // Taken back, but not recorded as such (a full disk): each such file says so.
    if (failed == 0 && !m_report.ok)
        summary += QStringLiteral("; the journal cannot record it, undo again to record it");
    m_summary->setText(summary);
    emit runEnded(outcomes);
}
