// Files that fuzzing found mishandled: each must read with the stated result,
// and a write afterwards must either leave the file alone or keep every byte
// after the tag.
#include "fixtures.h"

#include "tags/diagnostics.h"
#include "tags/taginfo.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

Q_DECLARE_METATYPE(QList<fixture::Frame>)

namespace {

// A version 2.4 tag with a footer, its size field as the tag is written.
QByteArray FooterTag() {
    fixture::Tag tag;
    tag.version = 4;
    tag.footer = true;
    tag.frames = {{"TIT2", fixture::TextBody(0, "Escape")}};
    tag.padding = 20;
    return fixture::BuildTag(tag);
}

} // namespace

class TestTagFuzzFindings : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        SetTagDiagnosticStream(devNull);
    }
    void cleanupTestCase() { SetTagDiagnosticStream(nullptr); }
    void readThenWrite_data();
    void readThenWrite();
    void writtenFramesReadBack_data();
    void writtenFramesReadBack();
    void setFramesWin_data();
    void setFramesWin();
    void sizeFormChoice_data();
    void sizeFormChoice();
    void seedsRoundTrip_data();
    void seedsRoundTrip();

private:
    QTemporaryDir dir;
    std::FILE* devNull = std::fopen("/dev/null", "w");
};

void TestTagFuzzFindings::readThenWrite_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("result");

    const QByteArray tag = FooterTag();
    QTest::newRow("footer inside the file") << tag + fixture::SilentAudio(1) << S_OK_RESULT;
    QTest::newRow("footer ends at the file's end") << tag << S_OK_RESULT;
    // The frames fit the file but the footer would reach past its end: the
    // last bytes of the file are audio, not a footer.
    QTest::newRow("footer beyond the end, audio where it should be")
        << tag.left(tag.size() - 10) + QByteArray("\xFF\xFB\x90\xC4\x00\x00", 6) << E_FAIL_RESULT;
    QTest::newRow("footer one byte short") << tag.left(tag.size() - 1) << E_FAIL_RESULT;
    // The flag is set but the frames and padding are followed by audio: its
    // first bytes are not a footer to pad over.
    QTest::newRow("footer flag, audio in the footer's place")
        << tag.left(tag.size() - 10) + fixture::SilentAudio(1) << E_FAIL_RESULT;
}

void TestTagFuzzFindings::readThenWrite() {
    QFETCH(QByteArray, file);
    QFETCH(int, result);
    const QString path = dir.filePath(QString(QTest::currentDataTag()) + ".mp3");
    QVERIFY(fixture::WriteFile(path, file));

    TagInfo tag;
    QCOMPARE(tag.Read(path), result);
    QVERIFY(tag.regionSize <= file.size());
    const qint64 oldRegion = tag.regionSize;
    tag.SetFrameWide("TIT2", QStringLiteral("A title longer than the padding of the tag holds"),
                     -1);
    const int written = tag.Write();
    const QByteArray after = fixture::ReadFile(path);
    if (result < 0) {
        QCOMPARE(written, -1);
        QCOMPARE(after, file);
    } else {
        QCOMPARE(written, 0);
        QCOMPARE(after.mid(tag.regionSize), file.mid(oldRegion));
    }
}

// Frames converted for a version 3 tag read back as the record held them.
void TestTagFuzzFindings::writtenFramesReadBack_data() {
    QTest::addColumn<QList<fixture::Frame>>("frames");

    QTest::newRow("TXXX in UTF-8")
        << QList<fixture::Frame>{{"TXXX", fixture::UserTextBody(3, "mood", "calm")}};
    QTest::newRow("WXXX in UTF-16BE")
        << QList<fixture::Frame>{{"WXXX", QByteArray("\x02\x00m\x00\x00http://x", 13)}};
    QTest::newRow("APIC with a UTF-8 description") << QList<fixture::Frame>{
        {"APIC", fixture::PictureBody(3, "image/png", 3, "fr\u00f6nt", fixture::ImageData(40))}};
    // The group byte 3 must not be taken for the UTF-8 encoding byte.
    QTest::newRow("grouped TPE1") << QList<fixture::Frame>{
        {"TPE1", "\x03" + fixture::TextBody(3, "Zo\u00eb"), 0x0040}};
    // Encrypted, with a data length indicator, but too short to hold one.
    QTest::newRow("short encrypted APIC")
        << QList<fixture::Frame>{{"APIC", QByteArray("\x00OMM", 4), 0x0005}};
    QTest::newRow("USLT in UTF-8")
        << QList<fixture::Frame>{{"USLT", fixture::CommentBody(3, "deu", "", "Gr\u00fc\u00dfe")}};
    // Joined into one IPLS: its text is what reading that frame gives.
    QTest::newRow("TMCL and TIPL, one role without a person, in UTF-16")
        << QList<fixture::Frame>{{"TMCL", fixture::TextValuesBody(1, {"Escape Ar\u0174ist"})},
                                 {"TIPL", fixture::TextValuesBody(1, {"Into the Trees"})}};
    QTest::newRow("TIPL and TMCL in Latin-1")
        << QList<fixture::Frame>{{"TIPL", fixture::TextValuesBody(0, {"mix", "Bo"})},
                                 {"TMCL", fixture::TextValuesBody(0, {"oboe", "Cy"})}};
}

void TestTagFuzzFindings::writtenFramesReadBack() {
    QFETCH(QList<fixture::Frame>, frames);
    fixture::Tag tag;
    tag.version = 4;
    tag.frames = frames;
    const QString path = dir.filePath(QString(QTest::currentDataTag()) + ".mp3");
    QVERIFY(fixture::WriteFile(path, fixture::BuildFile(&tag)));

    TagInfo first;
    QCOMPARE(first.Read(path), S_OK_RESULT);
    QCOMPARE(first.Write(), 0);
    TagInfo second;
    QCOMPARE(second.Read(path), S_OK_RESULT);
    QCOMPARE(second.frames.size(), first.frames.size());
    for (auto a = first.frames.begin(), b = second.frames.begin(); a != first.frames.end();
         ++a, ++b) {
        QCOMPARE(QByteArray(b->id), QByteArray(a->id));
        // A frame written from its text reads back with the bytes written.
        if (a->hasRaw)
            QCOMPARE(b->raw, a->raw);
        QCOMPARE(b->text, a->text);
        QCOMPARE(b->flags, a->flags);
    }
}

// A frame set before a write is the one a later read finds, whatever the
// tag held after a frame that could not be read.
void TestTagFuzzFindings::setFramesWin_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("remainder");

    // A size that is plain, not synchsafe, then bytes no frame starts with:
    // version 2.4 cannot read it, version 3 reads a TPE1 frame.
    const QByteArray plainFrame =
        QByteArray("TPE1\x00\x00\x00\xD3\x00\x00", 10) + fixture::TextBody(0, QString(210, 'j'));
    QTest::newRow("2.4 remainder that version 3 reads") << 4 << plainFrame + "zz!";
    QTest::newRow("2.3 remainder") << 3 << QByteArray("TPE1\x00\x00\x00\x40\x00\x00zz", 12);
}

void TestTagFuzzFindings::setFramesWin() {
    QFETCH(int, version);
    QFETCH(QByteArray, remainder);
    fixture::Tag shape;
    shape.version = version;
    shape.frames = {{"TIT2", fixture::TextBody(0, "Title")}};
    QByteArray tag = fixture::BuildTag(shape) + remainder;
    const int size = int(tag.size() - 10);
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = char(size >> (21 - 7 * i) & 0x7F);
    const QString path = dir.filePath(QString(QTest::currentDataTag()) + ".mp3");
    QVERIFY(fixture::WriteFile(path, tag + fixture::SilentAudio(2)));

    TagInfo first;
    QCOMPARE(first.Read(path), S_OK_RESULT);
    first.SetFrameWide("TPE1", QStringLiteral("Mine"), -1);
    QCOMPARE(first.Write(), 0);
    TagInfo second;
    QCOMPARE(second.Read(path), S_OK_RESULT);
    QCOMPARE(second.FindFrame("TPE1", nullptr), QStringLiteral("Mine"));
    QCOMPARE(second.FindFrame("TIT2", nullptr), QStringLiteral("Title"));
}

// Version 3 frame sizes are plain unless only synchsafe sizes line the frames
// up; a 0 byte that a wrong size lands on inside a frame is no padding.
void TestTagFuzzFindings::sizeFormChoice_data() {
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QStringList>("ids");

    // 318 bytes: read as synchsafe, 190, where the body holds a 0 byte.
    QByteArray picture(318, 'a');
    picture[0] = '\0';
    picture[190] = '\0';
    const QByteArray apic = QByteArray("APIC\x00\x00\x01\x3E\x00\x00", 10) + picture;
    const QByteArray title = QByteArray("TIT2\x00\x00\x00\x03\x00\x00\x00Hi", 13);
    QTest::newRow("plain sizes, unreadable bytes after the frames")
        << apic + title + "zz!" << QStringList{"APIC", "TIT2"};
    QTest::newRow("plain sizes, padding") << apic + title << QStringList{"APIC", "TIT2"};
    QTest::newRow("synchsafe sizes that only line up as such")
        << QByteArray("TIT2\x00\x00\x01\x00\x00\x00", 10) + QByteArray(1, '\0') +
               QByteArray(127, 'x') + title
        << QStringList{"TIT2"};
}

void TestTagFuzzFindings::sizeFormChoice() {
    QFETCH(QByteArray, frames);
    QFETCH(QStringList, ids);
    QByteArray tag =
        QByteArray("ID3\x03\x00\x00\x00\x00\x00\x00", 10) + frames + QByteArray(16, '\0');
    const int size = int(tag.size() - 10);
    for (int i = 0; i < 4; ++i)
        tag[6 + i] = char(size >> (21 - 7 * i) & 0x7F);
    const QString path = dir.filePath(QString(QTest::currentDataTag()) + ".mp3");
    QVERIFY(fixture::WriteFile(path, tag + fixture::SilentAudio(1)));

    TagInfo read;
    QCOMPARE(read.Read(path), S_OK_RESULT);
    QStringList got;
    for (const FrameInfo& f : read.frames) {
        if (!f.IsPseudoFrame())
            got << QString::fromLatin1(f.id);
    }
    QCOMPARE(got, ids);
    if (ids.contains("APIC"))
        QCOMPARE(read.FindFrame("APIC")->raw.size(), 318);
}

// The files in fuzz/seeds (among them the inputs of past findings), read,
// changed in each of the ways the round-trip fuzzer changes them, written
// and read again: a successful write gives back the frames it was given and
// keeps the audio; a failed one leaves the file alone.
void TestTagFuzzFindings::seedsRoundTrip_data() {
    QTest::addColumn<QString>("seed");
    const QDir seeds(QStringLiteral(QUORVEL_SOURCE_DIR "/fuzz/seeds/tag"));
    const QStringList names = seeds.entryList({"*.mp3"}, QDir::Files);
    QVERIFY(names.size() >= 5);
    for (const QString& name : names)
        QTest::newRow(qPrintable(name)) << seeds.filePath(name);
}

void TestTagFuzzFindings::seedsRoundTrip() {
    QFETCH(QString, seed);
    const QByteArray original = fixture::ReadFile(seed);
    QVERIFY(!original.isEmpty());
    for (int changes = 0; changes < 8; ++changes) {
        const QString path = dir.filePath(QStringLiteral("seed.mp3"));
        QVERIFY(fixture::WriteFile(path, original));
        TagInfo tag;
        const int read = tag.Read(path);
        if (changes & 1)
            tag.Clear();
        if (changes & 2)
            tag.SetFrameWide("TIT2", QString(700, QLatin1Char('x')), -1);
        if (changes & 4)
            tag.SetFrameWide("TPE1", QStringLiteral(u"Zo\u00eb \u041a\u0438\u043d\u043e"), -1);
        const qint64 oldRegion = tag.regionSize;
        std::list<FrameInfo> written;
        for (const FrameInfo& f : tag.frames) {
            if (!f.IsPseudoFrame() && (f.hasRaw || !f.text.isEmpty()))
                written.push_back(f);
        }
        if (tag.Write() != 0) {
            QCOMPARE(fixture::ReadFile(path), original);
            continue;
        }
        QVERIFY(read >= 0);
        QCOMPARE(fixture::ReadFile(path).mid(tag.regionSize), original.mid(oldRegion));

        TagInfo again;
        QCOMPARE(again.Read(path), S_OK_RESULT);
        TagInfo expected;
        if (again.hasV1) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::ReadOnly));
            expected.ReadV1(file);
        }
        for (const FrameInfo& f : written)
            expected.AddFrame(f);
        QStringList want, got;
        for (const FrameInfo& f : expected.frames)
            want << QString::fromLatin1(f.id) + "=" + f.text;
        for (const FrameInfo& f : again.frames) {
            if (!f.IsPseudoFrame() && (f.hasRaw || !f.text.isEmpty()))
                got << QString::fromLatin1(f.id) + "=" + f.text;
        }
        QCOMPARE(got, want);
    }
}

QTEST_GUILESS_MAIN(TestTagFuzzFindings)
#include "test_tag_fuzz_findings.moc"
