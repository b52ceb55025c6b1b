#pragma once

#include "window/pathstore.h"

#include <QIcon>
#include <QStringList>

class QListWidget;
class QListWidgetItem;

// The list box of listed files (display names, sorted) and the path store
// behind it: every entry carries the index of its path's slot. Selections
// made here never notify; the window runs its selection refresh itself.
// Entries sort by fileNameCollator(); each shows its full path as tooltip.
class FileList {
public:
    // What the last Apply did to an entry's file, shown as a mark before its
    // name, in its tooltip and in its description for screen readers.
    enum class Mark { None, Applied, Failed };

    explicit FileList(QListWidget* list);

    // The adding steps for each path in order, the paths being files judged
    // listable: one listed already is skipped. Returns the number of entries
    // added. The selection is left as it is.
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
    // The position of the entry whose path is in `slot`, or -1.
    int positionOfSlot(int slot) const;
    QString selectedPath() const { return pathAt(selectedPosition()); }

    // The entry's file now stands at newPath: its slot holds newPath, it
    // shows newPath's name at that name's sorted place and stays selected
    // if it was. An entry listed with exactly newPath already (stale: the
    // move replaced nothing) is removed; one equal but for letter case is
    // another file here and stays. Returns the entry's new position.
    int moveEntry(int position, const QString& newPath);
    // Marks the entry; detail says why an Apply failed.
    void setMark(int position, Mark mark, const QString& detail = {});
    Mark markAt(int position) const;

    // What a run of the whole batch did to one listed file.
    struct Outcome {
        QString path;    // where the file was
        QString newPath; // where it is now; path when it stayed
        Mark mark = Mark::None;
        QString detail;
    };
    // The entries of a run's files follow them as moveEntry and setMark
    // would, one after the other, but sorted once: 10,000 files at once
    // cost the window no more than a moment. Paths not listed are passed
    // over.
    void followRun(const QList<Outcome>& outcomes);

    // Frees the selected entry's slot, deletes the entry and selects the one
    // that took its place (none after the last). False when none was selected.
    bool removeSelected();
    // Deletes every entry and releases the path store.
    void removeAll();

    const PathStore& store() const { return m_store; }

    // The text after the last "/", or the whole path when it has none.
    static QString displayName(const QString& path);

private:
    QListWidgetItem* item(int position) const;
    void markEntry(QListWidgetItem* entry, const QString& path, Mark mark,
                   const QString& detail) const;

    QListWidget* m_list;
    PathStore m_store;
    QIcon m_noMark;
    QIcon m_appliedMark;
    QIcon m_failedMark;
};
