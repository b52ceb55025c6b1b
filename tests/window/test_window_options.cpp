#include "window/controlids.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSettings>
#include <QTest>

namespace {

void clickPage(CQuorvelDlg& dialog, int id) {
    QTest::mouseClick(dialog.controls().widget(id), Qt::LeftButton);
}

} // namespace

class TestWindowOptions : public QObject {
    Q_OBJECT
private slots:
    void exchange_data();
    void exchange();
    void typedSeparatorIsSavedAsShown();
    void caseChange_data();
    void caseChange();
};

void TestWindowOptions::exchange_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<int>("caseMode");
    QTest::addColumn<int>("ansi");
    QTest::addColumn<int>("clearV1");
    QTest::addColumn<QString>("shownSeparator");
    QTest::addColumn<int>("shownCase");
    QTest::addColumn<bool>("separatorEnabled");
    QTest::addColumn<QString>("savedSeparator");
    QTest::addColumn<int>("savedCase");
    QTest::addColumn<int>("savedAnsi");
    QTest::addColumn<int>("savedClearV1");

    QTest::newRow("defaults") << "SPACE" << 0 << 0 << 0 << "SPACE" << 0 << true << "SPACE" << 0 << 0
                              << 0;
    QTest::newRow("small letters")
        << "space" << 1 << 1 << 1 << "SPACE" << 1 << true << "SPACE" << 1 << 1 << 1;
    QTest::newRow("dash") << "-" << 2 << 0 << 0 << "-(dash)" << 2 << true << "-(dash)" << 2 << 0
                          << 0;
    QTest::newRow("underscore") << "_" << 0 << 0 << 0 << "_(underscore)" << 0 << true
                                << "_(underscore)" << 0 << 0 << 0;
    QTest::newRow("plus stays") << "+" << 0 << 0 << 0 << "+" << 0 << true << "+" << 0 << 0 << 0;
    QTest::newRow("empty stays empty") << "" << 0 << 0 << 0 << "" << 0 << true << "" << 0 << 0 << 0;
    QTest::newRow("keep original")
        << "NONE" << 3 << 0 << 0 << "NONE" << 3 << false << "NONE" << 3 << 0 << 0;
    QTest::newRow("case 7") << "SPACE" << 7 << 0 << 0 << "SPACE" << -1 << true << "SPACE" << -1 << 0
                            << 0;
    QTest::newRow("negative case")
        << "SPACE" << -3 << 0 << 0 << "SPACE" << 0 << true << "SPACE" << 0 << 0 << 0;
    QTest::newRow("check boxes out of range")
        << "SPACE" << 0 << 5 << -1 << "SPACE" << 0 << true << "SPACE" << 0 << 0 << 0;
}

void TestWindowOptions::exchange() {
    QFETCH(QString, separator);
    QFETCH(int, caseMode);
    QFETCH(int, ansi);
    QFETCH(int, clearV1);
    QFETCH(QString, shownSeparator);
    QFETCH(int, shownCase);
    QFETCH(bool, separatorEnabled);
    QFETCH(QString, savedSeparator);
    QFETCH(int, savedCase);
    QFETCH(int, savedAnsi);
    QFETCH(int, savedClearV1);

    TempStore temp;
    const QString name = QStringLiteral("Opts");
    temp.store.WriteText(name, StoreValue::Separator, separator);
    temp.store.WriteInt(name, StoreValue::Case, caseMode);
    temp.store.WriteInt(name, StoreValue::Ansi, ansi);
    temp.store.WriteInt(name, StoreValue::ClearV1, clearV1);
    temp.store.WriteText(ApplicationKey, StoreValue::LastProfile, name);

    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    ControlRegistry& r = dialog.controls();
    QCOMPARE(r.text(IDC_SEPARATOR), shownSeparator);
    QCOMPARE(r.as<QComboBox>(IDC_CASE)->currentIndex(), shownCase);
    QCOMPARE(r.isChecked(IDC_ANSI), savedAnsi == 1);
    QCOMPARE(r.isChecked(IDC_CLEAR_V1), savedClearV1 == 1);
    QCOMPARE(r.widget(IDC_SEPARATOR)->isEnabled(), separatorEnabled);

    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickPage(dialog, IDC_EXIT);
    const SettingsStore after(temp.file);
    QCOMPARE(after.ReadText(name, StoreValue::Separator, QStringLiteral("?")), savedSeparator);
    QCOMPARE(after.ReadInt(name, StoreValue::Ansi, -9), savedAnsi);
    QCOMPARE(after.ReadInt(name, StoreValue::ClearV1, -9), savedClearV1);
    // Read raw: the store's own read raises negative values to 0.
    QSettings raw(temp.file, QSettings::IniFormat);
    QCOMPARE(raw.value(name + QStringLiteral("/Case")).toInt(), savedCase);
}

void TestWindowOptions::typedSeparatorIsSavedAsShown() {
    TempStore temp;
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    clickPage(dialog, IDC_PAGE_CREATE);
    auto* separator = dialog.controls().as<QComboBox>(IDC_SEPARATOR);
    separator->setFocus();
    separator->lineEdit()->selectAll();
    QTest::keyClicks(separator, QStringLiteral(" ~ "));
    // Enter in the separator's field neither closes the window nor adds an entry.
    QTest::keyClick(separator, Qt::Key_Return);
    QVERIFY(dialog.isVisible());
    QCOMPARE(separator->count(), 4);
    clickPage(dialog, IDC_PAGE_INPUT);
    QCOMPARE(dialog.profile().separator, QStringLiteral(" ~ "));
    // A text that begins an entry is not completed to it while typed; saved,
    // it is the entry that the box shows once loaded again, so the Output
    // page shows the name that Apply writes.
    clickPage(dialog, IDC_PAGE_CREATE);
    separator->setFocus();
    separator->lineEdit()->selectAll();
    QTest::keyClicks(separator, QStringLiteral("n"));
    QCOMPARE(separator->currentText(), QStringLiteral("n"));
    clickPage(dialog, IDC_PAGE_INPUT);
    QCOMPARE(dialog.profile().separator, QStringLiteral("NONE"));
    QCOMPARE(separator->currentText(), QStringLiteral("NONE"));
}

void TestWindowOptions::caseChange_data() {
    QTest::addColumn<int>("chosen");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("Title Case") << 0 << true;
    QTest::newRow("lower case") << 1 << true;
    QTest::newRow("UPPER CASE") << 2 << true;
    QTest::newRow("Keep Original") << 3 << false;
}

void TestWindowOptions::caseChange() {
    QFETCH(int, chosen);
    QFETCH(bool, enabled);

    TempStore temp;
    // Start from the other state of the separator list.
    temp.store.WriteInt(QStringLiteral("Default"), StoreValue::Case, chosen == 3 ? 1 : 3);
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    clickPage(dialog, IDC_PAGE_CREATE);
    const int before = dialog.profile().caseMode;
    QCOMPARE(dialog.controls().widget(IDC_SEPARATOR)->isEnabled(), !enabled);

    dialog.controls().as<QComboBox>(IDC_CASE)->setCurrentIndex(chosen);
    QCOMPARE(dialog.controls().widget(IDC_SEPARATOR)->isEnabled(), enabled);
    // The member follows at the next save only.
    QCOMPARE(dialog.profile().caseMode, before);
    clickPage(dialog, IDC_PAGE_OUTPUT);
    QCOMPARE(dialog.profile().caseMode, chosen);
}

QTEST_MAIN(TestWindowOptions)
#include "test_window_options.moc"
