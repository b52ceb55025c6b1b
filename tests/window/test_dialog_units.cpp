#include "window/dialogunits.h"

#include <QTest>

class TestDialogUnits : public QObject {
    Q_OBJECT
private slots:
    void toPixels_data();
    void toPixels();
    void touchingControlsStayTouching();
    void fitting_data();
    void fitting();
};

void TestDialogUnits::toPixels_data() {
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("baseY");
    QTest::addColumn<QRect>("units");
    QTest::addColumn<QRect>("pixels");

    // The classic 8-point font: 6 by 13 pixels per character.
    QTest::newRow("profile label") << 6 << 13 << QRect(9, 9, 45, 8) << QRect(14, 15, 67, 13);
    QTest::newRow("whole window") << 6 << 13 << QRect(0, 0, 481, 239) << QRect(0, 0, 722, 388);
    QTest::newRow("halves round up") << 6 << 12 << QRect(1, 1, 1, 1) << QRect(2, 2, 1, 1);
    QTest::newRow("origin") << 7 << 16 << QRect(0, 0, 4, 8) << QRect(0, 0, 7, 16);
    QTest::newRow("empty size") << 7 << 16 << QRect(20, 61, 0, 0) << QRect(35, 122, 0, 0);
}

void TestDialogUnits::toPixels() {
    QFETCH(int, baseX);
    QFETCH(int, baseY);
    QFETCH(QRect, units);
    QFETCH(QRect, pixels);
    QCOMPARE(DialogUnits(baseX, baseY).toPixels(units), pixels);
}

void TestDialogUnits::touchingControlsStayTouching() {
    // The page buttons sit side by side one unit apart; rounding each width on
    // its own would open or close gaps between them.
    for (int baseX = 5; baseX <= 11; ++baseX) {
        const DialogUnits units(baseX, 15);
        const QRect a = units.toPixels(QRect(177, 184, 54, 17));
        const QRect b = units.toPixels(QRect(231, 184, 53, 17));
        QCOMPARE(a.x() + a.width(), b.x());
    }
}

void TestDialogUnits::fitting_data() {
    QTest::addColumn<int>("baseX");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("pixels");
    QTest::addColumn<int>("fittedBaseX");

    QTest::newRow("already fits") << 6 << 9 << 45 << 60 << 6;
    QTest::newRow("exactly fits") << 8 << 0 << 40 << 80 << 8;
    QTest::newRow("one pixel short") << 8 << 0 << 40 << 81 << 9;
    QTest::newRow("needs much more") << 6 << 20 << 32 << 100 << 13;
    QTest::newRow("zero width never loops") << 6 << 10 << 0 << 50 << 6;
}

void TestDialogUnits::fitting() {
    QFETCH(int, baseX);
    QFETCH(int, left);
    QFETCH(int, width);
    QFETCH(int, pixels);
    QFETCH(int, fittedBaseX);
    const DialogUnits fitted = DialogUnits(baseX, 13).fitting(left, width, pixels);
    QCOMPARE(fitted.baseX(), fittedBaseX);
    QCOMPARE(fitted.baseY(), 13);
    if (width > 0)
        QVERIFY(fitted.toPixels(QRect(left, 0, width, 1)).width() >= pixels);
}

QTEST_APPLESS_MAIN(TestDialogUnits)
#include "test_dialog_units.moc"
