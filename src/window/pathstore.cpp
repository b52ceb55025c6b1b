#include "window/pathstore.h"

QString PathStore::foldAsciiCase(const QString& path) {
    QString folded = path;
    for (QChar& c : folded) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

int PathStore::add(const QString& path) {
    const QString key = foldAsciiCase(path);
    if (path.isEmpty() || m_index.contains(key)) // an empty slot means free
        return -1;
    int slot;
    if (m_used == capacity()) {
        slot = m_used;
        m_slots.resize(m_slots.size() + Growth);
    } else {
        slot = freeSlot();
    }
    m_slots[size_t(slot)] = path;
    m_index.insert(key, slot);
    ++m_used;
    return slot;
}

int PathStore::freeSlot() const {
    const int size = capacity();
    for (int i = 0; i < size; ++i) {
        const int slot = (m_used + i) % size;
        if (m_slots[size_t(slot)].isEmpty())
            return slot;
    }
    return -1; // not reached: there is a free slot whenever m_used < size
}

bool PathStore::contains(const QString& path) const {
    return m_index.contains(foldAsciiCase(path));
}

int PathStore::find(const QString& path) const {
    const QList<int> held = m_index.values(foldAsciiCase(path));
    for (const int slot : held) {
        if (m_slots[size_t(slot)] == path)
            return slot;
    }
    return held.isEmpty() ? -1 : held.first();
}

int PathStore::findExact(const QString& path) const {
    const int slot = find(path);
    return slot >= 0 && m_slots[size_t(slot)] == path ? slot : -1;
}

bool PathStore::replace(int slot, const QString& path) {
    const int holder = findExact(path);
    if (path.isEmpty() || this->path(slot).isEmpty() || (holder >= 0 && holder != slot))
        return false;
    m_index.remove(foldAsciiCase(m_slots[size_t(slot)]), slot);
    m_index.insert(foldAsciiCase(path), slot);
    m_slots[size_t(slot)] = path;
    return true;
}

void PathStore::release(int slot) {
    if (slot < 0 || slot >= capacity() || m_slots[size_t(slot)].isEmpty())
        return;
    m_index.remove(foldAsciiCase(m_slots[size_t(slot)]), slot);
    m_slots[size_t(slot)].clear();
    --m_used;
}

void PathStore::clear() {
    m_slots = {};
    m_index.clear();
    m_used = 0;
}

QString PathStore::path(int slot) const {
    if (slot < 0 || slot >= capacity())
        return {};
    return m_slots[size_t(slot)];
}
