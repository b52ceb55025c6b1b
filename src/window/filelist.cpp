#include "window/filelist.h"

#include "window/filenameorder.h"

#include <QApplication>
#include <QCollatorSortKey>
#include <QHash>
#include <QListWidget>
#include <QPixmap>
#include <QSignalBlocker>
#include <QStyle>

namespace {

constexpr int SlotRole = Qt::UserRole;
constexpr int MarkRole = Qt::UserRole + 1;

const QCollator& collator() {
    static const QCollator instance = fileNameCollator();
    return instance;
}

// An entry that sorts by the collation key of its name, computed once.
class FileListItem : public QListWidgetItem {
public:
    FileListItem(const QString& path, int slot)
        : QListWidgetItem(nullptr, QListWidgetItem::UserType),
          m_key(collator().sortKey(FileList::displayName(path))) {
        setText(FileList::displayName(path));
        setToolTip(path);
        setData(SlotRole, slot);
    }

    void setPath(const QString& path) {
        m_key = collator().sortKey(FileList::displayName(path));
        setText(FileList::displayName(path));
        setToolTip(path);
    }

    // Names equal but for case sort by their code points, so that the order
    // never depends on the order of adding.
    bool operator<(const QListWidgetItem& other) const override {
        const auto& that = static_cast<const FileListItem&>(other);
        const int order = m_key.compare(that.m_key);
        return order != 0 ? order < 0 : text() < that.text();
    }

private:
    QCollatorSortKey m_key;
};

QIcon markIcon(FileList::Mark mark) {
    switch (mark) {
    case FileList::Mark::Applied:
        return QApplication::style()->standardIcon(QStyle::SP_DialogApplyButton);
    case FileList::Mark::Failed:
        return QApplication::style()->standardIcon(QStyle::SP_MessageBoxCritical);
    case FileList::Mark::None:
        break;
    }
    return {};
}

// Entries changed with sorting off and sorted once afterwards (unless
// nothing changed): the list would otherwise re-sort, and copy itself, at
// every change.
class SortAfterwards {
public:
    explicit SortAfterwards(QListWidget* list) : m_list(list), m_blocker(list) {
        m_list->setSortingEnabled(false);
    }
    ~SortAfterwards() {
        if (changed)
            m_list->sortItems(Qt::AscendingOrder);
        m_list->setSortingEnabled(true);
    }
    SortAfterwards(const SortAfterwards&) = delete;
    SortAfterwards& operator=(const SortAfterwards&) = delete;

    bool changed = true;

private:
    QListWidget* m_list;
    const QSignalBlocker m_blocker;
};

} // namespace

FileList::FileList(QListWidget* list) : m_list(list) {
    // Every entry is one line of text: the view need not measure each one.
    m_list->setUniformItemSizes(true);
    // Marks as high as a line; every entry keeps room for one, so that the
    // names stand in one column.
    const int side = m_list->fontMetrics().height();
    m_list->setIconSize(QSize(side, side));
    QPixmap blank(side, side);
    blank.fill(Qt::transparent);
    m_noMark = QIcon(blank);
    // Looked up once: a lookup in the icon theme for each entry would cost a
    // run of 10,000 files seconds.
    m_appliedMark = markIcon(Mark::Applied);
    m_failedMark = markIcon(Mark::Failed);
}

QString FileList::displayName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QListWidgetItem* FileList::item(int position) const {
    return m_list->item(position);
}

int FileList::addPaths(const QStringList& paths) {
    // Entries are appended unsorted and sorted once at the end: inserting
    // each at its sorted place costs a move of every later entry.
    SortAfterwards sorting(m_list);
    int added = 0;
    for (const QString& path : paths) {
        const int slot = m_store.add(path);
        if (slot < 0)
            continue;
        auto* entry = new FileListItem(path, slot);
        entry->setIcon(m_noMark);
        m_list->addItem(entry);
        ++added;
    }
    sorting.changed = added > 0;
    return added;
}

int FileList::count() const {
    return m_list->count();
}

int FileList::selectedPosition() const {
    const QList<QListWidgetItem*> selected = m_list->selectedItems();
    return selected.isEmpty() ? -1 : m_list->row(selected.first());
}

bool FileList::select(int position) {
    if (position < 0 || position >= count())
        return false;
    const QSignalBlocker blocker(m_list);
    m_list->setCurrentRow(position, QItemSelectionModel::ClearAndSelect);
    return true;
}

int FileList::slotAt(int position) const {
    const QListWidgetItem* entry = item(position);
    return entry ? entry->data(SlotRole).toInt() : -1;
}

int FileList::positionOfSlot(int slot) const {
    for (int i = 0; i < count(); ++i) {
        if (slotAt(i) == slot)
            return i;
    }
    return -1;
}

QString FileList::pathAt(int position) const {
    const int slot = slotAt(position);
    return slot < 0 ? QString() : m_store.path(slot);
}

int FileList::moveEntry(int position, const QString& newPath) {
    auto* entry = static_cast<FileListItem*>(item(position));
    if (!entry)
        return -1;
    const int slot = slotAt(position);
    {
        const SortAfterwards sorting(m_list);
        // An entry of exactly that path is stale (the move replaced nothing);
        // one equal but for case is another file.
        const int other = m_store.findExact(newPath);
        if (other >= 0 && other != slot) {
            m_store.release(other);
            delete m_list->takeItem(positionOfSlot(other));
        }
        m_store.replace(slot, newPath);
        entry->setPath(newPath);
    }
    return m_list->row(entry);
}

void FileList::setMark(int position, Mark mark, const QString& detail) {
    QListWidgetItem* entry = item(position);
    if (!entry)
        return;
    const QSignalBlocker blocker(m_list);
    m_list->setSortingEnabled(false); // a mark never moves an entry
    markEntry(entry, pathAt(position), mark, detail);
    m_list->setSortingEnabled(true);
}

void FileList::markEntry(QListWidgetItem* entry, const QString& path, Mark mark,
                         const QString& detail) const {
    QString description;
    if (mark == Mark::Applied)
        description = QStringLiteral("Applied");
    else if (mark == Mark::Failed)
        description = QStringLiteral("Apply failed: ") + detail;
    entry->setData(MarkRole, int(mark));
    entry->setIcon(mark == Mark::Applied  ? m_appliedMark
                   : mark == Mark::Failed ? m_failedMark
                                          : m_noMark);
    entry->setData(Qt::AccessibleDescriptionRole, description);
    entry->setToolTip(description.isEmpty() ? path : path + QLatin1Char('\n') + description);
}

void FileList::followRun(const QList<Outcome>& outcomes) {
    // Found by slot, not by position: positions change as entries go.
    QHash<int, FileListItem*> entryOf;
    for (int i = 0; i < count(); ++i)
        entryOf.insert(slotAt(i), static_cast<FileListItem*>(item(i)));
    SortAfterwards sorting(m_list);
    for (const Outcome& outcome : outcomes) {
        const int slot = m_store.findExact(outcome.path);
        FileListItem* entry = entryOf.value(slot);
        if (!entry)
            continue;
        if (outcome.newPath != outcome.path) {
            const int other = m_store.findExact(outcome.newPath);
            if (other >= 0 && other != slot) {
                m_store.release(other);
                delete entryOf.take(other); // leaves the list
            }
            m_store.replace(slot, outcome.newPath);
            entry->setPath(outcome.newPath);
        }
        markEntry(entry, outcome.newPath, outcome.mark, outcome.detail);
    }
}

FileList::Mark FileList::markAt(int position) const {
    const QListWidgetItem* entry = item(position);
    return entry ? Mark(entry->data(MarkRole).toInt()) : Mark::None;
}

bool FileList::removeSelected() {
    const int position = selectedPosition();
    if (position < 0)
        return false;
    m_store.release(slotAt(position));
    const QSignalBlocker blocker(m_list);
    delete m_list->takeItem(position);
    m_list->clearSelection();
    if (!select(position))
        m_list->setCurrentRow(-1);
    return true;
}

void FileList::removeAll() {
    const QSignalBlocker blocker(m_list);
    m_list->clear();
    m_store.clear();
}
