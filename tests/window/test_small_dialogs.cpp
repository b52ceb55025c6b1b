#include "app/aboutdlg.h"
#include "window/controlids.h"
#include "window/profilenamedlg.h"
#include "window/uiseam.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

class TestSmallDialogs : public QObject {
    Q_OBJECT
private slots:
    void profileNameDialog_data();
    void profileNameDialog();
    void aboutBox();
    void messageBoxes_data();
    void messageBoxes();
};

void TestSmallDialogs::profileNameDialog_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("name");

    QTest::newRow("OK") << "Rock"
                        << "ok" << int(QDialog::Accepted) << "Rock";
    QTest::newRow("Enter") << "Jazz Vinyl"
                           << "enter" << int(QDialog::Accepted) << "Jazz Vinyl";
    QTest::newRow("empty name accepted") << ""
                                         << "ok" << int(QDialog::Accepted) << "";
    QTest::newRow("command text accepted") << "<Add New...>"
                                           << "enter" << int(QDialog::Accepted) << "<Add New...>";
    QTest::newRow("long name not cut") << QString(300, QLatin1Char('n')) << "ok"
                                       << int(QDialog::Accepted) << QString(300, QLatin1Char('n'));
    QTest::newRow("Cancel") << "Rock"
                            << "cancel" << int(QDialog::Rejected) << "";
    QTest::newRow("Esc") << "Rock"
                         << "esc" << int(QDialog::Rejected) << "";
}

void TestSmallDialogs::profileNameDialog() {
    QFETCH(QString, typed);
    QFETCH(QString, ending);
    QFETCH(int, result);
    QFETCH(QString, name);

    CProfileNameDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString());
    bool focusedAndEmpty = false;
    // The dialog runs modally; the user acts from inside its loop, and the
    // dialog is ended whatever happens so that a failure cannot hang the test.
    QTimer::singleShot(0, &dialog, [&] {
        QWidget* edit = dialog.controls().widget(IDC_PROFILE_NAME_EDIT);
        focusedAndEmpty = QTest::qWaitForWindowActive(&dialog) &&
                          QApplication::focusWidget() == edit &&
                          dialog.controls().text(IDC_PROFILE_NAME_EDIT).isEmpty();
        QTest::keyClicks(edit, typed);
        if (ending == QLatin1String("ok"))
            QTest::mouseClick(dialog.controls().widget(IDOK), Qt::LeftButton);
        else if (ending == QLatin1String("cancel"))
            QTest::mouseClick(dialog.controls().widget(IDCANCEL), Qt::LeftButton);
        else
            QTest::keyClick(edit, ending == QLatin1String("esc") ? Qt::Key_Escape : Qt::Key_Return);
        if (dialog.isVisible())
            dialog.done(-1);
    });
    QCOMPARE(dialog.exec(), result);
    QVERIFY(focusedAndEmpty);
    QCOMPARE(dialog.name(), name);
}

void TestSmallDialogs::aboutBox() {
    CAboutDlg dialog;
    QStringList texts;
    for (const ControlRegistry::Control& c : dialog.controls().controls())
        if (auto* label = qobject_cast<QLabel*>(c.widget); label && !label->text().isEmpty())
            texts.append(label->text());
    QCOMPARE(texts.size(), 3);
    QVERIFY(texts[0].startsWith(QStringLiteral("Quorvel, Version ")));
    QVERIFY(texts[0].endsWith(QStringLiteral(QUORVEL_VERSION)));
    QVERIFY(texts[2].startsWith(QStringLiteral("Copyright")));
    auto* ok = dialog.controls().as<QPushButton>(IDOK);
    QVERIFY(ok->isDefault());
    QTimer::singleShot(0, &dialog, [&] {
        QTest::keyClick(&dialog, Qt::Key_Return);
        if (dialog.isVisible())
            dialog.done(-1);
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
}

void TestSmallDialogs::messageBoxes_data() {
    QTest::addColumn<bool>("question");
    QTest::addColumn<bool>("pressYes");
    QTest::addColumn<bool>("result");

    QTest::newRow("message") << false << false << false;
    QTest::newRow("question, Yes") << true << true << true;
    QTest::newRow("question, No") << true << false << false;
}

void TestSmallDialogs::messageBoxes() {
    QFETCH(bool, question);
    QFETCH(bool, pressYes);
    QFETCH(bool, result);

    QWidget owner;
    WidgetUiSeam seam;
    QString title, text;
    bool plain = false;
    QMessageBox::Icon icon = QMessageBox::Warning;
    QList<QMessageBox::StandardButton> buttons;
    // The box is modal: look at it from inside its loop, then answer.
    QTimer::singleShot(0, &owner, [&] {
        auto* box = owner.findChild<QMessageBox*>();
        if (!box)
            return;
        plain = box->textFormat() == Qt::PlainText;
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        for (QAbstractButton* b : box->buttons())
            buttons.append(box->standardButton(b));
        box->button(question ? (pressYes ? QMessageBox::Yes : QMessageBox::No) : QMessageBox::Ok)
            ->click();
    });
    bool answer = false;
    if (question)
        answer = seam.askYesNo(&owner, QStringLiteral("Delete \"x\"?"), QStringLiteral("Confirm"));
    else
        seam.showMessage(&owner, QStringLiteral("<b>not rich</b>"), QStringLiteral("quorvel"));

    QCOMPARE(answer, result);
    QCOMPARE(icon, QMessageBox::NoIcon);
    QVERIFY(plain);
    QCOMPARE(title, question ? QStringLiteral("Confirm") : QStringLiteral("quorvel"));
    QCOMPARE(text, question ? QStringLiteral("Delete \"x\"?") : QStringLiteral("<b>not rich</b>"));
    std::sort(buttons.begin(), buttons.end());
    const QList<QMessageBox::StandardButton> expected =
        question ? QList<QMessageBox::StandardButton>{QMessageBox::Yes, QMessageBox::No}
                 : QList<QMessageBox::StandardButton>{QMessageBox::Ok};
    QList<QMessageBox::StandardButton> sortedExpected = expected;
    std::sort(sortedExpected.begin(), sortedExpected.end());
    QCOMPARE(buttons, sortedExpected);
}

QTEST_MAIN(TestSmallDialogs)
#include "test_small_dialogs.moc"
