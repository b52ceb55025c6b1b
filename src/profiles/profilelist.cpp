#include "profilelist.h"

QString ProfileList::addNewEntry() {
    return QStringLiteral("<Add New...>");
}

QString ProfileList::removeSelectedEntry() {
    return QStringLiteral("<Remove Selected>");
}

int ProfileList::findEntry(const QString& name) const {
    // Among the profiles only: a profile may carry a command entry's text.
    const int n = profileCount();
    for (int k = 1; k <= n; ++k) {
        const int i = k % n;
        if (m_entries[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int ProfileList::entryOrFirst(const QString& name) const {
    const int i = findEntry(name);
    return i >= 0 ? i : 0;
}

void ProfileList::fill(const QString& lastProfile, const QStringList& storedNames) {
    m_current = lastProfile.isEmpty() ? QStringLiteral("Default") : lastProfile;
    m_entries = storedNames;
    if (m_entries.isEmpty())
        m_entries.append(QStringLiteral("Default"));
    m_entries << addNewEntry() << removeSelectedEntry();
    m_selected = entryOrFirst(m_current);
    // The list's letter case wins over that of "LastProfile".
    m_current = m_entries[m_selected];
    m_host.loadProfile(m_current);
}

void ProfileList::onProfileChange(int index) {
    if (index < 0 || index >= m_entries.size())
        return;
    m_selected = index;
    const QString oldName = m_current;
    m_host.saveControls();
    m_host.saveProfile(oldName);

    // The commands are the last two entries, whatever a profile is named.
    if (m_selected == profileCount()) {
        addProfile();
        m_selected = entryOrFirst(oldName);
    } else if (m_selected == profileCount() + 1) {
        if (!removeProfile(oldName))
            return;
    }

    m_current = m_entries[m_selected];
    if (m_current == oldName)
        return;
    m_host.loadProfile(m_current);
    m_host.quietTransform();
    m_host.loadControls();
}

void ProfileList::addProfile() {
    // An empty name or a command entry's text is inserted as it stands. A
    // name the list holds in any letter case is not: the store keeps one
    // profile for both, and removing one entry would delete the other's.
    const std::optional<QString> name = m_host.askProfileName();
    if (!name)
        return;
    if (const int existing = findEntry(*name); existing >= 0) {
        m_host.showMessage(
            QStringLiteral("A profile named \"%1\" exists already").arg(m_entries[existing]));
        return;
    }
    m_entries.prepend(*name);
}

// Returns false when the handler ends without loading anything.
bool ProfileList::removeProfile(const QString& oldName) {
    int i = entryOrFirst(oldName);
    const int n = int(m_entries.size());
    if (n - 2 == 1) {
        m_host.showMessage(QStringLiteral("At least 1 profile should always exist"));
        m_selected = i;
        return false;
    }
    const QString question = QStringLiteral("Are you sure to delete profile \"%1\"").arg(oldName);
    if (m_host.askYesNo(question, QStringLiteral("Confirm Delete"))) {
        // A profile the store still holds keeps its entry: it would be back
        // at the next start.
        if (!m_host.deleteProfile(oldName)) {
            m_selected = i;
            return false;
        }
        m_entries.removeAt(i);
        if (i == n - 3)
            --i;
    }
    m_selected = i;
    return true;
}
