#include "apply/batchplan.h"
#include "progressbar.h"

#include <QDir>
#include <QTest>

class TestBatchParts : public QObject {
    Q_OBJECT
private slots:
    void sharedTargets_data() {
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<QList<QList<int>>>("shared");
        using L = QList<int>;
        QTest::newRow("all different") << QStringList{"/m/a.mp3", "/m/b.mp3"} << QList<L>{{}, {}};
        QTest::newRow("same") << QStringList{"/m/a.mp3", "/m/b.mp3", "/m/a.mp3"}
                              << QList<L>{{2}, {}, {0}};
        QTest::newRow("same after cleaning")
            << QStringList{"/m//a.mp3", "/m/x/../a.mp3"} << QList<L>{{1}, {0}};
        QTest::newRow("case differs") << QStringList{"/m/A.mp3", "/m/a.mp3"} << QList<L>{{}, {}};
        QTest::newRow("three alike")
            << QStringList{"/a.mp3", "/a.mp3", "/a.mp3"} << QList<L>{{1, 2}, {0, 2}, {0, 1}};
        QTest::newRow("failed files ignored")
            << QStringList{"", "", "/a.mp3"} << QList<L>{{}, {}, {}};
    }
    void sharedTargets() {
        QFETCH(QStringList, targets);
        QFETCH(QList<QList<int>>, shared);
        QList<QList<int>> got = SharedTargets(targets);
        for (QList<int>& g : got)
            std::sort(g.begin(), g.end());
        QCOMPARE(got, shared);
    }

    void barLine_data() {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("line");
        QTest::newRow("start") << 0 << 4 << "a.mp3" << 80 << "[....................] 1/4 a.mp3";
        QTest::newRow("half") << 2 << 4 << "c.mp3" << 80 << "[##########..........] 3/4 c.mp3";
        QTest::newRow("long name cut from the left")
            << 1 << 10 << "abcdefghijklmnopqrstuvwxyz.mp3" << 40
            << "[##..................] 2/10 ...wxyz.mp3";
        QTest::newRow("no half emoji") << 0 << 1 << QString::fromUtf8("abx\U0001F600yz.mp3") << 38
                                       << "[....................] 1/1 ...yz.mp3";
        QTest::newRow("narrow terminal")
            << 0 << 1 << "a.mp3" << 20 << "[....................] 1/1 ";
    }
    void barLine() {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(QString, line);
        const QString got = ProgressBar::line(done, total, name, width);
        QCOMPARE(got, line);
    }
};

QTEST_GUILESS_MAIN(TestBatchParts)
#include "test_batchparts.moc"
