#include "window/batchtablemodel.h"

#include "tags/pathbytes.h"

#include <algorithm>

BatchRow BatchRow::fromPlan(FilePlan&& plan) {
    BatchRow row;
    if (!plan.target.isEmpty()) {
        row.newFolder = folderOfPath(plan.target);
        row.newName = nameOfPath(plan.target);
    }
    row.tags = plan.tagChanges().join(QStringLiteral("; "));
    row.checked = plan.ready();
    row.plan = std::move(plan);
    return row;
}

bool BatchRow::hasProblem() const {
    switch (outcome) {
    case RowOutcome::Planned:
        return !plan.ready();
    case RowOutcome::Failed:
    case RowOutcome::UndoFailed:
        return true;
    default:
        return false;
    }
}

QString BatchRow::status() const {
    switch (outcome) {
    case RowOutcome::Planned:
        return plan.status();
    case RowOutcome::Done:
        return QStringLiteral("done");
    case RowOutcome::Failed:
        return QStringLiteral("failed: ") + reason;
    case RowOutcome::Cancelled:
        return QStringLiteral("cancelled");
    case RowOutcome::NotIncluded:
        return QStringLiteral("not included");
    case RowOutcome::Undone:
        return QStringLiteral("undone");
    case RowOutcome::UndoFailed:
        return QStringLiteral("undo failed: ") + reason;
    }
    return {};
}

void BatchTableModel::appendRows(std::vector<BatchRow>&& rows) {
    if (rows.empty())
        return;
    const int first = int(m_rows.size());
    beginInsertRows({}, first, first + int(rows.size()) - 1);
    m_rows.insert(m_rows.end(), std::make_move_iterator(rows.begin()),
                  std::make_move_iterator(rows.end()));
    endInsertRows();
    emit includedChanged();
}

void BatchTableModel::setSharedTargets(const std::vector<SharedWith>& sharedWith) {
    int first = -1;
    int last = -1;
    for (size_t i = 0; i < sharedWith.size() && i < m_rows.size(); ++i) {
        if (sharedWith[i].count == 0)
            continue;
        BatchRow& row = m_rows[i];
        row.plan.sharedWith = sharedWith[i].named;
        row.plan.sharedWithCount = sharedWith[i].count;
        row.checked = false;
        if (first < 0)
            first = int(i);
        last = int(i);
    }
    if (first >= 0) {
        rowsChanged(first, last);
        emit includedChanged();
    }
}

void BatchTableModel::setLocked(bool locked) {
    m_locked = locked;
    if (!m_rows.empty())
        rowsChanged(0, int(m_rows.size()) - 1);
}

void BatchTableModel::report(const std::vector<RowReport>& reports) {
    int first = int(m_rows.size());
    int last = -1;
    for (const RowReport& r : reports) {
        if (r.row < 0 || size_t(r.row) >= m_rows.size())
            continue;
        BatchRow& row = m_rows[size_t(r.row)];
        row.outcome = r.outcome;
        row.reason = r.reason;
        row.messages = r.messages;
        first = std::min(first, r.row);
        last = std::max(last, r.row);
    }
    if (last >= 0) {
        rowsChanged(first, last);
        emit includedChanged();
    }
}

int BatchTableModel::includedCount() const {
    return int(std::count_if(m_rows.begin(), m_rows.end(),
                             [](const BatchRow& r) { return r.included(); }));
}

void BatchTableModel::rowsChanged(int first, int last) {
    emit dataChanged(index(first, 0), index(last, ColumnCount - 1));
}

int BatchTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int BatchTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant BatchTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || size_t(index.row()) >= m_rows.size())
        return {};
    const BatchRow& row = m_rows[size_t(index.row())];
    if (role == ProblemRole)
        return row.hasProblem() ? QStringLiteral("problem") : QString();
    if (role == Qt::CheckStateRole && index.column() == FileColumn)
        return row.checked ? Qt::Checked : Qt::Unchecked;
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return {};
    const bool tip = role == Qt::ToolTipRole;
    switch (index.column()) {
    case FileColumn:
        return tip ? row.plan.path : nameOfPath(row.plan.path);
    case FolderColumn:
        return row.newFolder;
    case NameColumn:
        return row.newName;
    case TagsColumn:
        return tip ? QString(row.tags).replace(QStringLiteral("; "), QStringLiteral("\n"))
                   : row.tags;
    case StatusColumn:
        if (!tip)
            return row.status();
        return (row.outcome == RowOutcome::Planned ? row.plan.allMessages() : row.messages)
            .join(u'\n');
    }
    return {};
}

bool BatchTableModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || !(flags(index) & Qt::ItemIsUserCheckable))
        return false;
    BatchRow& row = m_rows[size_t(index.row())];
    row.checked = value.value<Qt::CheckState>() == Qt::Checked;
    rowsChanged(index.row(), index.row());
    emit includedChanged();
    return true;
}

Qt::ItemFlags BatchTableModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == FileColumn && !m_locked && m_rows[size_t(index.row())].applicable())
        f |= Qt::ItemIsUserCheckable;
    return f;
}

QVariant BatchTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case FileColumn:
        return QStringLiteral("File");
    case FolderColumn:
        return QStringLiteral("New folder");
    case NameColumn:
        return QStringLiteral("New name");
    case TagsColumn:
        return QStringLiteral("Tags");
    case StatusColumn:
        return QStringLiteral("Status");
    }
    return {};
}
