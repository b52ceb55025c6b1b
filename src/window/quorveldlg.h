#pragma once

#include "profiles/profile.h"
#include "profiles/profilelist.h"
#include "transform/fields.h"
#include "window/controlregistry.h"

#include <QDialog>

class QAction;
class QMenu;
class SettingsStore;
class UiSeam;

// The main window: the profile list, eight edit boxes switched between four
// pages, the options group and the file list. It never closes except through
// Exit, the close box or Alt+F4, and each of these saves the profile.
class CQuorvelDlg : public QDialog, private ProfileListHost {
    Q_OBJECT
public:
    CQuorvelDlg(UiSeam& seam, SettingsStore& store, QWidget* parent = nullptr);
    ~CQuorvelDlg() override;

    // Every control by its ID. The file list (1000 with "Remove Item" 1041
    // and "Remove All" 1040) and "Apply" (1022) are driven through these
    // controls together with saveControls, loadControls, transform and
    // clearOriginalRow.
    ControlRegistry& controls() { return m_controls; }
    FieldGrid& fieldGrid() { return m_grid; }
    int currentPage() const { return m_page; }
    // The current profile: its name and options; its formats are rows 1 and 2
    // of the field grid.
    const Profile& profile() const { return m_profile; }
    const ProfileList& profileList() const { return m_profiles; }

    // Controls -> members and members -> controls: the current page's edit
    // boxes with their row of the grid, then the option controls.
    void saveControls() override;
    void loadControls() override;
    // Shows row `page` of the grid and the controls that belong to it.
    void switchPage(int page);
    // A transformation run of the grid; messages only when allowed or while
    // "Output" is checked. Returns false when the run failed.
    bool transform(bool showMessages);
    // Empties the Original row; the selection refresh calls it.
    void clearOriginalRow();
    // Enables the separator list unless the case list shows "Keep Original".
    void onCaseChange();
    // Saves the profile and ends the window.
    void onExit();

    // The menu offered on the window's empty area: the about box command.
    QMenu* createContextMenu();

    void reject() override; // the Cancel command (Esc) does nothing

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The profile list's needs, met with the seam and the store.
    std::optional<QString> askProfileName() override;
    void showMessage(const QString& text) override;
    bool askYesNo(const QString& text, const QString& caption) override;
    void loadProfile(const QString& name) override;
    void saveProfile(const QString& name) override;
    void deleteProfile(const QString& name) override;
    void quietTransform() override;

    void onProfileChange(int index);
    // Shows the profile list's entries and selection in list 1034.
    void showProfileList();
    void saveOptionControls();
    void loadOptionControls();

    void onInitDialog();
    void connectControls();
    void updateOriginalRow(int field);
    void showAboutBox();

    UiSeam& m_seam;
    SettingsStore& m_store;
    ControlRegistry m_controls;
    ProfileList m_profiles;
    QAction* m_aboutAction = nullptr;
    bool m_ending = false; // Exit has run; the close that follows saves nothing more

    // Members that the controls exchange with.
    FieldGrid m_grid;
    int m_page = RowInput;
    Profile m_profile; // name and options; the formats live in the grid
};
