#include "fixtures.h"

#include "tags/selectionread.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using fixture::TextBody;

class TestSelectionRead : public QObject {
    Q_OBJECT
private slots:
    void inputs_data();
    void inputs();
    void failedReadGivesNothing();
};

void TestSelectionRead::inputs_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QList<fixture::Frame>>("frames");
    QTest::addColumn<bool>("withV1");
    QTest::addColumn<QStringList>("expected"); // Filename .. Track

    QTest::newRow("every frame")
        << "Song.mp3"
        << QList<fixture::Frame>{{"TPE1", TextBody(0, "Lead")},  {"TPE2", TextBody(0, "Band")},
                                 {"TIT2", TextBody(1, "Tïtle")}, {"TALB", TextBody(0, "Disc")},
                                 {"TCON", TextBody(0, "(17)")},  {"TYER", TextBody(0, "2004")},
                                 {"TRCK", TextBody(0, "3/12")}}
        << false << QStringList{"Song", "Lead", "Tïtle", "Disc", "(17)", "2004", "3/12"};
    QTest::newRow("artist falls back to TPE2, value cut at zero")
        << "a.b.MP3"
        << QList<fixture::Frame>{{"TPE1", QByteArray("\x00\x00", 2)},
                                 {"TPE2", TextBody(0, QString("Band") + QChar(0) + "More")}}
        << false << QStringList{"a.b", "Band", "", "", "", "", ""};
    QTest::newRow("ID3v1 values") << "noext" << QList<fixture::Frame>{} << true
                                  << QStringList{"noext", "V1 Artist", "V1 Title", "",
                                                 "Rock",  "1990",      "9"};
}

void TestSelectionRead::inputs() {
    QFETCH(QString, name);
    QFETCH(QList<fixture::Frame>, frames);
    QFETCH(bool, withV1);
    QFETCH(QStringList, expected);
    QTemporaryDir dir;
    fixture::Tag tag;
    tag.frames = frames;
    fixture::V1 v1{"V1 Title", "V1 Artist", "", "1990", "", 9, 17};
    const QString path = dir.filePath(name);
    QVERIFY(fixture::WriteFile(path, fixture::BuildFile(&tag, 2, withV1 ? &v1 : nullptr)));
    TagInfo info;
    const SelectionRead read = ReadSelection(info, path);
    QCOMPARE(read.result, 0);
    QVERIFY(read.ok);
    QCOMPARE(read.inputs[FieldLocation], dir.path());
    QStringList got;
    for (int f = FieldFilename; f < FieldCount; ++f)
        got << read.inputs[f];
    QCOMPARE(got, expected);
}

void TestSelectionRead::failedReadGivesNothing() {
    QTemporaryDir dir;
    TagInfo info;
    const SelectionRead missing = ReadSelection(info, dir.filePath("none.mp3"));
    QVERIFY(missing.result < 0);
    QVERIFY(!missing.ok);
    for (const QString& v : missing.inputs)
        QVERIFY(v.isEmpty());
    // A relative path without "/" is read but gives no values.
    const QString old = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    QVERIFY(fixture::WriteFile("plain.mp3", fixture::SilentAudio(1)));
    const SelectionRead relative = ReadSelection(info, "plain.mp3");
    QDir::setCurrent(old);
    QCOMPARE(relative.result, 1);
    QVERIFY(!relative.ok);
    QVERIFY(relative.inputs[FieldFilename].isEmpty());
}

QTEST_GUILESS_MAIN(TestSelectionRead)
#include "test_selection_read.moc"
