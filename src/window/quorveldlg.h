#pragma once

#include "profiles/profile.h"
#include "profiles/profilelist.h"
#include "tags/taginfo.h"
#include "transform/fields.h"
#include "window/controlregistry.h"
#include "window/filegatherer.h"
#include "window/filelist.h"
#include "window/waitcursor.h"

#include <QDialog>

#include <optional>

class QAction;
class QMimeData;
class QMenu;
class PageButtons;
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

    // Every control by its ID.
    ControlRegistry& controls() { return m_controls; }
    // The listed files: list box 1000 and the path store behind it.
    const FileList& fileList() const { return m_files; }
    // The one tag record: the file read last.
    const TagInfo& tagInfo() const { return m_tag; }
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
    // "Output" is checked. Returns false when the run failed. messageCount,
    // when given, receives how many messages the run reported.
    bool transform(bool showMessages, int* messageCount = nullptr);
    // Empties the Original row; the selection refresh calls it.
    void clearOriginalRow();
    // Enables the separator list unless the case list shows "Keep Original".
    void onCaseChange();
    // Saves the profile and ends the window.
    void onExit();

    // Dropped files and folders, file arguments and the two dialogs: the
    // focus goes to Filename, and the listable files (see FileGatherer) go
    // through the adding steps as a worker finds them, under the busy
    // cursor; the window answers meanwhile. The selection and the fields
    // stay as they are.
    void addFiles(const QStringList& paths);
    // From addFiles until the files of every call are listed.
    bool isAddingFiles() const { return m_gatherer.isBusy(); }
    // Asks for files to add (Ctrl+O).
    void onOpenFiles();
    // Asks for a folder whose MP3 files to add (Ctrl+Shift+O).
    void onAddFolder();
    // Reads the selected entry's file and shows it: Input values, controls,
    // an empty Original row and a quiet transformation run. A file that
    // can't be read changes nothing shown.
    void selectionRefresh();
    // Moves the selection to `position` and refreshes; a position past the
    // last entry leaves the selection as it is, and refreshes all the same.
    void selectFile(int position);
    // The selected file's tag record read anew; the fields are left as they are.
    void rereadTagRecord();
    void onRemoveItem();
    void onRemoveAll();
    // Carries the Output values into the selected file, then steps on.
    void onApply();
    // Opens "Preview All" over every listed file with the current profile
    // as the controls show it (Ctrl+P).
    void onPreviewAll();
    // Opens "History", the runs of the undo journal (Ctrl+H).
    void onHistory();
    // After a run of Preview All or History: the list entries of its files
    // follow them and show what it did, and the selected file is read again.
    void followRun(const QList<FileList::Outcome>& outcomes);

    // The current profile with the formats of rows 1 and 2 of the grid:
    // what saving it stores and what Preview All runs.
    Profile currentProfile() const;

    // The menu offered on the window's empty area: the two adding commands,
    // History and the about box command.
    QMenu* createContextMenu();

    void reject() override; // the Cancel command (Esc) does nothing

signals:
    // The files of every addFiles call are listed.
    void addingFinished();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
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
    bool deleteProfile(const QString& name) override;
    void quietTransform() override;

    QString exactPathOfPicked(const QString& picked, const QString& kind);
    void onProfileChange(int index);
    // Shows the profile list's entries and selection in list 1034.
    void showProfileList();
    void saveOptionControls();
    void loadOptionControls();

    void onInitDialog();
    void connectControls();
    void connectFileGatherer();
    void updateOriginalRow(int field);
    void showAboutBox();
    // The local files of a drop, in the order given.
    static QStringList droppedFiles(const QMimeData* mime);
    // Handles drag events that reach a child control first; true when taken.
    bool takeFileDrag(QEvent* event);

    UiSeam& m_seam;
    SettingsStore& m_store;
    ControlRegistry m_controls;
    ProfileList m_profiles;
    QAction* m_aboutAction = nullptr;
    QAction* m_openAction = nullptr;
    QAction* m_addFolderAction = nullptr;
    QAction* m_previewAction = nullptr;
    QAction* m_historyAction = nullptr;
    PageButtons* m_pages = nullptr;
    FileList m_files;
    // Destroyed before the list: it stops its worker first.
    FileGatherer m_gatherer;
    std::optional<WaitCursor> m_addingCursor;
    TagInfo m_tag;
    // The tag record holds the selected entry's file as its last refresh
    // read it; Apply needs this.
    bool m_tagIsSelected = false;
    bool m_ending = false; // Exit has run; the close that follows saves nothing more

    // Members that the controls exchange with.
    FieldGrid m_grid;
    int m_page = RowInput;
    Profile m_profile; // name and options; the formats live in the grid
    // The current profile as the store held it when the window loaded or
    // last saved it: a save leaves the store alone when the user changed
    // nothing here and another program changed the profile.
    Profile m_loaded;
};
