#pragma once

#include "transform/fields.h"
#include "window/controlregistry.h"

#include <QDialog>

class QAction;
class QMenu;
class UiSeam;

// The main window: the profile list, eight edit boxes switched between four
// pages, the options group and the file list. It never closes except through
// Exit, the close box or Alt+F4, and each of these saves the profile.
class CQuorvelDlg : public QDialog {
    Q_OBJECT
public:
    explicit CQuorvelDlg(UiSeam& seam, QWidget* parent = nullptr);
    ~CQuorvelDlg() override;

    ControlRegistry& controls() { return m_controls; }
    FieldGrid& fieldGrid() { return m_grid; }
    int currentPage() const { return m_page; }
    QString profileName() const { return m_profileName; }

    // Controls -> members and members -> controls: the current page's edit
    // boxes with their row of the grid, then the option controls.
    void saveControls();
    void loadControls();
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
    void onInitDialog();
    void connectControls();
    void updateOriginalRow(int field);
    void showAboutBox();

    UiSeam& m_seam;
    ControlRegistry m_controls;
    QAction* m_aboutAction = nullptr;
    bool m_ending = false; // Exit has run; the close that follows saves nothing more

    // Members that the controls exchange with.
    FieldGrid m_grid;
    int m_page = RowInput;
    QString m_profileName;
    QString m_separator;
    int m_case = 0;
    int m_ansi = 0;
    int m_clearV1 = 0;
    int m_clearOtherV2 = 0;
};
