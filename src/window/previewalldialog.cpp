// "Preview All": the table, its controls and the stages the dialog goes
// through. The jobs on the worker thread are in previewalldialog_jobs.cpp.
#include "window/previewalldialog.h"

#include "apply/journal.h"
#include "window/enterkey.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSortFilterProxyModel>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QTableView>

#include <algorithm>

namespace {

class MiddleElidingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideMiddle;
    }
};

QPushButton* button(const QString& caption, QWidget* parent) {
    auto* b = new QPushButton(caption, parent);
    b->setAccessibleName(caption);
    // Enter in the table must not start Apply All.
    b->setAutoDefault(false);
    return b;
}

} // namespace

PreviewAllDialog::PreviewAllDialog(const QStringList& paths, const Profile& profile,
                                   QWidget* parent)
    : QDialog(parent), m_paths(paths), m_profile(profile), m_journalFolder(JournalFolder()) {
    setWindowTitle(QStringLiteral("Preview All"));
    setAccessibleName(windowTitle());
    buildControls();
    connect(&m_model, &BatchTableModel::includedChanged, this, &PreviewAllDialog::updateControls);
    connect(&m_worker, &WorkerThread::pulse, this, &PreviewAllDialog::takeReports);
    connect(&m_worker, &WorkerThread::finished, this, &PreviewAllDialog::workEnded);
    startPlanning();
}

PreviewAllDialog::~PreviewAllDialog() {
    // Planning and Apply All stop after the file in hand; an undo runs to
    // its end. Either way no job outlives what it uses.
    m_stop = true;
    m_worker.wait();
}

void PreviewAllDialog::buildControls() {
    m_proxy = new QSortFilterProxyModel(this);
    m_proxy->setSourceModel(&m_model);
    m_proxy->setSortCaseSensitivity(Qt::CaseInsensitive);
    m_proxy->setFilterRole(BatchTableModel::ProblemRole);

    m_table = new QTableView(this);
    m_table->setAccessibleName(QStringLiteral("Batch"));
    m_table->setModel(m_proxy);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setWordWrap(false);
    // Tab leaves the table for the buttons; the arrows move between rows.
    m_table->setTabKeyNavigation(false);
    // Every row is one line: the view need not measure 10,000 of them.
    QHeaderView* rows = m_table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 6);
    QHeaderView* columns = m_table->horizontalHeader();
    columns->setStretchLastSection(true);
    // List order until a column is clicked.
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    m_table->setSortingEnabled(true);
    // A long folder keeps its start and its last levels in sight.
    m_table->setItemDelegateForColumn(BatchTableModel::FolderColumn,
                                      new MiddleElidingDelegate(m_table));
    const int em = fontMetrics().averageCharWidth();
    const int widths[] = {30 * em, 34 * em, 26 * em, 30 * em, 34 * em};
    int tableWidth =
        2 * m_table->frameWidth() + m_table->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    for (int c = 0; c < BatchTableModel::ColumnCount; ++c) {
        columns->resizeSection(c, widths[c]);
        tableWidth += widths[c];
    }

    m_problemsOnly = new QCheckBox(QStringLiteral("Show problems only"), this);
    m_problemsOnly->setAccessibleName(m_problemsOnly->text());
    connect(m_problemsOnly, &QCheckBox::toggled, this, [this](bool on) {
        m_proxy->setFilterFixedString(on ? QStringLiteral("problem") : QString());
    });
    m_summary = new QLabel(this);
    // Named by its text, which screen readers read as it changes.
    m_summary->setAccessibleDescription(QStringLiteral("Summary"));
    m_progressBar = new QProgressBar(this);
    m_progressBar->setAccessibleName(QStringLiteral("Progress"));
    m_progressBar->setFormat(QStringLiteral("%v of %m"));

    m_applyAll = button(QStringLiteral("Apply All"), this);
    m_cancel = button(QStringLiteral("Cancel"), this);
    m_undo = button(QStringLiteral("Undo"), this);
    m_close = button(QStringLiteral("Close"), this);
    connect(m_applyAll, &QPushButton::clicked, this, &PreviewAllDialog::applyAll);
    connect(m_cancel, &QPushButton::clicked, this, &PreviewAllDialog::cancel);
    connect(m_undo, &QPushButton::clicked, this, &PreviewAllDialog::undo);
    connect(m_close, &QPushButton::clicked, this, &PreviewAllDialog::reject);

    auto* filterRow = new QHBoxLayout;
    filterRow->addWidget(m_problemsOnly);
    filterRow->addStretch();
    filterRow->addWidget(m_summary);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {m_applyAll, m_cancel, m_undo})
        buttons->addWidget(b);
    buttons->addStretch();
    buttons->addWidget(m_close);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_table);
    layout->addLayout(filterRow);
    layout->addWidget(m_progressBar);
    layout->addLayout(buttons);

    const QList<QWidget*> order{m_table, m_problemsOnly, m_applyAll, m_cancel, m_undo, m_close};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
    m_table->setFocus();
    // Every column in sight where the screen allows it.
    const QMargins margins = layout->contentsMargins();
    int width = tableWidth + margins.left() + margins.right();
    if (const QScreen* screen = (parentWidget() ? parentWidget() : this)->screen())
        width = std::min(width, screen->availableGeometry().width() * 9 / 10);
    resize(width, 30 * fontMetrics().height());
    updateControls();
}

void PreviewAllDialog::setStage(Stage stage) {
    m_stage = stage;
    updateControls();
    emit stageChanged(stage);
}

void PreviewAllDialog::updateControls() {
    const bool closing = m_closeWhenDone;
    QWidget* const focused = focusWidget();
    m_applyAll->setEnabled(!closing && m_stage == Stage::Planned && m_model.includedCount() > 0);
    m_cancel->setEnabled(!closing && m_stage == Stage::Applying && !m_stop);
    m_undo->setEnabled(!closing && m_stage == Stage::Applied && !m_runFile.isEmpty());
    // A focused button that went grey hands the focus on: to Cancel while a
    // run goes on, else to the table; never to Undo, where one more Enter
    // would take the run back, nor to Close.
    if (focused && !focused->isEnabled())
        (m_cancel->isEnabled() ? static_cast<QWidget*>(m_cancel) : m_table)->setFocus();
    m_summary->setText(summary());
}

void PreviewAllDialog::keyPressEvent(QKeyEvent* event) {
    if (!ClickFocusedButton(this, event))
        QDialog::keyPressEvent(event);
}

QString PreviewAllDialog::summary() const {
    const std::vector<BatchRow>& rows = m_model.rows();
    auto count = [&rows](auto test) { return int(std::count_if(rows.begin(), rows.end(), test)); };
    auto outcome = [&count](RowOutcome o) {
        return count([o](const BatchRow& r) { return r.outcome == o; });
    };
    switch (m_stage) {
    case Stage::Planning:
        return QStringLiteral("Reading %1 of %2 files").arg(rows.size()).arg(m_paths.size());
    case Stage::Planned:
        return QStringLiteral("%1 files: %2 ready, %3 with problems, %4 checked")
            .arg(rows.size())
            .arg(count([](const BatchRow& r) { return r.plan.ready(); }))
            .arg(count([](const BatchRow& r) { return r.hasProblem(); }))
            .arg(m_model.includedCount());
    case Stage::Applying:
        return m_stop ? QStringLiteral("Stopping after the file in hand")
                      : QStringLiteral("Applying %1 of %2")
                            .arg(m_begun.load())
                            .arg(m_progressBar->maximum());
    case Stage::Applied:
        return QStringLiteral("%1 done, %2 failed, %3 cancelled")
                   .arg(outcome(RowOutcome::Done))
                   .arg(outcome(RowOutcome::Failed))
                   .arg(outcome(RowOutcome::Cancelled)) +
               (m_undoRefused.isEmpty() ? QString()
                                        : QStringLiteral("; not undone: ") + m_undoRefused);
    case Stage::Undoing:
        return QStringLiteral("Taking the run back");
    case Stage::Undone:
        if (!m_undoReport.damage.isEmpty())
            return QStringLiteral("Not undone: ") + m_undoReport.damage.first();
        return QStringLiteral("%1 undone, %2 not undone")
            .arg(outcome(RowOutcome::Undone))
            .arg(outcome(RowOutcome::UndoFailed));
    }
    return {};
}

void PreviewAllDialog::cancel() {
    if (m_stage != Stage::Applying)
        return;
    m_stop = true;
    updateControls();
}

void PreviewAllDialog::reject() {
    if (m_worker.isRunning()) {
        m_stop = true;
        m_closeWhenDone = true;
        updateControls();
        return;
    }
    QDialog::reject();
}
