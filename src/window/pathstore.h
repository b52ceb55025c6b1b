#pragma once

#include <QHash>
#include <QString>

#include <vector>

// The full paths of the listed files, one per slot. A slot holds a path or is
// empty (free). The capacity grows by exactly 4 slots, and only when every
// slot is in use; freed slots are reused. Paths already held are found through
// an index of their case-folded text, so adding stays fast for large lists.
// Two paths equal but for case are two files on most file systems here: a
// file moved (renamed by Apply) onto such a path keeps its slot beside the
// other one; only adding treats them as one.
class PathStore {
public:
    static constexpr int Growth = 4;

    // Puts the path into a slot and returns its index, or -1 when an equal
    // path (A to Z compared without case) is held already. The slot is slot n
    // after growing when every slot is in use, else the first free slot from
    // slot n upward, wrapping round to 0, where n is the number of paths held.
    int add(const QString& path);
    bool contains(const QString& path) const;
    // The slot holding a path equal to this one (A to Z without case), or -1;
    // the one holding exactly this path where there are several.
    int find(const QString& path) const;
    // The slot holding exactly this path, or -1.
    int findExact(const QString& path) const;
    // Puts path into the used slot in place of its path, as when the listed
    // file has moved. False, changing nothing, when the slot is free, the
    // path is empty or another slot holds exactly this path.
    bool replace(int slot, const QString& path);
    // Empties the slot; it becomes free.
    void release(int slot);
    // No slots, capacity 0.
    void clear();

    // The slot's path; empty for a free slot or an index out of range.
    QString path(int slot) const;
    int capacity() const { return int(m_slots.size()); }
    int count() const { return m_used; }

    // Folds the letters A to Z to lower case and leaves every other
    // character as it is: no other case folding, no path normalisation.
    static QString foldAsciiCase(const QString& path);

private:
    int freeSlot() const;

    std::vector<QString> m_slots;
    QMultiHash<QString, int> m_index; // folded path -> slots
    int m_used = 0;
};
