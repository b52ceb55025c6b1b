#pragma once

#include "window/pathstore.h"

#include <QStringList>

class QListWidget;

// The list box of listed files (display names, sorted) and the path store
// behind it: every entry carries the index of its path's slot. Selections
// made here never notify; the window runs its selection refresh itself.
class FileList {
public:
    explicit FileList(QListWidget* list);

    // The adding steps for each path in order: a path that names no
    // existing file, or a folder, or one listed already is skipped. Returns
    // the number of entries added. The selection is left as it is.
    int addPaths(const QStringList& paths);

    int count() const;
    // The selected entry's position in the sorted list, or -1.
    int selectedPosition() const;
    // Selects the entry at `position`; a position past the last entry (or
    // below 0) leaves the selection as it is. Returns whether it selected.
    bool select(int position);
    // The path of the entry at `position` (empty when there is none).
    QString pathAt(int position) const;
    int slotAt(int position) const;
    QString selectedPath() const { return pathAt(selectedPosition()); }

    // Frees the selected entry's slot, deletes the entry and selects the one
    // that took its place (none after the last). False when none was selected.
    bool removeSelected();
    // Deletes every entry and releases the path store.
    void removeAll();
    // Entries of files that moved follow them: the entry of from[i] takes
    // the path to[i] and its name, sorted anew; one whose new path is listed
    // already is removed. Paths not listed are passed over. The selection
    // stays with its entry.
    void followMoves(const QStringList& from, const QStringList& to);

    const PathStore& store() const { return m_store; }

    // The text after the last "/", or the whole path when it has none.
    static QString displayName(const QString& path);

private:
    QListWidget* m_list;
    PathStore m_store;
};
