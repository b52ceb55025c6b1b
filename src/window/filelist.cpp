#include "window/filelist.h"

#include "tags/pathbytes.h"

#include <QListWidget>
#include <QSignalBlocker>

#include <sys/stat.h>

namespace {

constexpr int SlotRole = Qt::UserRole;

} // namespace

FileList::FileList(QListWidget* list) : m_list(list) {
    // Every entry is one line of text: the view need not measure each one.
    m_list->setUniformItemSizes(true);
}

QString FileList::displayName(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

int FileList::addPaths(const QStringList& paths) {
    // Entries are appended unsorted and sorted once at the end: inserting
    // each at its sorted place costs a move of every later entry.
    const QSignalBlocker blocker(m_list);
    m_list->setSortingEnabled(false);
    int added = 0;
    for (const QString& path : paths) {
        struct stat st;
        // Missing, a folder, or not a file at all.
        if (::stat(pathBytes(path).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        const int slot = m_store.add(path);
        if (slot < 0)
            continue;
        auto* item = new QListWidgetItem(displayName(path));
        item->setData(SlotRole, slot);
        m_list->addItem(item);
        ++added;
    }
    if (added > 0)
        m_list->sortItems(Qt::AscendingOrder);
    m_list->setSortingEnabled(true);
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
    const QListWidgetItem* item = m_list->item(position);
    return item ? item->data(SlotRole).toInt() : -1;
}

QString FileList::pathAt(int position) const {
    const int slot = slotAt(position);
    return slot < 0 ? QString() : m_store.path(slot);
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
