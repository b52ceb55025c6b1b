#include "window/pathstore.h"

#include <QTest>

// Each step is one of: "+PATH=SLOT" adds PATH and expects SLOT (-1: refused
// as listed already), "-SLOT" frees a slot, "clear" releases the store,
// "SLOT>PATH=1" puts PATH into SLOT in place of its path (=0: refused).
class TestPathStore : public QObject {
    Q_OBJECT
private slots:
    void steps_data();
    void steps();
    void foldsOnlyAsciiLetters_data();
    void foldsOnlyAsciiLetters();
};

void TestPathStore::steps_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<int>("capacity");
    QTest::addColumn<int>("count");

    const QStringList four{"+/m/a.mp3=0", "+/m/b.mp3=1", "+/m/c.mp3=2", "+/m/d.mp3=3"};
    QTest::newRow("empty store") << QStringList{} << 0 << 0;
    QTest::newRow("first path grows to 4") << QStringList{"+/m/a.mp3=0"} << 4 << 1;
    QTest::newRow("four fill the first step") << four << 4 << 4;
    QTest::newRow("fifth grows to 8 into slot 4") << four + QStringList{"+/m/e.mp3=4"} << 8 << 5;
    QTest::newRow("freed slot 2 is reused, capacity stays")
        << four + QStringList{"-2", "+/m/e.mp3=2"} << 4 << 4;
    QTest::newRow("reuse, then growth into slot 4")
        << four + QStringList{"-2", "+/m/e.mp3=2", "+/m/f.mp3=4"} << 8 << 5;
    QTest::newRow("search starts at slot n, not at 0")
        << four + QStringList{"+/m/e.mp3=4", "-1", "+/m/f.mp3=5"} << 8 << 5;
    QTest::newRow("search wraps round to slot 0")
        << four + QStringList{"+/m/e.mp3=4", "+/m/f.mp3=5", "+/m/g.mp3=6", "+/m/h.mp3=7",
                              "-0",          "-1",          "+/m/i.mp3=0"}
        << 8 << 7;
    QTest::newRow("same path in other case is refused")
        << QStringList{"+/A/Song.mp3=0", "+/a/song.MP3=-1", "+/A/SONG.MP3=-1"} << 4 << 1;
    QTest::newRow("same name in two folders")
        << QStringList{"+/A/x.mp3=0", "+/B/x.mp3=1"} << 4 << 2;
    QTest::newRow("no path normalisation")
        << QStringList{"+/m/a.mp3=0", "+/m//a.mp3=1", "+/m/./a.mp3=2"} << 4 << 3;
    QTest::newRow("a freed path can be added again")
        << QStringList{"+/m/a.mp3=0", "+/m/b.mp3=1", "-0", "+/M/A.mp3=2"} << 4 << 2;
    QTest::newRow("freeing a free slot changes nothing")
        << QStringList{"+/m/a.mp3=0", "-1", "-1", "-9", "+/m/b.mp3=1"} << 4 << 2;
    QTest::newRow("clear releases every slot")
        << four + QStringList{"+/m/e.mp3=4", "clear"} << 0 << 0;
    QTest::newRow("after clear, slot 0 again and nothing listed")
        << four + QStringList{"clear", "+/m/c.mp3=0"} << 4 << 1;
    QTest::newRow("an empty path is never stored") << QStringList{"+=-1"} << 0 << 0;
    QTest::newRow("a moved path frees the old one")
        << QStringList{"+/m/a.mp3=0", "+/m/b.mp3=1", "0>/n/z.mp3=1", "+/m/a.mp3=2"} << 4 << 3;
    QTest::newRow("a move onto a listed path is refused")
        << QStringList{"+/m/a.mp3=0", "+/m/b.mp3=1", "0>/m/b.mp3=0", "+/m/a.mp3=-1"} << 4 << 2;
    QTest::newRow("a move onto a path equal but for case: two files, both kept")
        << QStringList{"+/m/a.mp3=0",  "+/m/b.mp3=1", "0>/m/B.mp3=1", "+/m/a.mp3=2",
                       "+/M/b.MP3=-1", "-1",          "+/m/b.mp3=-1"}
        << 4 << 2;
    QTest::newRow("own path in other case")
        << QStringList{"+/m/a.MP3=0", "0>/m/a.mp3=1", "+/m/A.mp3=-1"} << 4 << 1;
    QTest::newRow("free slot or empty path: no move")
        << QStringList{"+/m/a.mp3=0", "1>/m/b.mp3=0", "0>=0", "+/m/b.mp3=1"} << 4 << 2;
}

void TestPathStore::steps() {
    QFETCH(QStringList, steps);
    QFETCH(int, capacity);
    QFETCH(int, count);

    PathStore store;
    QHash<int, QString> expected; // slot -> path, kept by the test
    for (const QString& step : steps) {
        if (step == QLatin1String("clear")) {
            store.clear();
            expected.clear();
        } else if (step.contains(QLatin1Char('>'))) {
            const int slot = step.section(QLatin1Char('>'), 0, 0).toInt();
            const QString path = step.section(QLatin1Char('>'), 1).section(QLatin1Char('='), 0, 0);
            const bool moved = step.section(QLatin1Char('='), 1) == QLatin1String("1");
            QCOMPARE(store.replace(slot, path), moved);
            if (moved)
                expected.insert(slot, path);
        } else if (step.startsWith(QLatin1Char('-'))) {
            const int slot = step.mid(1).toInt();
            store.release(slot);
            expected.remove(slot);
        } else {
            const QString path = step.mid(1).section(QLatin1Char('='), 0, 0);
            const int slot = step.section(QLatin1Char('='), 1).toInt();
            QCOMPARE(store.add(path), slot);
            if (slot >= 0)
                expected.insert(slot, path);
        }
    }
    QCOMPARE(store.capacity(), capacity);
    QCOMPARE(store.count(), count);
    for (int slot = 0; slot < store.capacity(); ++slot) {
        QCOMPARE(store.path(slot), expected.value(slot));
        if (expected.contains(slot))
            QVERIFY(store.contains(expected.value(slot)));
    }
}

void TestPathStore::foldsOnlyAsciiLetters_data() {
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("dropped");
    QTest::addColumn<bool>("same");

    QTest::newRow("A to Z") << "/Music/ABC.MP3"
                            << "/music/abc.mp3" << true;
    QTest::newRow("accented capital is not folded") << "/m/\u00C9t\u00E9.mp3"
                                                    << "/m/\u00E9t\u00E9.mp3" << false;
    QTest::newRow("sharp s is not ss") << "/m/stra\u00DFe.mp3"
                                       << "/m/strasse.mp3" << false;
    QTest::newRow("Greek capital is not folded") << "/m/\u03A3.mp3"
                                                 << "/m/\u03C3.mp3" << false;
    QTest::newRow("neighbours of the letters stay") << "/m/[@].mp3"
                                                    << "/m/{`}.mp3" << false;
    QTest::newRow("trailing slash differs") << "/m/a"
                                            << "/m/a/" << false;
}

void TestPathStore::foldsOnlyAsciiLetters() {
    QFETCH(QString, listed);
    QFETCH(QString, dropped);
    QFETCH(bool, same);

    PathStore store;
    QCOMPARE(store.add(listed), 0);
    QCOMPARE(store.contains(dropped), same);
    QCOMPARE(store.add(dropped), same ? -1 : 1);
}

QTEST_GUILESS_MAIN(TestPathStore)
#include "test_path_store.moc"
