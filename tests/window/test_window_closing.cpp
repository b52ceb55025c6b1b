#include "window/controlids.h"
#include "window/dialogtemplate.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QAction>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

class TestWindowClosing : public QObject {
    Q_OBJECT
private slots:
    void keysThatLeaveTheWindowOpen_data();
    void keysThatLeaveTheWindowOpen();
    void waysToClose_data();
    void waysToClose();
    void enterClicksFocusedButton_data();
    void enterClicksFocusedButton();
    void aboutBox_data();
    void aboutBox();
};

void TestWindowClosing::keysThatLeaveTheWindowOpen_data() {
    QTest::addColumn<int>("focusId");
    QTest::addColumn<int>("key");

    QTest::newRow("Enter in Filename") << int(fieldEditId(FieldFilename)) << int(Qt::Key_Return);
    QTest::newRow("keypad Enter in Track") << int(fieldEditId(FieldTrack)) << int(Qt::Key_Enter);
    QTest::newRow("Enter on a page button") << int(IDC_PAGE_PARSE) << int(Qt::Key_Return);
    QTest::newRow("Enter on a check box") << int(IDC_ANSI) << int(Qt::Key_Return);
    QTest::newRow("Enter on the profile list") << int(IDC_PROFILE_LIST) << int(Qt::Key_Return);
    QTest::newRow("Esc in an edit box") << int(fieldEditId(FieldArtist)) << int(Qt::Key_Escape);
    QTest::newRow("Esc on Exit") << int(IDC_EXIT) << int(Qt::Key_Escape);
}

void TestWindowClosing::keysThatLeaveTheWindowOpen() {
    QFETCH(int, focusId);
    QFETCH(int, key);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QWidget* target = dialog.controls().widget(focusId);
    if (!target->isVisible()) // option controls live on the Create Output page
        QTest::mouseClick(dialog.controls().widget(IDC_PAGE_CREATE), Qt::LeftButton);
    target->setFocus();
    QTest::keyClick(target, Qt::Key(key));
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), 0);
    QVERIFY(seam.shown.isEmpty());
}

void TestWindowClosing::waysToClose_data() {
    QTest::addColumn<QString>("way");
    QTest::newRow("Exit clicked") << QStringLiteral("click");
    QTest::newRow("Enter on Exit") << QStringLiteral("enter");
    QTest::newRow("Space on Exit") << QStringLiteral("space");
    QTest::newRow("close box") << QStringLiteral("close");
}

void TestWindowClosing::waysToClose() {
    QFETCH(QString, way);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QWidget* exit = dialog.controls().widget(IDC_EXIT);
    if (way == QLatin1String("click")) {
        QTest::mouseClick(exit, Qt::LeftButton);
    } else if (way == QLatin1String("close")) {
        QVERIFY(dialog.close());
    } else {
        exit->setFocus();
        QTest::keyClick(exit, way == QLatin1String("enter") ? Qt::Key_Return : Qt::Key_Space);
    }
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

void TestWindowClosing::enterClicksFocusedButton_data() {
    QTest::addColumn<int>("id");
    QTest::newRow("Apply") << int(IDC_APPLY);
    QTest::newRow("Remove Item") << int(IDC_REMOVE_ITEM);
    QTest::newRow("Remove All") << int(IDC_REMOVE_ALL);
}

void TestWindowClosing::enterClicksFocusedButton() {
    QFETCH(int, id);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    // No button of the window is its default.
    for (const QPushButton* b : dialog.findChildren<QPushButton*>())
        QVERIFY2(!b->isDefault(), qPrintable(b->text()));
    auto* button = dialog.controls().as<QPushButton>(id);
    QSignalSpy clicks(button, &QPushButton::clicked);
    button->setFocus();
    QTest::keyClick(button, Qt::Key_Return);
    QCOMPARE(clicks.size(), 1);
    // A held Enter clicks once: its repeats click nothing, also those that
    // X11 sends as a release and a press of one time stamp and that Qt
    // does not mark as repeats.
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString(), true);
    QApplication::sendEvent(button, &repeat);
    QCOMPARE(clicks.size(), 1);
    const auto sendAt = [button](QEvent::Type type, ulong time) {
        QKeyEvent key(type, Qt::Key_Return, Qt::NoModifier);
        key.setTimestamp(time);
        QApplication::sendEvent(button, &key);
    };
    sendAt(QEvent::KeyRelease, 5000);
    sendAt(QEvent::KeyPress, 5000);
    QCOMPARE(clicks.size(), 1);
    sendAt(QEvent::KeyRelease, 5040);
    sendAt(QEvent::KeyPress, 5300); // pressed again
    QCOMPARE(clicks.size(), 2);
    // Focus back in an edit box: Enter clicks no button at all.
    dialog.controls().widget(fieldEditId(FieldTitle))->setFocus();
    QTest::keyClick(dialog.controls().widget(fieldEditId(FieldTitle)), Qt::Key_Return);
    QCOMPARE(clicks.size(), 2);
    QVERIFY(dialog.isVisible());
}

void TestWindowClosing::aboutBox_data() {
    QTest::addColumn<bool>("byKey");
    QTest::newRow("F1") << true;
    QTest::newRow("context menu") << false;
}

void TestWindowClosing::aboutBox() {
    QFETCH(bool, byKey);

    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    const FieldGrid before = dialog.fieldGrid();
    if (byKey) {
        QTest::keyClick(&dialog, Qt::Key_F1);
    } else {
        QMenu* menu = dialog.createContextMenu();
        // The adding commands, History, then the about box command.
        const QList<QAction*> actions = menu->actions();
        QCOMPARE(actions.size(), 6);
        QVERIFY(actions[2]->isSeparator());
        QCOMPARE(actions[3]->text(), QStringLiteral("&History..."));
        QVERIFY(actions[4]->isSeparator());
        QCOMPARE(actions.last()->text(), aboutCommandText());
        QCOMPARE(aboutCommandText(), QStringLiteral("&About Quorvel..."));
        actions.last()->trigger();
        delete menu;
    }
    QCOMPARE(seam.kinds(), QStringList{QStringLiteral("about")});
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.fieldGrid(), before);
}

QTEST_MAIN(TestWindowClosing)
#include "test_window_closing.moc"
