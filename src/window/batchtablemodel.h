#pragma once

#include "apply/fileplan.h"

#include <QAbstractTableModel>

#include <vector>

// What became of a row's file in the dialog's runs.
enum class RowOutcome { Planned, Done, Failed, Cancelled, NotIncluded, Undone, UndoFailed };

// One file of the batch table: its plan and the texts its columns show,
// made on the planning thread so that the window only inserts them.
struct BatchRow {
    FilePlan plan;
    QString newFolder;    // the target's folder; empty when nothing was composed
    QString newName;      // the target's file name
    QString tags;         // the tag values that change, old to new
    bool checked = false; // included in Apply All
    RowOutcome outcome = RowOutcome::Planned;
    QString reason;       // why a run failed for it
    QStringList messages; // what the last run said about it

    // A ready plan starts checked.
    static BatchRow fromPlan(FilePlan&& plan);
    // Whether Apply All may take it: planned, not run yet, and ready.
    bool applicable() const { return outcome == RowOutcome::Planned && plan.ready(); }
    bool included() const { return checked && applicable(); }
    bool hasProblem() const;
    // "ready", a refusal in words, or the outcome of a run ("done",
    // "failed: <reason>", "cancelled", "not included" for a ready row left
    // unchecked, "undone", "undo failed: <reason>").
    QString status() const;
};

// What a run found for one row.
struct RowReport {
    int row = 0;
    RowOutcome outcome = RowOutcome::Done;
    QString reason;
    QStringList messages;
};

// The rows of the "Preview All" table, one per listed file in list order:
// File, New folder, New name, Tags and Status, with a check box in File that
// only applicable rows offer.
class BatchTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { FileColumn, FolderColumn, NameColumn, TagsColumn, StatusColumn, ColumnCount };
    // "problem" for a row with a problem, else empty: what the "problems
    // only" filter matches.
    static constexpr int ProblemRole = Qt::UserRole + 1;

    using QAbstractTableModel::QAbstractTableModel;

    // Adds rows at the end with one insertion, however many.
    void appendRows(std::vector<BatchRow>&& rows);
    // Once every file is planned: sharedWith[i] names the first few other
    // files with row i's target and counts them all. Such rows become
    // unchecked and cannot be checked.
    struct SharedWith {
        QStringList named;
        int count = 0;
    };
    void setSharedTargets(const std::vector<SharedWith>& sharedWith);
    // While a run works, no check box changes.
    void setLocked(bool locked);
    // Outcomes of a run, a batch at a time.
    void report(const std::vector<RowReport>& reports);

    const std::vector<BatchRow>& rows() const { return m_rows; }
    int includedCount() const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

signals:
    // The rows that Apply All would take changed.
    void includedChanged();

private:
    void rowsChanged(int first, int last);

    std::vector<BatchRow> m_rows;
    bool m_locked = false;
};
