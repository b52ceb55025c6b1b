#include "window/controlids.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLineEdit>
#include <QTest>

namespace {

// Types text into an edit box as a user would, replacing what it held.
void typeInto(QWidget* edit, const QString& text) {
    auto* line = qobject_cast<QLineEdit*>(edit);
    line->selectAll();
    QTest::keyClicks(edit, text);
}

void clickPage(CQuorvelDlg& dialog, int page) {
    QTest::mouseClick(dialog.controls().widget(kPageButtonIds[page]), Qt::LeftButton);
}

} // namespace

class TestWindowPages : public QObject {
    Q_OBJECT
private slots:
    void openingState();
    void pageControls_data();
    void pageControls();
    void typedTextGoesToThePageRow_data();
    void typedTextGoesToThePageRow();
    void originalRow_data();
    void originalRow();
    void originalRowAfterPageShortcut();
    void originalRowOnlyOnParsePage_data();
    void originalRowOnlyOnParsePage();
    void outputPageIsReadOnly();
    void editLimit_data();
    void editLimit();
    void longStoredFormatSurvives();
    void pageActivation_data();
    void pageActivation();
    void keyboardReachesPageButtons();
};

void TestWindowPages::openingState() {
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ControlRegistry& r = dialog.controls();
    QCOMPARE(dialog.currentPage(), 0);
    QVERIFY(r.isChecked(IDC_PAGE_INPUT));
    QCOMPARE(QApplication::focusWidget(), r.widget(fieldEditId(FieldFilename)));
    // The file list stands where the options group stands, and is the one shown.
    QCOMPARE(r.rect(IDC_FILELIST), r.rect(IDC_OPTIONS_GROUP));
    QVERIFY(r.widget(IDC_FILELIST)->isVisible());
    QVERIFY(!r.widget(IDC_OPTIONS_GROUP)->isVisible());
    // Nothing was shown modally while opening.
    QCOMPARE(seam.shown.size(), 0);
}

void TestWindowPages::pageControls_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<bool>("listShown");
    QTest::addColumn<bool>("optionsShown");
    QTest::addColumn<bool>("originalShown");
    QTest::addColumn<bool>("readOnly");
    QTest::addColumn<bool>("codesHelp"); // the edit boxes' tooltips list the codes

    QTest::newRow("Input") << 0 << true << false << false << false << false;
    QTest::newRow("Parse Input") << 1 << true << false << true << false << true;
    QTest::newRow("Create Output") << 2 << false << true << false << false << true;
    QTest::newRow("Output") << 3 << true << false << false << true << false;
}

void TestWindowPages::pageControls() {
    QFETCH(int, page);
    QFETCH(bool, listShown);
    QFETCH(bool, optionsShown);
    QFETCH(bool, originalShown);
    QFETCH(bool, readOnly);
    QFETCH(bool, codesHelp);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    // Come from the Create Output page, so that every page shows or hides
    // something that the page before it had the other way.
    clickPage(dialog, page == 2 ? 1 : 2);
    clickPage(dialog, page);
    ControlRegistry& r = dialog.controls();

    QCOMPARE(dialog.currentPage(), page);
    for (int p = 0; p < RowCount; ++p)
        QCOMPARE(r.isChecked(kPageButtonIds[p]), p == page);
    for (int id : {IDC_FILELIST, IDC_REMOVE_ALL, IDC_REMOVE_ITEM})
        QCOMPARE(r.widget(id)->isVisible(), listShown);
    for (int id :
         {IDC_OPTIONS_GROUP, IDC_CASE, IDC_ANSI, IDC_SEPARATOR, IDC_CLEAR_OTHER_V2, IDC_CLEAR_V1})
        QCOMPARE(r.widget(id)->isVisible(), optionsShown);
    // The separator's label has no ID: it goes with the group by its position.
    QCOMPARE(r.previous(IDC_SEPARATOR)->isVisible(), optionsShown);
    for (int id : {IDC_ORIGINAL_LABEL, IDC_ORIGINAL_EDIT})
        QCOMPARE(r.widget(id)->isVisible(), originalShown);
    for (int f = 0; f < FieldCount; ++f) {
        QWidget* edit = r.widget(fieldEditId(f));
        QVERIFY(edit->isVisible());
        QCOMPARE(r.as<QLineEdit>(fieldEditId(f))->isReadOnly(), readOnly);
        const QString tip = edit->toolTip();
        QCOMPARE(tip.contains(QLatin1String("\n%#  Track (two digits)\n%C  ")), codesHelp);
        QCOMPARE(tip.endsWith(QLatin1String("\"%# - %A - %T\" for \"03 - Artist - Title\"")),
                 codesHelp);
        QCOMPARE(tip.isEmpty(), !codesHelp);
        // Screen readers read it as the box's description.
        QCOMPARE(QAccessible::queryAccessibleInterface(edit)->text(QAccessible::Description), tip);
    }
    // Controls outside the options group stay whatever the page.
    for (int id : {IDC_APPLY, IDC_EXIT, IDC_PROFILE_LIST, IDC_PAGE_INPUT, IDC_PAGE_OUTPUT})
        QVERIFY(r.widget(id)->isVisible());
}

void TestWindowPages::typedTextGoesToThePageRow_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");

    QTest::newRow("input artist") << 0 << int(FieldArtist) << QStringLiteral("Nils Ek");
    QTest::newRow("parse title") << 1 << int(FieldTitle) << QStringLiteral("%A - %T");
    QTest::newRow("create location") << 2 << int(FieldLocation) << QStringLiteral("%L/%A");
    QTest::newRow("unicode filename")
        << 0 << int(FieldFilename) << QString::fromUtf8("Ærø – 東京 \xF0\x9F\x8E\xB5");
}

void TestWindowPages::typedTextGoesToThePageRow() {
    QFETCH(int, page);
    QFETCH(int, field);
    QFETCH(QString, text);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickPage(dialog, page);
    const FieldGrid before = dialog.fieldGrid();
    dialog.controls().setText(fieldEditId(field), text);

    // Typing alone changes no member; the next page switch saves it.
    QCOMPARE(dialog.fieldGrid(), before);
    const int other = page == 1 ? 2 : 1;
    clickPage(dialog, other);
    FieldGrid expected = before;
    expected[size_t(page)][size_t(field)] = text;
    QCOMPARE(dialog.fieldGrid()[size_t(page)], expected[size_t(page)]);
    // The other page shows its own row, not the typed text.
    QCOMPARE(dialog.controls().text(fieldEditId(field)),
             dialog.fieldGrid()[size_t(other)][size_t(field)]);

    // Back on the page the text is shown again.
    clickPage(dialog, page);
    QCOMPARE(dialog.controls().text(fieldEditId(field)), text);
}

void TestWindowPages::originalRow_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("label");

    QTest::newRow("Location") << int(FieldLocation) << QStringLiteral("Original  Location");
    QTest::newRow("Filename") << int(FieldFilename) << QStringLiteral("Original  Filename");
    QTest::newRow("Artist") << int(FieldArtist) << QStringLiteral("Original Artist");
    QTest::newRow("Track") << int(FieldTrack) << QStringLiteral("Original Track");
}

void TestWindowPages::originalRow() {
    QFETCH(int, field);
    QFETCH(QString, label);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ControlRegistry& r = dialog.controls();
    // Typed on the Input page and saved by the switch.
    typeInto(r.widget(fieldEditId(field)), QStringLiteral("saved value"));
    clickPage(dialog, 1);
    // Text typed into an Input edit box later is not what the row shows:
    // the row shows the saved Input value.
    dialog.fieldGrid()[RowInput][size_t(field)] = QStringLiteral("grid value");
    r.widget(fieldEditId(field))->setFocus();
    QCOMPARE(r.text(IDC_ORIGINAL_LABEL), label);
    QCOMPARE(r.text(IDC_ORIGINAL_EDIT), QStringLiteral("grid value"));
    QCOMPARE(r.widget(IDC_ORIGINAL_EDIT)->accessibleName(), label.simplified());

    dialog.clearOriginalRow();
    QCOMPARE(r.text(IDC_ORIGINAL_LABEL), QString());
    QCOMPARE(r.text(IDC_ORIGINAL_EDIT), QString());
}

// Ctrl+1 to Ctrl+4 change the page with the focus left in its edit box:
// the row shows that box's Input value as the switch saved it, not what it
// showed when the box last got the focus (or nothing after a selection).
void TestWindowPages::originalRowAfterPageShortcut() {
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ControlRegistry& r = dialog.controls();
    QWidget* artist = r.widget(fieldEditId(FieldArtist));
    for (const QString& typed : {QStringLiteral("New Artist"), QStringLiteral("Newer")}) {
        QTest::keyClick(artist, Qt::Key_1, Qt::ControlModifier);
        artist->setFocus();
        typeInto(artist, typed);
        QTest::keyClick(artist, Qt::Key_2, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), artist);
        QCOMPARE(r.text(IDC_ORIGINAL_LABEL), QStringLiteral("Original Artist"));
        QCOMPARE(r.text(IDC_ORIGINAL_EDIT), typed);
    }
}

void TestWindowPages::originalRowOnlyOnParsePage_data() {
    QTest::addColumn<int>("page");
    QTest::newRow("Input") << 0;
    QTest::newRow("Create Output") << 2;
    QTest::newRow("Output") << 3;
}

void TestWindowPages::originalRowOnlyOnParsePage() {
    QFETCH(int, page);
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ControlRegistry& r = dialog.controls();
    clickPage(dialog, 1);
    r.widget(fieldEditId(FieldArtist))->setFocus();
    clickPage(dialog, page);
    r.widget(fieldEditId(FieldTrack))->setFocus();
    QCOMPARE(QApplication::focusWidget(), r.widget(fieldEditId(FieldTrack)));
    QCOMPARE(r.text(IDC_ORIGINAL_LABEL), QStringLiteral("Original Artist"));
}

void TestWindowPages::outputPageIsReadOnly() {
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    clickPage(dialog, 3);
    QWidget* title = dialog.controls().widget(fieldEditId(FieldTitle));
    const QString before = dialog.controls().text(fieldEditId(FieldTitle));
    title->setFocus();
    QTest::keyClicks(title, QStringLiteral("typed"));
    QCOMPARE(dialog.controls().text(fieldEditId(FieldTitle)), before);
}

void TestWindowPages::editLimit_data() {
    QTest::addColumn<int>("setLength");
    QTest::addColumn<QString>("keys"); // "x" types a letter, "<" is a backspace
    QTest::addColumn<int>("length");

    QTest::newRow("typing stops at 1024") << 1000 << QString(50, QLatin1Char('x')) << 1024;
    QTest::newRow("typing up to the limit") << 1023 << QStringLiteral("x") << 1024;
    QTest::newRow("set text is never cut") << 1500 << QString() << 1500;
    QTest::newRow("set text beyond Qt's own limit") << 40000 << QString() << 40000;
    QTest::newRow("no typing beyond set text") << 1500 << QStringLiteral("xx") << 1500;
    QTest::newRow("deleting beyond the limit") << 1500 << QStringLiteral("<<") << 1498;
    QTest::newRow("delete then type") << 1025 << QStringLiteral("<<x") << 1024;
}

void TestWindowPages::editLimit() {
    QFETCH(int, setLength);
    QFETCH(QString, keys);
    QFETCH(int, length);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    for (int f = 0; f < FieldCount; ++f) {
        QWidget* edit = dialog.controls().widget(fieldEditId(f));
        dialog.controls().setText(fieldEditId(f), QString(setLength, QLatin1Char('a')));
        edit->setFocus();
        QTest::keyClick(edit, Qt::Key_End);
        for (QChar key : keys)
            QTest::keyClick(edit, key == QLatin1Char('<') ? Qt::Key_Backspace : Qt::Key_X);
        QCOMPARE(dialog.controls().text(fieldEditId(f)).size(), length);
    }
}

void TestWindowPages::longStoredFormatSurvives() {
    TempStore temp;
    const QString longFormat = QStringLiteral("%A ") + QString(1400, QLatin1Char('-'));
    temp.store.WriteText(QStringLiteral("Default"), StoreValue::field(1, FieldArtist), longFormat);
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickPage(dialog, 1);
    clickPage(dialog, 2);
    QTest::mouseClick(dialog.controls().widget(IDC_EXIT), Qt::LeftButton);
    QCOMPARE(SettingsStore(temp.file).ReadText(QStringLiteral("Default"),
                                               StoreValue::field(1, FieldArtist), {}),
             longFormat);
}

void TestWindowPages::pageActivation_data() {
    QTest::addColumn<int>("from");
    QTest::addColumn<QString>("way");
    QTest::addColumn<int>("button"); // the page button activated
    QTest::addColumn<int>("page");   // the page shown afterwards
    QTest::addColumn<int>("runs");   // transformation runs shown: one message each

    QTest::newRow("mouse") << 0 << "mouse" << 3 << 3 << 1;
    QTest::newRow("Space") << 0 << "space" << 3 << 3 << 1;
    QTest::newRow("accessible Toggle") << 0 << "toggle" << 3 << 3 << 1;
    QTest::newRow("accessible Press") << 0 << "press" << 3 << 3 << 1;
    QTest::newRow("Ctrl+4") << 0 << "shortcut" << 3 << 3 << 1;
    QTest::newRow("Ctrl+1") << 3 << "shortcut" << 0 << 0 << 0;
    QTest::newRow("Ctrl+2") << 0 << "shortcut" << 1 << 1 << 0;
    QTest::newRow("Ctrl+3") << 0 << "shortcut" << 2 << 2 << 0;
    QTest::newRow("Right arrow on the checked button") << 2 << "right" << 2 << 3 << 1;
    QTest::newRow("Left arrow on the checked button") << 1 << "left" << 1 << 0 << 0;
    QTest::newRow("mouse on the checked button runs again") << 3 << "mouse" << 3 << 3 << 1;
    QTest::newRow("Space on the checked button runs again") << 3 << "space" << 3 << 3 << 1;
    QTest::newRow("accessible Press on the checked button runs again")
        << 3 << "press" << 3 << 3 << 1;
    QTest::newRow("Ctrl+4 on Output runs again") << 3 << "shortcut" << 3 << 3 << 1;
    QTest::newRow("accessible Toggle cannot uncheck") << 3 << "toggle" << 3 << 3 << 0;
}

void TestWindowPages::pageActivation() {
    QFETCH(int, from);
    QFETCH(QString, way);
    QFETCH(int, button);
    QFETCH(int, page);
    QFETCH(int, runs);

    RecordingSeam seam;
    TempStore temp;
    // Every run with messages says so once: the Title output cannot be made.
    temp.store.WriteText(QStringLiteral("Default"), StoreValue::field(2, FieldTitle),
                         QStringLiteral("%X"));
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    clickPage(dialog, from);
    seam.shown.clear();
    ControlRegistry& r = dialog.controls();
    QWidget* target = r.widget(kPageButtonIds[button]);

    if (way == QLatin1String("mouse")) {
        QTest::mouseClick(target, Qt::LeftButton);
    } else if (way == QLatin1String("space") || way == QLatin1String("right") ||
               way == QLatin1String("left")) {
        target->setFocus();
        const Qt::Key key = way == QLatin1String("space")   ? Qt::Key_Space
                            : way == QLatin1String("right") ? Qt::Key_Right
                                                            : Qt::Key_Left;
        QTest::keyClick(target, key);
    } else if (way == QLatin1String("shortcut")) {
        QTest::keyClick(&dialog, Qt::Key(Qt::Key_1 + button), Qt::ControlModifier);
    } else {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(target);
        QVERIFY(accessible && accessible->actionInterface());
        const QString action = way == QLatin1String("toggle")
                                   ? QAccessibleActionInterface::toggleAction()
                                   : QAccessibleActionInterface::pressAction();
        // A checkable button offers Toggle; Press is taken all the same.
        QVERIFY(accessible->actionInterface()->actionNames().contains(
            QAccessibleActionInterface::toggleAction()));
        accessible->actionInterface()->doAction(action);
    }

    // A Press clicks after showing the button down for a moment.
    QTRY_COMPARE(dialog.currentPage(), page);
    QTest::qWait(way == QLatin1String("press") ? 200 : 0);
    QCOMPARE(seam.shown.size(), runs);
    for (int p = 0; p < RowCount; ++p)
        QCOMPARE(r.isChecked(kPageButtonIds[p]), p == page);
    // The page shows its controls, not only a checked button.
    QCOMPARE(r.widget(IDC_FILELIST)->isVisible(), page != RowCreate);
    QCOMPARE(r.as<QLineEdit>(fieldEditId(FieldTitle))->isReadOnly(), page == RowOutput);
}

void TestWindowPages::keyboardReachesPageButtons() {
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ControlRegistry& r = dialog.controls();
    // From the last edit box, Tab reaches the checked page button, the
    // arrows move between the buttons and switch, and Tab leaves the group.
    r.widget(fieldEditId(FieldTrack))->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), r.widget(IDC_PAGE_INPUT));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right);
    QCOMPARE(QApplication::focusWidget(), r.widget(IDC_PAGE_PARSE));
    QCOMPARE(dialog.currentPage(), int(RowParse));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), r.widget(IDC_APPLY));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), r.widget(IDC_PAGE_PARSE));
    // A screen reader hears its name and its shortcut.
    QAccessibleInterface* output = QAccessible::queryAccessibleInterface(r.widget(IDC_PAGE_OUTPUT));
    QCOMPARE(output->text(QAccessible::Name), QStringLiteral("Output"));
    QCOMPARE(output->text(QAccessible::Description), QStringLiteral("Output page (Ctrl+4)"));
}

QTEST_MAIN(TestWindowPages)
#include "test_window_pages.moc"
