#pragma once

#include <QStringList>

#include <optional>

// What the profile list needs from the window. The window implements it with
// its dialogs, its controls and the settings store.
class ProfileListHost {
public:
    virtual ~ProfileListHost() = default;

    // The profile name dialog: the typed name on OK (any text, the empty text
    // included), nothing on Cancel.
    virtual std::optional<QString> askProfileName() = 0;
    // A message box with an OK button, captioned with the application name.
    virtual void showMessage(const QString& text) = 0;
    // A message box with Yes and No; true for Yes.
    virtual bool askYesNo(const QString& text, const QString& caption) = 0;

    // The window's two exchange passes between members and controls.
    virtual void saveControls() = 0;
    virtual void loadControls() = 0;
    // LoadProfile (store into members, then load controls), SaveProfile
    // (members into the store, with "LastProfile") and DeleteProfileKey.
    virtual void loadProfile(const QString& name) = 0;
    virtual void saveProfile(const QString& name) = 0;
    // False, said to the user already, when the profile is still stored.
    virtual bool deleteProfile(const QString& name) = 0;
    // A transformation run for the selected file without messages.
    virtual void quietTransform() = 0;
};

// The profile list at the top of the main window, without the widget: the
// profile names in the order they were added, then "<Add New...>" and
// "<Remove Selected>", the selected entry and the current profile's name.
//
// The window shows entries() and selectedIndex() in its combo box after each
// call and passes a selection change by the user to onProfileChange().
// Selections the window makes itself must not reach onProfileChange().
class ProfileList {
public:
    static QString addNewEntry();         // "<Add New...>"
    static QString removeSelectedEntry(); // "<Remove Selected>"

    explicit ProfileList(ProfileListHost& host) : m_host(host) {}

    // Fills the list when the window opens and loads the current profile.
    // lastProfile is the stored "LastProfile" ("Default" when missing),
    // storedNames the profiles in the store's order.
    void fill(const QString& lastProfile, const QStringList& storedNames);

    // The user selected entry index: saves the profile being left, then adds,
    // removes or switches profiles.
    void onProfileChange(int index);

    const QStringList& entries() const { return m_entries; }
    int selectedIndex() const { return m_selected; }
    const QString& currentName() const { return m_current; }
    int profileCount() const { return int(m_entries.size()) - 2; }

    // The profile entry of exactly that text without regard to case, searched
    // from the second entry on and then the first, or -1.
    int findEntry(const QString& name) const;

private:
    int entryOrFirst(const QString& name) const;
    void addProfile();
    bool removeProfile(const QString& oldName);

    ProfileListHost& m_host;
    QStringList m_entries;
    int m_selected = -1;
    QString m_current;
};
