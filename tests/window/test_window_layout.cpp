#include "app/aboutdlg.h"
#include "window/controlids.h"
#include "window/profilenamedlg.h"
#include "window/quorveldlg.h"
#include "windowtestsupport.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTest>

#include <memory>

namespace {

// The dialogs whose templates are checked, each built fresh.
std::unique_ptr<QDialog> makeDialog(const QString& which, RecordingSeam& seam, TempStore& temp) {
    if (which == QLatin1String("main"))
        return std::make_unique<CQuorvelDlg>(seam, temp.store);
    if (which == QLatin1String("about"))
        return std::make_unique<CAboutDlg>();
    return std::make_unique<CProfileNameDlg>();
}

ControlRegistry& registryOf(QDialog* dialog) {
    if (auto* d = qobject_cast<CQuorvelDlg*>(dialog))
        return d->controls();
    if (auto* d = qobject_cast<CAboutDlg*>(dialog))
        return d->controls();
    return qobject_cast<CProfileNameDlg*>(dialog)->controls();
}

QString captionOf(const QWidget* w) {
    if (auto* label = qobject_cast<const QLabel*>(w))
        return label->text();
    if (auto* button = qobject_cast<const QAbstractButton*>(w))
        return button->text();
    return {};
}

} // namespace

class TestWindowLayout : public QObject {
    Q_OBJECT
private slots:
    void captionsFit_data();
    void captionsFit();
    void accessibleNames_data();
    void accessibleNames();
    void nothingOverlaps_data();
    void nothingOverlaps();
    void originalRowFits_data();
    void originalRowFits();
    void tabOrder();
    void fixedSize();
};

void TestWindowLayout::captionsFit_data() {
    QTest::addColumn<QString>("dialog");
    QTest::newRow("main window") << QStringLiteral("main");
    QTest::newRow("about box") << QStringLiteral("about");
    QTest::newRow("profile name") << QStringLiteral("name");
}

void TestWindowLayout::captionsFit() {
    QFETCH(QString, dialog);
    RecordingSeam seam;
    TempStore temp;
    auto d = makeDialog(dialog, seam, temp);
    for (const ControlRegistry::Control& c : registryOf(d.get()).controls()) {
        const QString caption = captionOf(c.widget);
        if (caption.isEmpty())
            continue;
        const int needed = c.widget->fontMetrics().horizontalAdvance(caption);
        QVERIFY2(needed < c.widget->width(), qPrintable(caption));
        QVERIFY2(c.widget->fontMetrics().height() <= c.widget->height(), qPrintable(caption));
    }
}

void TestWindowLayout::accessibleNames_data() {
    captionsFit_data();
}

void TestWindowLayout::accessibleNames() {
    QFETCH(QString, dialog);
    RecordingSeam seam;
    TempStore temp;
    auto d = makeDialog(dialog, seam, temp);
    for (const ControlRegistry::Control& c : registryOf(d.get()).controls())
        QVERIFY2(!c.widget->accessibleName().isEmpty(), qPrintable(QString::number(c.id)));

    if (dialog == QLatin1String("main")) {
        // Edit boxes and lists are named by the label before them.
        ControlRegistry& r = registryOf(d.get());
        QCOMPARE(r.widget(IDC_PROFILE_LIST)->accessibleName(), QStringLiteral("Profile Name"));
        QCOMPARE(r.widget(fieldEditId(0))->accessibleName(), QStringLiteral("Location"));
        QCOMPARE(r.widget(fieldEditId(7))->accessibleName(), QStringLiteral("Track"));
        QCOMPARE(r.widget(IDC_SEPARATOR)->accessibleName(),
                 QStringLiteral("Filename Separator for Parts"));
        QCOMPARE(r.widget(IDC_ANSI)->accessibleName(), QStringLiteral("Use ANSI Characters Only"));
        // Buttons that open a dialog are named without the dots.
        QCOMPARE(r.widget(IDC_PREVIEW_ALL)->accessibleName(), QStringLiteral("Preview All"));
        QCOMPARE(r.widget(IDC_HISTORY)->accessibleName(), QStringLiteral("History"));
    }
}

void TestWindowLayout::nothingOverlaps_data() {
    QTest::addColumn<int>("pageButton");
    for (int id : kPageButtonIds)
        QTest::newRow(qPrintable(QString::number(id))) << id;
}

void TestWindowLayout::nothingOverlaps() {
    QFETCH(int, pageButton);
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(dialog.controls().widget(pageButton), Qt::LeftButton);

    std::vector<const QWidget*> shown;
    for (const ControlRegistry::Control& c : dialog.controls().controls()) {
        QVERIFY2(dialog.rect().contains(c.widget->geometry()),
                 qPrintable(c.widget->accessibleName()));
        // Group boxes are frames around other controls.
        if (c.widget->isVisible() && c.kind != ControlKind::GroupBox)
            shown.push_back(c.widget);
    }
    for (size_t i = 0; i < shown.size(); ++i)
        for (size_t j = i + 1; j < shown.size(); ++j)
            QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                     qPrintable(shown[i]->accessibleName() + " / " + shown[j]->accessibleName()));
}

void TestWindowLayout::originalRowFits_data() {
    QTest::addColumn<int>("field");
    for (int f = 0; f < FieldCount; ++f)
        QTest::newRow(qPrintable(fieldKey(f))) << f;
}

void TestWindowLayout::originalRowFits() {
    QFETCH(int, field);
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QTest::mouseClick(dialog.controls().widget(IDC_PAGE_PARSE), Qt::LeftButton);
    dialog.controls().widget(fieldEditId(field))->setFocus();

    // "Original" and the field's caption wrap onto two lines of the label.
    auto* label = dialog.controls().as<QLabel>(IDC_ORIGINAL_LABEL);
    QVERIFY(label->text().startsWith(QStringLiteral("Original ")));
    const int width = label->contentsRect().width();
    for (const QString& word : label->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
        QVERIFY2(label->fontMetrics().horizontalAdvance(word) <= width, qPrintable(word));
    QVERIFY(label->heightForWidth(label->width()) <= label->height());
}

void TestWindowLayout::tabOrder() {
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    ControlRegistry& r = dialog.controls();
    // Labels, group boxes and the Original edit box are no stops; of the
    // page buttons only the checked one is.
    const QList<int> expected{IDC_PROFILE_LIST,
                              2000,
                              2001,
                              2002,
                              2003,
                              2004,
                              2005,
                              2006,
                              2007,
                              IDC_CASE,
                              IDC_ANSI,
                              IDC_SEPARATOR,
                              IDC_PAGE_INPUT,
                              IDC_APPLY,
                              IDC_FILELIST,
                              IDC_EXIT,
                              IDC_CLEAR_OTHER_V2,
                              IDC_CLEAR_V1,
                              IDC_REMOVE_ITEM,
                              IDC_REMOVE_ALL,
                              IDC_PREVIEW_ALL,
                              IDC_HISTORY};
    QList<int> visited;
    QWidget* w = r.widget(IDC_PROFILE_LIST);
    do {
        for (const ControlRegistry::Control& c : r.controls())
            if (c.widget == w && (w->focusPolicy() & Qt::TabFocus))
                visited.append(c.id);
        w = w->nextInFocusChain();
    } while (w != r.widget(IDC_PROFILE_LIST));
    QCOMPARE(visited, expected);
}

void TestWindowLayout::fixedSize() {
    RecordingSeam seam;
    TempStore temp;
    CQuorvelDlg dialog(seam, temp.store);
    QCOMPARE(dialog.minimumSize(), dialog.maximumSize());
    QVERIFY(!(dialog.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(dialog.windowFlags() & Qt::WindowMinimizeButtonHint);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Quorvel"));
    QVERIFY(dialog.acceptDrops());
    QVERIFY(!dialog.windowIcon().isNull());
    // The window is as wide as 481 units and as high as 239 of its own units.
    const DialogUnits& units = dialog.controls().units();
    QCOMPARE(dialog.width(), units.x(481));
    QCOMPARE(dialog.height(), units.y(239));
}

QTEST_MAIN(TestWindowLayout)
#include "test_window_layout.moc"
