#include "window/controlids.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QComboBox>
#include <QTest>

namespace {

void clickPage(CQuorvelDlg& dialog, int page) {
    QTest::mouseClick(dialog.controls().widget(kPageButtonIds[page]), Qt::LeftButton);
}

// Each edit is "PAGE FIELD TEXT": the user goes to the page and types the
// text into the field's edit box.
void applyEdits(CQuorvelDlg& dialog, const QStringList& edits) {
    for (const QString& edit : edits) {
        const int page = edit.section(QLatin1Char(' '), 0, 0).toInt();
        const int field = edit.section(QLatin1Char(' '), 1, 1).toInt();
        if (dialog.currentPage() != page)
            clickPage(dialog, page);
        dialog.controls().setText(fieldEditId(field), edit.section(QLatin1Char(' '), 2));
    }
}

QStringList messagesOf(const RecordingSeam& seam) {
    QStringList texts;
    for (const RecordingSeam::Shown& s : seam.shown) {
        if (s.kind == QLatin1String("message") && s.caption == QCoreApplication::applicationName())
            texts.append(s.text);
    }
    return texts;
}

} // namespace

class TestWindowTransform : public QObject {
    Q_OBJECT
private slots:
    void outputPage_data();
    void outputPage();
    void outputClickedAgainRunsAgain();
    void profileChangeRunsQuietly_data();
    void profileChangeRunsQuietly();
};

void TestWindowTransform::outputPage_data() {
    QTest::addColumn<QStringList>("edits");
    QTest::addColumn<QStringList>("expected"); // "FIELD TEXT" shown on the Output page
    QTest::addColumn<QStringList>("messages");

    QTest::newRow("changed artist")
        << QStringList{"0 2 nils ek"} << QStringList{"2 Nils Ek"} << QStringList{};
    QTest::newRow("title from the file name")
        << QStringList{"0 1 07 - harbour lights", "1 1 %# - %T", "1 3 ", "1 7 ", "2 1 %# %T"}
        << QStringList{"1 07 Harbour Lights", "3 Harbour Lights", "7 07"} << QStringList{};
    QTest::newRow("separator and case")
        << QStringList{"0 3 blue ferry", "2 3 %T"} << QStringList{"3 Blue Ferry"} << QStringList{};
    QTest::newRow("code not parsed") << QStringList{"0 3 song", "2 3 %T %X"} << QStringList{}
                                     << QStringList{"%T %X has invalid value %X"};
    QTest::newRow("one code from two fields")
        << QStringList{"0 1 x", "0 3 y", "1 1 %T"} << QStringList{"1 ", "3 "}
        << QStringList{"%T is created from multiple input fields"};
    QTest::newRow("malformed format goes on")
        << QStringList{"0 2 someone", "1 2 %"} << QStringList{}
        << QStringList{"Invalid format: % Need a character after % sign",
                       "%A has invalid value %A"};
}

void TestWindowTransform::outputPage() {
    QFETCH(QStringList, edits);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, messages);

    TempStore temp;
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    applyEdits(dialog, edits);
    QVERIFY(seam.shown.isEmpty()); // editing runs nothing

    clickPage(dialog, RowOutput);
    QCOMPARE(messagesOf(seam), messages);
    QCOMPARE(seam.shown.size(), messages.size());
    for (const QString& e : expected) {
        const int field = e.section(QLatin1Char(' '), 0, 0).toInt();
        const QString text = e.section(QLatin1Char(' '), 1);
        QCOMPARE(dialog.controls().text(fieldEditId(field)), text);
        QCOMPARE(dialog.fieldGrid()[RowOutput][size_t(field)], text);
    }
}

void TestWindowTransform::outputClickedAgainRunsAgain() {
    TempStore temp;
    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    applyEdits(dialog, {"2 4 %B %Q"});
    clickPage(dialog, RowOutput);
    clickPage(dialog, RowOutput);
    QCOMPARE(messagesOf(seam), QStringList(2, QStringLiteral("%B %Q has invalid value %Q")));

    // A good format and one more click: the new output shows at once.
    dialog.fieldGrid()[RowCreate][FieldAlbum] = QStringLiteral("[%B]");
    dialog.fieldGrid()[RowInput][FieldAlbum] = QStringLiteral("piers");
    clickPage(dialog, RowOutput);
    QCOMPARE(seam.shown.size(), 2);
    QCOMPARE(dialog.controls().text(fieldEditId(FieldAlbum)), QStringLiteral("[Piers]"));
}

void TestWindowTransform::profileChangeRunsQuietly_data() {
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("messageCount");
    QTest::newRow("Input page: quiet") << 0 << 0;
    QTest::newRow("Create Output page: quiet") << 2 << 0;
    QTest::newRow("Output page: shown") << 3 << 1;
}

void TestWindowTransform::profileChangeRunsQuietly() {
    QFETCH(int, page);
    QFETCH(int, messageCount);

    TempStore temp;
    Profile broken = Profile::withDefaults(QStringLiteral("Broken"));
    broken.create[FieldAlbum] = QStringLiteral("%B %Z");
    temp.store.SaveProfile(broken, LastProfileUpdate::Keep);
    Profile plain = Profile::withDefaults(QStringLiteral("Plain"));
    plain.create[FieldAlbum] = QStringLiteral("(%B)");
    temp.store.SaveProfile(plain, LastProfileUpdate::Keep);
    temp.store.WriteText(ApplicationKey, StoreValue::LastProfile, QStringLiteral("Plain"));

    RecordingSeam seam;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    applyEdits(dialog, {"0 4 piers"});
    clickPage(dialog, page);
    seam.shown.clear();

    dialog.controls().as<QComboBox>(IDC_PROFILE_LIST)->setCurrentIndex(0); // "Broken"
    QCOMPARE(dialog.profileList().currentName(), QStringLiteral("Broken"));
    QCOMPARE(messagesOf(seam).size(), messageCount);
    if (messageCount)
        QCOMPARE(messagesOf(seam).first(), QStringLiteral("%B %Z has invalid value %Z"));

    // Back to a working profile: the quiet run refreshes the outputs.
    seam.shown.clear();
    dialog.controls().as<QComboBox>(IDC_PROFILE_LIST)->setCurrentIndex(1);
    QCOMPARE(seam.shown.size(), 0);
    QCOMPARE(dialog.fieldGrid()[RowOutput][FieldAlbum], QStringLiteral("(Piers)"));
    if (page == RowOutput)
        QCOMPARE(dialog.controls().text(fieldEditId(FieldAlbum)), QStringLiteral("(Piers)"));
}

QTEST_MAIN(TestWindowTransform)
#include "test_window_transform.moc"
