#include "apply/foldercreation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestFolderCreation : public QObject {
    Q_OBJECT
private slots:
    // Locations are relative to a temporary folder holding "music/", a
    // file "music/song.mp3", symbolic links "music/up" to "music/", "music/gone"
    // to nothing and "music/loop" to itself; "@" stands for that folder.
    void levels_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QStringList>("created");

        QTest::newRow("exists") << "@/music" << true << QStringList{};
        QTest::newRow("exists, trailing separator") << "@/music/" << true << QStringList{};
        QTest::newRow("one level") << "@/music/a" << true << QStringList{"@/music/a"};
        QTest::newRow("two levels")
            << "@/music/a/b" << true << QStringList{"@/music/a", "@/music/a/b"};
        QTest::newRow("doubled separator") << "@/music//a/" << true << QStringList{"@/music//a"};
        QTest::newRow("names a file") << "@/music/song.mp3" << false << QStringList{};
        QTest::newRow("below a file") << "@/music/song.mp3/x" << false << QStringList{};
        QTest::newRow("through a link to a folder")
            << "@/music/up/a" << true << QStringList{"@/music/up/a"};
        QTest::newRow("a link to nothing") << "@/music/gone" << false << QStringList{};
        QTest::newRow("below a link to nothing") << "@/music/gone/x/y" << false << QStringList{};
        QTest::newRow("below a loop of links") << "@/music/loop/x" << false << QStringList{};
        QTest::newRow("empty") << "" << false << QStringList{};
        QTest::newRow("too long") << "@/" + QString(2100, 'x') << false << QStringList{};
    }
    void levels() {
        QFETCH(QString, location);
        QFETCH(bool, ok);
        QFETCH(QStringList, created);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("music"));
        QFile song(dir.filePath("music/song.mp3"));
        QVERIFY(song.open(QIODevice::WriteOnly));
        song.close();
        QVERIFY(QFile::link(".", dir.filePath("music/up")));
        QVERIFY(QFile::link("nowhere", dir.filePath("music/gone")));
        QVERIFY(QFile::link("loop", dir.filePath("music/loop")));
        location.replace('@', dir.path());
        created.replaceInStrings("@", dir.path());

        QStringList planned;
        QCOMPARE(MissingFolderLevels(location, planned), ok);
        QCOMPARE(planned, ok ? created : QStringList{});
        QStringList made;
        QCOMPARE(CreateFolderLevels(location, &made), ok);
        QCOMPARE(made, created);
        if (ok)
            QVERIFY(QFileInfo(location).isDir());
        // A second call finds everything in place.
        QCOMPARE(CreateFolderLevels(location, &made), ok);
        QCOMPARE(made, QStringList{});
    }

    // The limit counts the Location as given.
    void lengthLimit() {
        QTemporaryDir dir;
        const QString base = dir.path() + '/';
        const QString atLimit = base + QString(MaxFolderPathLength - base.size(), 'y');
        QStringList missing;
        QVERIFY(MissingFolderLevels(atLimit, missing));
        QCOMPARE(missing, QStringList{atLimit});
        QVERIFY(!MissingFolderLevels(atLimit + 'y', missing));
    }

    // A relative Location starts at the current folder.
    void relative() {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        QStringList made;
        const bool ok = CreateFolderLevels("x/y", &made);
        QDir::setCurrent(old);
        QVERIFY(ok);
        QCOMPARE(made, (QStringList{"x", "x/y"}));
        QVERIFY(QFileInfo(dir.filePath("x/y")).isDir());
    }
};

QTEST_GUILESS_MAIN(TestFolderCreation)
#include "test_foldercreation.moc"
