#include "fixtures.h"

#include "tags/audioprobe.h"
#include "tags/selectionread.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using fixture::TextBody;

class TestSelectionRead : public QObject {
    Q_OBJECT
private slots:
    void inputs_data();
    void inputs();
    void failedReadGivesNothing();
    void judgesContent_data();
    void judgesContent();
    void fifoDoesNotBlock();
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

void TestSelectionRead::judgesContent_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("failure"); // empty: read as MP3

    fixture::Tag tag;
    tag.frames = {{"TIT2", TextBody(0, "Song")}};
    const QByteArray id3 = fixture::BuildTag(tag);
    const fixture::V1 v1{"T", "A", "", "", "", 1, 0};
    const QByteArray frame = fixture::SilentAudio(1);
    QTest::newRow("tag and audio") << id3 + fixture::SilentAudio(3) << "";
    QTest::newRow("audio alone") << fixture::SilentAudio(2) << "";
    QTest::newRow("one frame, then ID3v1") << id3 + frame + fixture::BuildV1(v1) << "";
    QTest::newRow("zeros after the tag") << id3 + QByteArray(3000, '\0') + frame + frame << "";
    fixture::Tag coverTag;
    coverTag.frames = {
        {"APIC", fixture::PictureBody(0, "image/png", 3, "", fixture::ImageData(100000))}};
    QTest::newRow("100 KB cover") << fixture::BuildFile(&coverTag, 2) << "";
    // A tagger put a new tag in front of the old one: the audio follows both.
    QTest::newRow("second tag with a cover") << id3 + fixture::BuildFile(&coverTag, 2) << "";
    // The third begins beyond what the first read holds.
    QTest::newRow("second and third tag with covers")
        << id3 + fixture::BuildTag(coverTag) + fixture::BuildFile(&coverTag, 2) << "";
    QTest::newRow("second tag, then FLAC")
        << id3 + id3 + QByteArray("fLaC\0\0\0\x22") + QByteArray(600, 'x')
        << "not MPEG audio (FLAC audio)";
    QTest::newRow("second tag, no audio") << id3 + id3 << "not MPEG audio (no audio after the tag)";
    QTest::newRow("flacNamedMp3") << id3 + QByteArray("fLaC\0\0\0\x22") + QByteArray(600, 'x')
                                  << "not MPEG audio (FLAC audio)";
    QTest::newRow("pngNamedMp3") << QByteArray("\x89PNG\r\n\x1A\n") + fixture::ImageData(900)
                                 << "not MPEG audio (a PNG image)";
    QTest::newRow("ogg") << QByteArray("OggS") + QByteArray(500, '\1')
                         << "not MPEG audio (Ogg audio)";
    QTest::newRow("m4a") << QByteArray("\0\0\0\x20"
                                       "ftypM4A ",
                                       12) +
                                QByteArray(500, '\1')
                         << "not MPEG audio (MP4 audio or video)";
    QTest::newRow("wav") << QByteArray("RIFF\x24\0\0\0WAVEfmt ") + QByteArray(500, '\0')
                         << "not MPEG audio (a RIFF file (WAV))";
    QTest::newRow("jpegNamedMp3") << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 10) +
                                         fixture::ImageData(900)
                                  << "not MPEG audio (a JPEG image)";
    QTest::newRow("aiff") << QByteArray("FORM\0\0\x10\0AIFFCOMM", 16) + QByteArray(500, '\0')
                          << "not MPEG audio (an IFF file (AIFF))";
    QTest::newRow("zip") << QByteArray("PK\x03\x04") + QByteArray(500, '\1')
                         << "not MPEG audio (a ZIP archive)";
    QTest::newRow("tag without audio") << id3 << "not MPEG audio (no audio after the tag)";
    QTest::newRow("tag and ID3v1 only")
        << id3 + fixture::BuildV1(v1) << "not MPEG audio (no audio after the tag)";
    // Too short for a tag header: the read is refused, and says why.
    QTest::newRow("empty file") << QByteArray() << "not MPEG audio (empty file)";
    QTest::newRow("shorter than a tag header")
        << QByteArray("ID3\3", 4) << "not MPEG audio (4 bytes in all)";
    QTest::newRow("text") << QByteArray("just some words\n").repeated(40)
                          << "not MPEG audio (no MPEG audio frame after the tag)";
    // A lone frame header with nothing valid where the next should be.
    QTest::newRow("chance frame sync") << frame.left(4) + QByteArray(2000, '\x55')
                                       << "not MPEG audio (no MPEG audio frame after the tag)";
    QTest::newRow("frame cut short")
        << frame.left(200) << "not MPEG audio (no MPEG audio frame after the tag)";
}

void TestSelectionRead::judgesContent() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, failure);
    QTemporaryDir dir;
    const QString path = dir.filePath("file.mp3");
    QVERIFY(fixture::WriteFile(path, bytes));
    TagInfo info;
    const SelectionRead read = ReadSelection(info, path);
    QCOMPARE(read.failure, failure);
    QCOMPARE(read.ok, failure.isEmpty());
    // The tags themselves were read, where the file can hold any.
    QCOMPARE(read.result >= 0, bytes.size() >= ShortestTaggableFile);
    // The probe that judges files before they are listed agrees.
    const AudioContent probed = ProbeAudioFile(path);
    QCOMPARE(probed.mpeg, failure.isEmpty());
    QCOMPARE(read.ok ? QString() : "not MPEG audio (" + probed.kind + ")", failure);
}

void TestSelectionRead::fifoDoesNotBlock() {
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.mp3");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    TagInfo info;
    const SelectionRead read = ReadSelection(info, fifo);
    QVERIFY(read.result < 0);
    QCOMPARE(read.failure, QStringLiteral("not a regular file"));
    QVERIFY(info.path.isEmpty());
    QCOMPARE(ProbeAudioFile(fifo).kind, QStringLiteral("not a regular file"));
    const SelectionRead folder = ReadSelection(info, dir.path());
    QCOMPARE(folder.failure, QStringLiteral("not a regular file"));
}

QTEST_GUILESS_MAIN(TestSelectionRead)
#include "test_selection_read.moc"
