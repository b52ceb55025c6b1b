#include "window/quorveldlg.h"

#include "profiles/optioncontrols.h"
#include "profiles/settingsstore.h"
#include "transform/transform.h"
#include "window/controlids.h"
#include "window/enterkey.h"
#include "window/formathelp.h"
#include "window/pagebuttons.h"
#include "window/uiseam.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

namespace {

constexpr int kEditLimit = 1024;

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addFile(QStringLiteral(":/quorvel/icons/quorvel-%1.png").arg(size), QSize(size, size));
    return icon;
}

// The caption of every message box that gives none of its own.
QString applicationCaption() {
    return QCoreApplication::applicationName();
}

} // namespace

CQuorvelDlg::CQuorvelDlg(UiSeam& seam, SettingsStore& store, QWidget* parent)
    : QDialog(parent), m_seam(seam), m_store(store),
      m_controls(this, mainWindowTemplate(), DialogUnits(font())), m_profiles(*this),
      m_files(m_controls.as<QListWidget>(IDC_FILELIST)) {
    // Members as constructed: empty texts, options off, until the first load.
    m_profile.separator.clear();
    setWindowTitle(mainWindowTemplate().caption);
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    setAcceptDrops(true);
    // No button is the window's default, also not the first one that
    // QDialog would make so when it is shown: a focused button takes Enter
    // through keyPressEvent instead.
    for (QPushButton* button : findChildren<QPushButton*>())
        button->setAutoDefault(false);
    connectControls();
    connectFileGatherer();
    onInitDialog();
}

CQuorvelDlg::~CQuorvelDlg() = default;

void CQuorvelDlg::onInitDialog() {
    // The lists hold their entries from the template; one load shows the
    // members as constructed.
    loadControls();

    m_profiles.fill(
        m_store.ReadText(ApplicationKey, StoreValue::LastProfile, QStringLiteral("Default")),
        m_store.EnumProfiles());
    showProfileList();
    // The profiles are the user's: a window on the default profile alone,
    // without a word, would look as if they were gone. Said once the window
    // is up.
    if (!m_store.isReadable()) {
        QTimer::singleShot(0, this, [this] {
            showMessage(QStringLiteral("Cannot read the settings store %1: the window shows the "
                                       "default profile and saves nothing until the file is "
                                       "mended")
                            .arg(m_store.fileName()));
        });
    }

    const QString aboutText = aboutCommandText();
    if (!aboutText.isEmpty()) {
        m_aboutAction = new QAction(aboutText, this);
        m_aboutAction->setShortcut(QKeySequence(Qt::Key_F1));
        m_aboutAction->setShortcutContext(Qt::WindowShortcut);
        connect(m_aboutAction, &QAction::triggered, this, &CQuorvelDlg::showAboutBox);
        addAction(m_aboutAction);
    }
    m_openAction = new QAction(QStringLiteral("Add &Files..."), this);
    m_openAction->setShortcut(QKeySequence::Open);
    m_openAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_openAction, &QAction::triggered, this, &CQuorvelDlg::onOpenFiles);
    addAction(m_openAction);
    m_addFolderAction = new QAction(QStringLiteral("Add F&older..."), this);
    m_addFolderAction->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O));
    m_addFolderAction->setShortcutContext(Qt::WindowShortcut);
    connect(m_addFolderAction, &QAction::triggered, this, &CQuorvelDlg::onAddFolder);
    addAction(m_addFolderAction);
    m_controls.setPlaceholderText(
        IDC_FILELIST, QStringLiteral("Drop MP3 files or folders here, or press Ctrl+O"));
    // The buttons and the keys open the same dialogs; the context menu
    // offers History too.
    m_previewAction = new QAction(QStringLiteral("&Preview All..."), this);
    m_previewAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    connect(m_previewAction, &QAction::triggered, this, &CQuorvelDlg::onPreviewAll);
    m_historyAction = new QAction(QStringLiteral("&History..."), this);
    m_historyAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
    connect(m_historyAction, &QAction::triggered, this, &CQuorvelDlg::onHistory);
    for (QAction* action : {m_previewAction, m_historyAction}) {
        action->setShortcutContext(Qt::WindowShortcut);
        addAction(action);
    }

    setWindowIcon(programIcon());

    for (int f = 0; f < FieldCount; ++f)
        m_controls.setLimit(fieldEditId(f), kEditLimit);

    // The file list and the options group take turns in the same place.
    m_controls.setRect(IDC_FILELIST, m_controls.rect(IDC_OPTIONS_GROUP));

    m_pages->check(RowInput);
    switchPage(RowInput);
    m_controls.widget(fieldEditId(FieldFilename))->setFocus();
}

void CQuorvelDlg::connectControls() {
    m_pages = new PageButtons(m_controls, this);
    connect(m_pages, &PageButtons::chosen, this, &CQuorvelDlg::switchPage);
    for (int f = 0; f < FieldCount; ++f)
        m_controls.widget(fieldEditId(f))->installEventFilter(this);
    // The separator box takes typing too: files dropped there are added,
    // not typed into the profile.
    if (QLineEdit* separator = m_controls.as<QComboBox>(IDC_SEPARATOR)->lineEdit())
        separator->installEventFilter(this);
    // Selections that the window makes itself are made with signals blocked,
    // so these run for the user's changes only.
    connect(m_controls.as<QComboBox>(IDC_CASE), &QComboBox::currentIndexChanged, this,
            &CQuorvelDlg::onCaseChange);
    connect(m_controls.as<QComboBox>(IDC_PROFILE_LIST), &QComboBox::currentIndexChanged, this,
            &CQuorvelDlg::onProfileChange);
    connect(m_controls.as<QPushButton>(IDC_EXIT), &QPushButton::clicked, this,
            &CQuorvelDlg::onExit);
    connect(m_controls.as<QListWidget>(IDC_FILELIST), &QListWidget::itemSelectionChanged, this,
            &CQuorvelDlg::selectionRefresh);
    connect(m_controls.as<QPushButton>(IDC_REMOVE_ITEM), &QPushButton::clicked, this,
            &CQuorvelDlg::onRemoveItem);
    connect(m_controls.as<QPushButton>(IDC_REMOVE_ALL), &QPushButton::clicked, this,
            &CQuorvelDlg::onRemoveAll);
    connect(m_controls.as<QPushButton>(IDC_APPLY), &QPushButton::clicked, this,
            &CQuorvelDlg::onApply);
    connect(m_controls.as<QPushButton>(IDC_PREVIEW_ALL), &QPushButton::clicked, this,
            &CQuorvelDlg::onPreviewAll);
    connect(m_controls.as<QPushButton>(IDC_HISTORY), &QPushButton::clicked, this,
            &CQuorvelDlg::onHistory);
}

void CQuorvelDlg::saveControls() {
    for (int f = 0; f < FieldCount; ++f)
        m_grid[size_t(m_page)][size_t(f)] = m_controls.text(fieldEditId(f));
    saveOptionControls();
}

void CQuorvelDlg::loadControls() {
    for (int f = 0; f < FieldCount; ++f)
        m_controls.setText(fieldEditId(f), m_grid[size_t(m_page)][size_t(f)]);
    loadOptionControls();
    onCaseChange();
}

void CQuorvelDlg::saveOptionControls() {
    OptionControls c;
    c.ansi = m_controls.isChecked(IDC_ANSI) ? 1 : 0;
    c.separatorText = m_controls.text(IDC_SEPARATOR);
    c.caseIndex = m_controls.as<QComboBox>(IDC_CASE)->currentIndex();
    c.clearV1 = m_controls.isChecked(IDC_CLEAR_V1) ? 1 : 0;
    c.clearOtherV2 = m_controls.isChecked(IDC_CLEAR_OTHER_V2) ? 1 : 0;
    ::saveOptionControls(c, m_profile);
}

void CQuorvelDlg::loadOptionControls() {
    const OptionControls c = ::loadOptionControls(m_profile);
    m_controls.setChecked(IDC_ANSI, c.ansi != 0);
    auto* separator = m_controls.as<QComboBox>(IDC_SEPARATOR);
    separator->setCurrentIndex(c.separatorIndex);
    separator->setEditText(c.separatorText);
    auto* caseList = m_controls.as<QComboBox>(IDC_CASE);
    const QSignalBlocker blocker(caseList);
    caseList->setCurrentIndex(c.caseIndex);
    m_controls.setChecked(IDC_CLEAR_V1, c.clearV1 != 0);
    m_controls.setChecked(IDC_CLEAR_OTHER_V2, c.clearOtherV2 != 0);
}

void CQuorvelDlg::switchPage(int page) {
    saveControls();
    m_page = page;

    for (int f = 0; f < FieldCount; ++f) {
        m_controls.setReadOnly(fieldEditId(f), page == RowOutput);
        m_controls.setToolTip(fieldEditId(f), formatHelp(page));
    }

    // The options group is the group box and every control whose top-left
    // corner lies inside it, decided anew at each switch.
    // QRect::contains counts the left and top edges in and the right and
    // bottom edges out, as the dialog manager's rectangles do.
    const QRect group = m_controls.rect(IDC_OPTIONS_GROUP);
    for (const ControlRegistry::Control& c : m_controls.controls()) {
        if (c.id == IDC_FILELIST)
            continue;
        if (c.id == IDC_OPTIONS_GROUP || group.contains(c.widget->geometry().topLeft()))
            c.widget->setVisible(page == RowCreate);
    }

    for (int id : {IDC_FILELIST, IDC_REMOVE_ALL, IDC_REMOVE_ITEM})
        m_controls.setVisible(id, page != RowCreate);
    for (int id : {IDC_ORIGINAL_LABEL, IDC_ORIGINAL_EDIT})
        m_controls.setVisible(id, page == RowParse);

    if (page == RowOutput)
        transform(true);
    loadControls();
    // A page chosen by its shortcut leaves the focus in its edit box, which
    // then gets no new focus: its Original row is filled here.
    const int focused = m_controls.focusedId();
    for (int f = 0; f < FieldCount; ++f) {
        if (focused == fieldEditId(f))
            updateOriginalRow(f);
    }
}

bool CQuorvelDlg::transform(bool showMessages, int* messageCount) {
    const TransformOptions options{m_profile.ansi, m_profile.caseMode, m_profile.separator};
    int messages = 0;
    const bool ok = Transform(m_grid, options, showMessages, m_controls.isChecked(IDC_PAGE_OUTPUT),
                              [this, &messages](const QString& message) {
                                  ++messages;
                                  m_seam.showMessage(this, message, applicationCaption());
                              });
    if (messageCount)
        *messageCount = messages;
    if (ok && m_page == RowOutput)
        loadControls();
    return ok;
}

void CQuorvelDlg::updateOriginalRow(int field) {
    if (m_page != RowParse)
        return;
    // The field's label is the control just before its edit box.
    const auto* label = qobject_cast<const QLabel*>(m_controls.previous(fieldEditId(field)));
    const QString caption = QStringLiteral("Original ") + (label ? label->text() : QString());
    m_controls.setText(IDC_ORIGINAL_LABEL, caption);
    m_controls.setText(IDC_ORIGINAL_EDIT, m_grid[RowInput][size_t(field)]);
    // Screen readers name the read-only box after what it shows.
    m_controls.widget(IDC_ORIGINAL_EDIT)
        ->setAccessibleName(ControlRegistry::accessibleCaption(caption));
}

void CQuorvelDlg::clearOriginalRow() {
    m_controls.setText(IDC_ORIGINAL_LABEL, QString());
    m_controls.setText(IDC_ORIGINAL_EDIT, QString());
}

void CQuorvelDlg::onCaseChange() {
    m_controls.setEnabled(IDC_SEPARATOR,
                          separatorEnabledFor(m_controls.as<QComboBox>(IDC_CASE)->currentIndex()));
}

void CQuorvelDlg::onProfileChange(int index) {
    m_profiles.onProfileChange(index);
    showProfileList();
}

void CQuorvelDlg::showProfileList() {
    auto* list = m_controls.as<QComboBox>(IDC_PROFILE_LIST);
    const QSignalBlocker blocker(list);
    QStringList shown;
    for (int i = 0; i < list->count(); ++i)
        shown.append(list->itemText(i));
    if (shown != m_profiles.entries()) {
        list->clear();
        list->addItems(m_profiles.entries());
    }
    list->setCurrentIndex(m_profiles.selectedIndex());
}

std::optional<QString> CQuorvelDlg::askProfileName() {
    return m_seam.askProfileName(this);
}

void CQuorvelDlg::showMessage(const QString& text) {
    m_seam.showMessage(this, text, applicationCaption());
}

bool CQuorvelDlg::askYesNo(const QString& text, const QString& caption) {
    return m_seam.askYesNo(this, text, caption);
}

void CQuorvelDlg::loadProfile(const QString& name) {
    const Profile loaded = m_store.LoadProfile(name);
    m_profile = loaded;
    m_profile.name = name;
    m_grid[RowParse] = loaded.parse;
    m_grid[RowCreate] = loaded.create;
    m_loaded = m_profile;
    loadControls();
}

Profile CQuorvelDlg::currentProfile() const {
    Profile p = m_profile;
    p.parse = m_grid[RowParse];
    p.create = m_grid[RowCreate];
    return p;
}

void CQuorvelDlg::saveProfile(const QString& name) {
    Profile saved = currentProfile();
    saved.name = name;
    // Read without creating: a profile deleted meanwhile is no profile
    // changed to the defaults.
    const auto stored = [&] {
        std::optional<Profile> now = m_store.readRunProfile(name);
        if (now)
            now->name = name;
        return now;
    };
    // What saving would write had the user changed nothing here.
    Profile untouched = m_loaded;
    takeOptionsAsWindow(untouched);
    const bool changedHere = saved != untouched;
    // Nothing changed here, and quorvel-cli changed the profile meanwhile:
    // its change stays. One deleted meanwhile is stored again, as shown here.
    const std::optional<Profile> now = stored();
    if (!changedHere && now && *now != m_loaded) {
        m_store.WriteText(ApplicationKey, StoreValue::LastProfile, name);
        return;
    }
    if (m_store.SaveProfile(saved)) {
        m_loaded = stored().value_or(saved);
        return;
    }
    // The user's changes would be lost without a word.
    if (changedHere)
        showMessage(QStringLiteral("Profile \"%1\" was not saved: %2")
                        .arg(name, CannotSaveToStore(m_store)));
}

bool CQuorvelDlg::deleteProfile(const QString& name) {
    switch (m_store.DeleteProfileKey(name, true)) {
    case Deletion::Done:
    case Deletion::NotStored: // deleted meanwhile by another program
        return true;
    case Deletion::OnlyProfile: // the others were deleted meanwhile
        showMessage(QStringLiteral("At least 1 profile should always exist"));
        return false;
    case Deletion::Failed:
        break;
    }
    showMessage(
        QStringLiteral("Profile \"%1\" was not deleted: %2").arg(name, CannotSaveToStore(m_store)));
    return false;
}

void CQuorvelDlg::quietTransform() {
    transform(false);
}

void CQuorvelDlg::onExit() {
    if (m_ending)
        return;
    m_ending = true;
    saveControls();
    saveProfile(m_profiles.currentName());
    done(QDialog::Rejected);
}

QMenu* CQuorvelDlg::createContextMenu() {
    auto* menu = new QMenu(this);
    menu->addAction(m_openAction);
    menu->addAction(m_addFolderAction);
    menu->addSeparator();
    menu->addAction(m_historyAction);
    if (m_aboutAction) {
        menu->addSeparator();
        menu->addAction(m_aboutAction);
    }
    return menu;
}

void CQuorvelDlg::showAboutBox() {
    m_seam.showAbout(this);
}

void CQuorvelDlg::reject() {}

void CQuorvelDlg::keyPressEvent(QKeyEvent* event) {
    // Enter and Esc that no control took: neither ends the window.
    if (ClickFocusedButton(this, event))
        return;
    if (event->key() == Qt::Key_Escape)
        event->accept();
    else
        QDialog::keyPressEvent(event);
}

void CQuorvelDlg::closeEvent(QCloseEvent* event) {
    // The close box and Alt+F4 end the window as Exit does.
    onExit();
    event->accept();
}

void CQuorvelDlg::contextMenuEvent(QContextMenuEvent* event) {
    QMenu* menu = createContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(event->globalPos());
}

bool CQuorvelDlg::eventFilter(QObject* watched, QEvent* event) {
    // Files dropped onto an edit box are added to the list, not typed in.
    if (takeFileDrag(event))
        return true;
    if (event->type() == QEvent::FocusIn) {
        for (int f = 0; f < FieldCount; ++f) {
            if (watched == m_controls.widget(fieldEditId(f)))
                updateOriginalRow(f);
        }
    }
    return QDialog::eventFilter(watched, event);
}
