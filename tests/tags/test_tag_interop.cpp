#include "fixtures.h"
#include "peers.h"

#include "tags/selectionread.h"
#include "tags/tagregion.h"

#include <QJsonArray>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

Q_DECLARE_METATYPE(fixture::Tag)

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
    void quirksKeepFrames_data();
    void quirksKeepFrames();
    void peopleAndChaptersInV23();

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

void TestTagInterop::quirksKeepFrames_data() {
    QTest::addColumn<QString>("madeBy"); // a quirk of mutagen_peer.py, or "" for tag
    QTest::addColumn<fixture::Tag>("tag");
    QTest::addColumn<QString>("key"); // an Input field whose value is checked
    QTest::addColumn<QString>("value");

    using fixture::CommentBody;
    using fixture::TextBody;
    const fixture::Tag none;
    QTest::newRow("itunesCommentsSharingFirstLetter, by mutagen")
        << "itunes-comments" << none << "Title"
        << "Old Title";
    QTest::newRow("v24MultiValueGenre, by mutagen") << "multi-values" << none << "Genre"
                                                    << "Rock/Pop";
    fixture::Tag zeroLanguage;
    zeroLanguage.frames = {{"TIT2", TextBody(0, "Old Title")},
                           {"COMM", CommentBody(0, QByteArray(3, '\0'), "", "zero language")},
                           {"COMM", CommentBody(1, "eng", "", QString::fromUtf8("ünder eng"))}};
    QTest::newRow("zeroLanguageComment") << "" << zeroLanguage << "Title"
                                         << "Old Title";
    // Read as the frame it names, or the new title would be written beside
    // the old one, which other readers show.
    fixture::Tag v22Name;
    v22Name.frames = {{"TPE1", TextBody(0, "Act")},
                      {QByteArray("TT2\0", 4), TextBody(0, "Old Title")},
                      {"TPE2", TextBody(0, "Various")}};
    QTest::newRow("v2.2 name in a v2.3 tag") << "" << v22Name << "Title"
                                             << "Old Title";
    for (int version : {3, 4}) {
        fixture::Tag compressed;
        compressed.version = version;
        compressed.padding = 32;
        compressed.frames = {
            fixture::CompressedFrame(version, "TIT2", TextBody(1, QString::fromUtf8("Zïpped"))),
            fixture::CompressedFrame(version, "TALB", TextBody(0, "Zipped Album")),
            fixture::CompressedFrame(version, "COMM", CommentBody(0, "eng", "", "zipped note")),
            fixture::CompressedFrame(version, "TPE1", TextBody(1, QString::fromUtf8("Zïp")))};
        QTest::addRow("compressedTitleFrame v2.%d", version)
            << "" << compressed << "Title" << QString::fromUtf8("Zïpped");
    }
}

// A file as other programs make it, read and written with a new title as
// Apply does: every other frame reads the same in mutagen (several version
// 2.4 values become one text joined by "/", as version 2.3 holds them), and
// the audio stays byte for byte.
void TestTagInterop::quirksKeepFrames() {
    QFETCH(QString, madeBy);
    QFETCH(fixture::Tag, tag);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QString path = dir.filePath(QString(QTest::currentDataTag()) + ".mp3");
    const QByteArray audio = fixture::SilentAudio(20);
    if (madeBy.isEmpty()) {
        QVERIFY(fixture::WriteFile(path, fixture::BuildFile(&tag, 20)));
    } else {
        QVERIFY(fixture::WriteFile(path, audio));
        QVERIFY(peers::MutagenQuirk(path, madeBy));
    }
    const QJsonObject before = peers::MutagenDump(path);
    QVERIFY(before.contains("TIT2"));

    TagInfo info;
    const SelectionRead read = ReadSelection(info, path);
    QVERIFY(read.ok);
    for (int f = 0; f < FieldCount; ++f) {
        if (fieldKey(f) == key)
            QCOMPARE(read.inputs[f], value);
    }
    info.SetFrameWide("TIT2", QString::fromUtf8("Néw Title"), -1);
    QCOMPARE(info.Write(), 0);

    const QJsonObject after = peers::MutagenDump(path);
    QCOMPARE(after["TIT2"].toArray(), QJsonArray{QString::fromUtf8("Néw Title")});
    QCOMPARE(after.keys(), before.keys());
    for (const QString& k : before.keys()) {
        if (k == "TIT2" || k == "version")
            continue;
        QJsonArray expected = before[k].toArray();
        if (before["version"].toInt() == 4 && expected.size() > 1) {
            QStringList joined;
            for (const QJsonValue& v : expected)
                joined << v.toString();
            expected = QJsonArray{joined.join('/')};
        }
        QCOMPARE(after[k].toArray(), expected);
    }
    const QByteArray bytes = fixture::ReadFile(path);
    QCOMPARE(bytes.mid(Id3v2RegionSize(path)), audio);
}

// Version 2.4 people lists and chapters, written as version 2.3: mutagen
// reads the pairs of TIPL and TMCL from the one IPLS frame (as TIPL), and
// mutagen and ffprobe read each chapter's own frames.
void TestTagInterop::peopleAndChaptersInV23() {
    const QString path = dir.filePath("people-and-chapters.mp3");
    QVERIFY(fixture::WriteFile(path, fixture::SilentAudio(40)));
    QVERIFY(peers::MutagenQuirk(path, "people-and-chapters"));
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    info.SetFrameWide("TIT2", "New Title", -1);
    QCOMPARE(info.Write(), 0);

    const QJsonObject after = peers::MutagenDump(path);
    QCOMPARE(after["version"].toInt(), 3);
    const QJsonArray people{"producer=Bob", "engineer=Ann", QString::fromUtf8("guitar=Çarl"),
                            "drums=Dee"};
    QCOMPARE(after["TIPL"].toArray(), people);
    QVERIFY(!after.contains("TMCL"));
    const QString chapter = QString::fromUtf8("Chäpter ") + QString(200, 'x');
    QCOMPARE(after["CHAP:ch0"].toArray(), QJsonArray{"TIT2=" + chapter});
    QCOMPARE(after["CTOC:toc"].toArray(), QJsonArray{QString::fromUtf8("TIT2=Cöntents")});
    const peers::Run probe = peers::Execute(
        "ffprobe", {"-v", "error", "-show_entries", "chapter_tags=title", "-of", "csv=p=0", path});
    QCOMPARE(QString::fromUtf8(probe.out.trimmed()), chapter);
}

QTEST_GUILESS_MAIN(TestTagInterop)
#include "test_tag_interop.moc"
