#include "fixtures.h"
#include "peers.h"

#include "tags/selectionread.h"
#include "tags/tagregion.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

// Files tagged by mutagen are read with the right values; files written by
// our writer read back in mutagen with the same values, untouched frames
// byte-identical, the audio identical and decodable.
class TestTagInterop : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void fixturesDecode_data();
    void fixturesDecode();

private:
    QTemporaryDir dir;
};

void TestTagInterop::initTestCase() {
    QVERIFY(dir.isValid());
    const peers::Run probe =
        peers::Execute("/usr/bin/python3", {"-c", "import mutagen; print(mutagen.version_string)"});
    QVERIFY2(probe.status == 0, "python3-mutagen is needed (scripts/install-deps)");
}

void TestTagInterop::roundTrip_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("encoding");
    QTest::addColumn<bool>("clearOthers");
    for (int version : {3, 4}) {
        for (int encoding = 0; encoding < 4; ++encoding) {
            QTest::addRow("v2.%d encoding %d", version, encoding) << version << encoding << false;
        }
    }
    QTest::newRow("v2.4 utf-8, others cleared") << 4 << 3 << true;
}

void TestTagInterop::roundTrip() {
    QFETCH(int, version);
    QFETCH(int, encoding);
    QFETCH(bool, clearOthers);
    const QString path =
        dir.filePath(QString("m%1-%2-%3.mp3").arg(version).arg(encoding).arg(clearOthers));
    const QByteArray audio = fixture::SilentAudio(50);
    QVERIFY(fixture::WriteFile(path, audio));
    QVERIFY(peers::MutagenTag(path, version, encoding, 100 * 1024));
    const QJsonObject before = peers::MutagenDump(path);
    QCOMPARE(before["version"].toInt(), version);

    // Read what mutagen wrote.
    TagInfo tag;
    const SelectionRead read = ReadSelection(tag, path);
    QCOMPARE(read.result, 0);
    QVERIFY(read.ok);
    const QString title =
        encoding ? QString::fromUtf8("Título Ωne") : QString::fromUtf8("Título One");
    QCOMPARE(read.inputs[FieldTitle], title);
    QCOMPARE(read.inputs[FieldArtist], QString::fromUtf8("Ärtist"));
    QCOMPARE(read.inputs[FieldAlbum], QString::fromUtf8("Albüm"));
    QCOMPARE(read.inputs[FieldGenre], QString("Jazz"));
    QCOMPARE(read.inputs[FieldYear], QString("2003"));
    QCOMPARE(read.inputs[FieldTrack], QString("4/9"));
    const FrameInfo* picture = tag.FindFrame("APIC");
    QVERIFY(picture && picture->hasRaw);
    QVERIFY(picture->raw.size() > 100 * 1024);
    QVERIFY(picture->raw.contains("\x89PNG\r\n"));
    QVERIFY(tag.FindFrame("COMM", nullptr)
                .startsWith(QString("eng") + QChar(0) + QString::fromUtf8("a cömment")));
    QVERIFY(tag.FindFrame("USLT") && tag.FindFrame("TXXX"));
    QByteArray untouchedBefore;
    for (const char* id : {"APIC", "COMM", "USLT", "TXXX"})
        untouchedBefore += tag.FindFrame(id)->raw;
    const qint64 regionBefore = Id3v2RegionSize(path);

    // Write as Apply does.
    if (clearOthers)
        tag.Clear();
    const QString artist = QString::fromUtf8("Ünïcode Ω");
    const QList<std::pair<const char*, QString>> values{
        {"TPE1", artist},  {"TPE2", artist}, {"TIT2", "New Title"}, {"TALB", "New Album"},
        {"TCON", "Blues"}, {"TYER", "2010"}, {"TRCK", "05"}};
    for (const auto& [id, value] : values)
        tag.SetFrameWide(id, value, -1);
    QCOMPARE(tag.Write(), 0);

    const QJsonObject after = peers::MutagenDump(path);
    QCOMPARE(after["version"].toInt(), 3);
    QCOMPARE(after["TPE1"].toArray(), QJsonArray{artist});
    QCOMPARE(after["TPE2"].toArray(), QJsonArray{artist});
    QCOMPARE(after["TIT2"].toArray(), QJsonArray{"New Title"});
    QCOMPARE(after["TALB"].toArray(), QJsonArray{"New Album"});
    QCOMPARE(after["TCON"].toArray(), QJsonArray{"Blues"});
    QCOMPARE(after["TDRC"].toArray(), QJsonArray{"2010"});
    QCOMPARE(after["TRCK"].toArray(), QJsonArray{"05"});
    for (const char* key : {"APIC:", "COMM::eng", "USLT::eng", "TXXX:MOOD"})
        QCOMPARE(after.contains(key), !clearOthers);
    if (!clearOthers) {
        for (const char* key : {"APIC:", "COMM::eng", "USLT::eng", "TXXX:MOOD"})
            QCOMPARE(after[key], before[key]);
    }

    const QByteArray bytes = fixture::ReadFile(path);
    QCOMPARE(bytes.mid(Id3v2RegionSize(path)), audio);
    QVERIFY(regionBefore > 0);
    QByteArray errors;
    QVERIFY2(peers::AudioDecodesCleanly(path, &errors), errors.constData());

    // Frames nobody changed are written back byte for byte where a version
    // 3 tag can hold them as they were.
    TagInfo back;
    QCOMPARE(back.Read(path), 0);
    if (!clearOthers && encoding < 2) {
        QByteArray untouchedAfter;
        for (const char* id : {"APIC", "COMM", "USLT", "TXXX"})
            untouchedAfter += back.FindFrame(id)->raw;
        QCOMPARE(untouchedAfter, untouchedBefore);
    }
}

void TestTagInterop::fixturesDecode_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("unsync");
    QTest::newRow("v2.2") << 2 << false;
    QTest::newRow("v2.3 unsynchronised") << 3 << true;
    QTest::newRow("v2.4 unsynchronised") << 4 << true;
}

// The fixture builder's files are real MP3 files to the peers too.
void TestTagInterop::fixturesDecode() {
    QFETCH(int, version);
    QFETCH(bool, unsync);
    fixture::Tag tag;
    tag.version = version;
    tag.unsync = unsync;
    tag.padding = 64;
    tag.frames = {{version == 2 ? "TT2" : "TIT2", fixture::TextBody(1, QString::fromUtf8("Fïx"))},
                  {version == 2 ? "TP1" : "TPE1", fixture::TextBody(0, "Peer")}};
    const fixture::V1 v1{"V1", "A", "B", "1999", "", 1, 3};
    const QString path = dir.filePath(QString("fixture-%1.mp3").arg(version));
    QVERIFY(fixture::WriteFile(path, fixture::BuildFile(&tag, 20, &v1)));
    const QJsonObject seen = peers::MutagenDump(path);
    QCOMPARE(seen["TIT2"].toArray(), QJsonArray{QString::fromUtf8("Fïx")});
    QCOMPARE(seen["TPE1"].toArray(), QJsonArray{"Peer"});
    QByteArray errors;
    QVERIFY2(peers::AudioDecodesCleanly(path, &errors), errors.constData());
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    QCOMPARE(info.FindFrame("TIT2", nullptr), QString::fromUtf8("Fïx"));
}

QTEST_GUILESS_MAIN(TestTagInterop)
#include "test_tag_interop.moc"
