#include "fixtures.h"
#include "tagtestutil.h"

#include "tags/synchsafe.h"
#include "tags/taginfo.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <unistd.h>

using fixture::Frame;
using fixture::TextBody;

Q_DECLARE_METATYPE(fixture::Tag)

namespace {

fixture::Tag MakeTag(int version, QList<Frame> frames, int padding = 0) {
    fixture::Tag tag;
    tag.version = version;
    tag.frames = std::move(frames);
    tag.padding = padding;
    return tag;
}

fixture::V1 MakeV1() {
    return fixture::V1{"Song", "Band", "Disc", "1999", "hi", 7, 0};
}

QByteArray WithV1(const fixture::Tag* tag, const fixture::V1& v1) {
    return fixture::BuildFile(tag, 4, &v1);
}

} // namespace

class TestTagReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { QVERIFY(dir.isValid()); }
    void reads_data();
    void reads();
    void unreadablePaths();
    void pathAndPseudoFrame();
    void keepsRawBodies();
    void keepsBytesAfterBrokenFrame();
    void inflatedContentIsBounded();
    void truncatedAnywhere_data();
    void truncatedAnywhere();

private:
    QTemporaryDir dir;
    int fileNo = 0;
    QString WriteBytes(const QByteArray& bytes) {
        const QString path = dir.filePath(QString("f%1.mp3").arg(++fileNo));
        if (!fixture::WriteFile(path, bytes))
            qFatal("cannot write fixture");
        return path;
    }
};

void TestTagReader::reads_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("result");
    QTest::addColumn<bool>("hasV1");
    QTest::addColumn<int>("tagSize");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QByteArray>("diagnostic");

    const QStringList v1Frames{"TIT2=Song",   "TPE2=Band",  "TALB=Disc", "TYER=1999",
                               "COMM=eng|hi", "TCON=Blues", "TRCK=7"};
    const QByteArray noLine;
    QTest::newRow("no tag at all")
        << fixture::SilentAudio(3) << 1 << false << 0 << QStringList{} << noLine;
    QTest::newRow("zero-length file")
        << QByteArray() << E_FAIL_RESULT << false << 0 << QStringList{} << noLine;
    QTest::newRow("shorter than 10")
        << QByteArray("ID3\x03", 4) << E_FAIL_RESULT << false << 0 << QStringList{} << noLine;
    QTest::newRow("shorter than 128")
        << QByteArray(100, 'x') << 1 << false << 0 << QStringList{} << noLine;
    QTest::newRow("v1 only") << WithV1(nullptr, MakeV1()) << 1 << true << 0 << v1Frames << noLine;
    {
        fixture::V1 v1 = MakeV1();
        v1.title = QByteArray(30, '\0');
        v1.genre = 125;
        v1.track = 0;
        v1.comment.clear();
        QTest::newRow("v1 empty title and comment, genre 125, track 0")
            << WithV1(nullptr, v1) << 1 << true << 0
            << QStringList{"TPE2=Band", "TALB=Disc", "TYER=1999", "TCON=Dance Hall"} << noLine;
        v1.comment = "short";
        v1.track = -1;
        QTest::newRow("v10ShortComment gives no track")
            << WithV1(nullptr, v1) << 1 << true << 0
            << QStringList{"TPE2=Band", "TALB=Disc", "TYER=1999", "COMM=eng|short",
                           "TCON=Dance Hall"}
            << noLine;
    }
    {
        fixture::V1 v1 = MakeV1();
        v1.title = "Song  " + QByteArray(24, ' ');
        v1.artist = QByteArray("Ab\0junk", 7);
        v1.genre = 255;
        v1.track = 200;
        QTest::newRow("v1 blanks kept, bytes after NUL dropped, genre 255")
            << WithV1(nullptr, v1) << 1 << true << 0 << QStringList{"TIT2=Song" + QString(26, ' '),
                                                                    "TPE2=Ab",
                                                                    "TALB=Disc",
                                                                    "TYER=1999",
                                                                    "COMM=eng|hi",
                                                                    "TRCK=200"}
            << noLine;
    }
    {
        fixture::V1 v1 = MakeV1();
        v1.track = -1;
        v1.comment = QByteArray(30, 'c');
        QTest::newRow("v1.0 comment is 30 bytes, no track")
            << WithV1(nullptr, v1) << 1 << true << 0 << QStringList{"TIT2=Song",
                                                                    "TPE2=Band",
                                                                    "TALB=Disc",
                                                                    "TYER=1999",
                                                                    "COMM=eng|" + QString(30, 'c'),
                                                                    "TCON=Blues"}
            << noLine;
    }
    {
        const fixture::Tag tag = MakeTag(3, {{"TIT2", TextBody(0, "Two")},
                                             {"TPE2", TextBody(0, "")},
                                             {"TALB", QByteArray("\x00", 1)}});
        QTest::newRow("v2 overrides v1, empty v2 does not")
            << WithV1(&tag, MakeV1()) << 0 << true << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TPE2=Band",  "TALB=Disc", "TYER=1999", "COMM=eng|hi",
                           "TCON=Blues", "TRCK=7",    "TIT2=Two"}
            << noLine;
    }
    {
        const fixture::Tag tag = MakeTag(3,
                                         {{"TIT2", TextBody(0, QString::fromUtf8("Café"))},
                                          {"TPE1", TextBody(1, QString::fromUtf8("Ωmega"))},
                                          {"TALB", QByteArray("\x01\xFE\xFF\x00\x41", 5)},
                                          {"TCON", QByteArray("\x01\xFF\xFE\x41\x00", 5)},
                                          {"TYER", TextBody(2, "2001")},
                                          {"TRCK", TextBody(3, QString::fromUtf8("3/ü"))}},
                                         40);
        QTest::newRow("v2.3 every encoding")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TIT2=Café", QString::fromUtf8("TPE1=Ωmega"), "TALB=A", "TCON=A",
                           "TYER=2001", QString::fromUtf8("TRCK=3/ü")}
            << noLine;
    }
    const QByteArray picture = fixture::PictureBody(0, "image/png", 3, "", fixture::ImageData(300));
    {
        fixture::Tag tag = MakeTag(3, {{"APIC", picture}, {"TIT2", TextBody(0, "After")}}, 10);
        QTest::newRow("v2.3 plain size over 127")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(picture.size()), "TIT2=After"} << noLine;
        tag.sizes = fixture::SizeForm::Synchsafe;
        QTest::newRow("v2.3 written with synchsafe sizes")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(picture.size()), "TIT2=After"} << noLine;
        tag.version = 4;
        tag.sizes = fixture::SizeForm::Natural;
        QTest::newRow("v2.4 synchsafe size over 127")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(picture.size()), "TIT2=After"} << noLine;
        tag.sizes = fixture::SizeForm::Plain;
        QTest::newRow("v2.4 written with plain sizes")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(picture.size()), "TIT2=After"} << noLine;
    }
    {
        const fixture::Tag tag =
            MakeTag(4, {{"TIT2", TextBody(2, QString::fromUtf8("Ωx"))},
                        {"TPE1", TextBody(3, QString::fromUtf8("Zoë"))},
                        {"COMM", fixture::CommentBody(3, "deu", "", QString::fromUtf8("schön"))},
                        {"TDRC", TextBody(0, "2019-03-04T05:06")}});
        QTest::newRow("v2.4 encodings 2 and 3, TDRC gives the year")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{QString::fromUtf8("TIT2=Ωx"),
                           QString::fromUtf8("TPE1=Zoë"),
                           QString::fromUtf8("COMM=deu|schön"),
                           "TYER=2019",
                           "TDAT=0403",
                           "TIME=0506"}
            << noLine;
    }
    // A converted date and a TDAT, TIME or TORY of the tag's own are one
    // value: the later wins, so that a write gives one frame of each.
    const auto dates = [&](const char* name, int version, const QList<Frame>& frames,
                           const QStringList& read) {
        const fixture::Tag tag = MakeTag(version, frames);
        QTest::newRow(name) << fixture::BuildFile(&tag) << 0 << false
                            << int(fixture::BuildTag(tag).size() - 10) << read << noLine;
    };
    dates("v2.3 date after TDAT and TIME", 3,
          {{"TYER", TextBody(0, "1990")},
           {"TDAT", TextBody(0, "0101")},
           {"TIME", TextBody(0, "0900")},
           {"TDRC", TextBody(0, "2003-04-05T10:20")}},
          {"TYER=2003", "TDAT=0504", "TIME=1020"});
    dates("v2.3 TDAT after a date", 3,
          {{"TDRC", TextBody(0, "2003-04-05")}, {"TDAT", TextBody(0, "0101")}},
          {"TYER=2003", "TDAT=0101"});
    dates("v2.4 TDOR after TORY", 4,
          {{"TORY", TextBody(0, "1970")}, {"TDOR", TextBody(0, "1999-05-01")}}, {"TORY=1999"});
    dates(
        "v2.3 date, then an empty TYER and TDAT", 3,
        {{"TDRC", TextBody(0, "2003-04-05")}, {"TYER", TextBody(0, "")}, {"TDAT", TextBody(0, "")}},
        {"TYER=2003", "TDAT=0504"});
    dates("two TDAT of the tag's own both kept", 3,
          {{"TDAT", TextBody(0, "0101")}, {"TDAT", TextBody(0, "0202")}},
          {"TDAT=0101", "TDAT=0202"});
    {
        const fixture::Tag tag =
            MakeTag(2,
                    {{"TT2", TextBody(0, "Old")},
                     {"TP1", TextBody(1, "Act")},
                     {"COM", fixture::CommentBody(0, "eng", "", "note")},
                     {"PIC", QByteArray("\0JPG\x03\0", 6) + fixture::ImageData(200)},
                     {"XYZ", "dropped"},
                     {"LNK", "TT2http://x/t"},
                     {"TRK", TextBody(0, "4")}},
                    6);
        QTest::newRow("v2.2 ids mapped")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TIT2=Old",      "TPE1=Act",
                           "COMM=eng|note", QString("APIC#%1").arg(1 + 11 + 2 + 200),
                           "LINK#14",       "TRCK=4"}
            << noLine;
    }
    for (int version : {3, 4}) {
        // Some programs write version 2.2 names into later tags; other
        // readers take them as the frames they name, and read on.
        const fixture::Tag tag = MakeTag(version, {{"TPE1", TextBody(0, "Act")},
                                                   {QByteArray("TT2\0", 4), TextBody(0, "Old")},
                                                   {"TCP ", TextBody(0, "1")},
                                                   {"TPE2", TextBody(0, "Various")}});
        QTest::newRow(qPrintable(QString("v2.%1 with v2.2 names").arg(version)))
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TPE1=Act", "TIT2=Old", "TCMP=1", "TPE2=Various"} << noLine;
    }
    {
        // A 2.2 picture's body is not an APIC body, nor is a name that 2.2
        // does not have a frame id: the frames end there.
        for (const QByteArray& id : {QByteArray("PIC\0", 4), QByteArray("XYZ\0", 4),
                                     QByteArray("TT2x"), QByteArray("Tt2 ")}) {
            const fixture::Tag tag =
                MakeTag(3, {{"TPE1", TextBody(0, "Act")},
                            {id, QByteArray("\0JPG\x03\0", 6) + fixture::ImageData(20)},
                            {"TIT2", TextBody(0, "Lost")}});
            QTest::newRow(
                qPrintable("frames end at " + QString::fromLatin1(id.toPercentEncoding())))
                << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
                << QStringList{"TPE1=Act"} << noLine;
        }
    }
    for (int version : {3, 4}) {
        // compressedTitleFrame: zlib-compressed frames are read, and replace
        // the ID3v1 values as plain ones do.
        const QByteArray title = TextBody(1, QString::fromUtf8("Ωne"));
        const fixture::Tag tag = MakeTag(
            version,
            {fixture::CompressedFrame(version, "TIT2", title),
             fixture::CompressedFrame(version, "COMM", fixture::CommentBody(0, "eng", "", "zip")),
             fixture::CompressedFrame(version, "TPE1", TextBody(0, "Band"))});
        QTest::newRow(qPrintable(QString("compressedTitleFrame v2.%1").arg(version)))
            << WithV1(&tag, MakeV1()) << 0 << true << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TPE2=Band",    "TALB=Disc", "TYER=1999",
                           "TCON=Blues",   "TRCK=7",    QString::fromUtf8("TIT2=Ωne"),
                           "COMM=eng|zip", "TPE1=Band"}
            << noLine;
    }
    {
        // Frames whose content cannot be had hold a value all the same: they
        // replace the ID3v1 values, and an undecodable comment stays beside
        // the others.
        const QByteArray big = qCompress(TextBody(0, QString(17 << 20, 'x')));
        const QList<Frame> frames{
            {"TIT2", QByteArray("\x80secret", 7), 0x0040},
            {"TALB", QByteArray("\x00\x00\x00\x05not zlib", 12), 0x0080},
            {"TYER", EncodeBigEndian32(4) + qCompress(TextBody(0, "1999-12-31")).mid(4), 0x0080},
            {"TCON", big, 0x0080},
            {"COMM", QByteArray("\x00engno descriptor end", 21)}};
        const fixture::Tag tag = MakeTag(3, frames);
        QStringList expected{"TPE2=Band", "COMM=eng|hi", "TRCK=7"};
        for (const Frame& f : frames)
            expected << QString("%1#%2").arg(QString::fromLatin1(f.id)).arg(f.body.size());
        QTest::newRow("undecodable frames kept, never empty")
            << WithV1(&tag, MakeV1()) << 0 << true << int(fixture::BuildTag(tag).size() - 10)
            << expected << noLine;
    }
    {
        // v24MultiValueGenre: several values, each UTF-16 one with its own
        // mark (or the byte order of the one before), joined by "/".
        const fixture::Tag tag =
            MakeTag(4, {{"TCON", fixture::TextValuesBody(0, {"Rock", "Pop"})},
                        {"TPE1", fixture::TextValuesBody(1, {"Ann", QString::fromUtf8("Bøb")})},
                        {"TALB", QByteArray("\x01\xFE\xFF\x00"
                                            "A\x00\x00\x00"
                                            "B",
                                            10)},
                        {"TCOM", fixture::TextValuesBody(3, {"X", "Y", ""})},
                        {"TIT2", TextBody(0, QString("One") + QChar(0))}});
        QTest::newRow("v24MultiValueGenre")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TCON=Rock/Pop", QString::fromUtf8("TPE1=Ann/Bøb"), "TALB=A/B",
                           "TCOM=X/Y", "TIT2=One|"}
            << noLine;
        fixture::Tag v23 = tag;
        v23.version = 3;
        v23.frames = {tag.frames[0]};
        QTest::newRow("v2.3 zero units kept as read")
            << fixture::BuildFile(&v23) << 0 << false << int(fixture::BuildTag(v23).size() - 10)
            << QStringList{"TCON=Rock|Pop"} << noLine;
    }
    for (int version : {3, 4}) {
        fixture::Tag tag = MakeTag(version, {{"APIC", picture}, {"TIT2", TextBody(0, "U")}}, 20);
        tag.unsync = true;
        QTest::newRow(qPrintable(QString("v2.%1 unsynchronised").arg(version)))
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(picture.size()), "TIT2=U"} << noLine;
        tag.unsync = false;
        tag.extendedHeader = true;
        QTest::newRow(qPrintable(QString("v2.%1 extended header").arg(version)))
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(picture.size()), "TIT2=U"} << noLine;
    }
    {
        fixture::Tag tag = MakeTag(4, {{"TIT2", TextBody(0, "F")}});
        tag.footer = true;
        QTest::newRow("v2.4 footer")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 20)
            << QStringList{"TIT2=F"} << noLine;
        tag.footer = false;
        tag.extraFlags = 0x0F;
        QTest::newRow("low flag bits ignored")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TIT2=F"} << noLine;
        tag.extraFlags = 0x20;
        QTest::newRow("experimental refused")
            << fixture::BuildFile(&tag) << E_FAIL_RESULT << false << 0 << QStringList{}
            << QByteArray("the tag is experimental\n");
        tag.extraFlags = 0;
        tag.sizeBytes = QByteArray("\x00\x00\x00\x80", 4);
        QTest::newRow("size byte 0x80") << fixture::BuildFile(&tag) << E_FAIL_RESULT << false << 0
                                        << QStringList{} << QByteArray("Invalid id3size\n");
        {
            // A tag of thousands of frames is refused before reading them all
            // takes minutes; the ID3v1 values stay.
            QList<Frame> many(4096, Frame{"PRIV", QByteArray("x", 1)});
            fixture::Tag most = MakeTag(3, many);
            QTest::newRow("4096 frames read") << fixture::BuildFile(&most) << 0 << false
                                              << int(fixture::BuildTag(most).size() - 10)
                                              << QStringList(4096, "PRIV#1") << noLine;
            many.append(Frame{"TIT2", TextBody(0, "One too many")});
            most = MakeTag(3, many);
            QTest::newRow("more frames refused")
                << WithV1(&most, MakeV1()) << E_FAIL_RESULT << true << 0 << v1Frames
                << QByteArray("too many frames\n");
        }
        tag.sizeBytes = QByteArray("\x00\x7F\x7F\x7F", 4);
        QTest::newRow("size beyond the file")
            << fixture::BuildFile(&tag, 1) << E_FAIL_RESULT << false << 0 << QStringList{}
            << QByteArray("Invalid id3size\n");
        tag.version = 5;
        tag.sizeBytes.reset();
        QTest::newRow("unknown version")
            << fixture::BuildFile(&tag) << E_FAIL_RESULT << false << 0 << QStringList{} << noLine;
        tag.version = 2;
        tag.extraFlags = 0x40; // compression, which version 2.2 never defined
        QTest::newRow("v2.2 compressed refused")
            << fixture::BuildFile(&tag) << E_FAIL_RESULT << false << 0 << QStringList{}
            << QByteArray("extended header not supported yet\n");
    }
    {
        fixture::Tag tag = MakeTag(3, {}, 257);
        QTest::newRow("size 257 all padding")
            << fixture::BuildFile(&tag) << 0 << false << 257 << QStringList{} << noLine;
        tag.padding = 0;
        QTest::newRow("size 0") << fixture::BuildFile(&tag) << 0 << false << 0 << QStringList{}
                                << noLine;
    }
    {
        // The second frame claims more bytes than the tag holds.
        const QByteArray tagBytes = fixture::BuildTag(MakeTag(3, {{"TIT2", TextBody(0, "Ok")}})) +
                                    QByteArray("TALB\x00\x00\x10\x00\x00\x00xyz", 13);
        QByteArray file = tagBytes + fixture::SilentAudio(2);
        file.replace(6, 4, QByteArray("\x00\x00\x00", 3) + char(tagBytes.size() - 10));
        QTest::newRow("frame size beyond the tag")
            << file << 0 << false << int(tagBytes.size() - 10) << QStringList{"TIT2=Ok"} << noLine;
    }
    {
        // Covers larger than 1 MiB are common; the frames after one are read.
        const QByteArray big =
            fixture::PictureBody(0, "image/png", 3, "", QByteArray(1 << 20, 'p'));
        const fixture::Tag tag = MakeTag(3, {{"APIC", big}, {"TIT2", TextBody(0, "After")}});
        QTest::newRow("frame over 1 MiB")
            << fixture::BuildFile(&tag, 1) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"APIC#" + QString::number(big.size()), "TIT2=After"} << noLine;
    }
    {
        const fixture::Tag tag = MakeTag(3, {{"TIT2", QByteArray("\x01\xFE\xFF\x00\x41\x00", 6)},
                                             {"TALB", TextBody(0, "lost")}});
        QTest::newRow("odd big-endian body still read")
            << fixture::BuildFile(&tag) << 0 << false << int(fixture::BuildTag(tag).size() - 10)
            << QStringList{"TIT2=A", "TALB=lost"} << noLine;
    }
}

void TestTagReader::reads() {
    QFETCH(QByteArray, file);
    QFETCH(int, result);
    QFETCH(bool, hasV1);
    QFETCH(int, tagSize);
    QFETCH(QStringList, frames);
    QFETCH(QByteArray, diagnostic);

    const QString path = WriteBytes(file);
    TagInfo tag;
    tag.tagSize = 12345; // stale values from an earlier read must go
    tag.hasV2 = true;
    DiagnosticCapture capture;
    QCOMPARE(tag.Read(path), result);
    QCOMPARE(capture.text(), diagnostic);
    QCOMPARE(tag.hasV1, hasV1);
    QCOMPARE(tag.hasV2, result == 0);
    QCOMPARE(tag.tagSize, result == 0 ? tagSize : 0);
    QCOMPARE(DescribeFrames(tag), frames);
    QCOMPARE(fixture::ReadFile(path), file); // reading changes nothing
}

void TestTagReader::unreadablePaths() {
    TagInfo tag;
    QCOMPARE(tag.Read(dir.filePath("missing.mp3")), E_FAIL_RESULT);
    QVERIFY(tag.path.isEmpty());
    QVERIFY(tag.frames.empty());
    QCOMPARE(tag.Read(dir.path()), E_FAIL_RESULT);
    QVERIFY(tag.path.isEmpty());
    if (::geteuid() != 0) {
        const QString locked = WriteBytes(fixture::SilentAudio(1));
        QFile::setPermissions(locked, QFileDevice::WriteOwner);
        QCOMPARE(tag.Read(locked), E_FAIL_RESULT);
        QVERIFY(tag.path.isEmpty());
    }
}

void TestTagReader::pathAndPseudoFrame() {
    const QString path = WriteBytes(fixture::SilentAudio(1));
    TagInfo tag;
    QCOMPARE(tag.Read(path), 1);
    QCOMPARE(tag.path, path);
    QVERIFY(!tag.frames.empty());
    QVERIFY(tag.frames.front().IsPseudoFrame());
    QCOMPARE(tag.frames.front().text, path);
}

void TestTagReader::keepsRawBodies() {
    const QByteArray picture =
        fixture::PictureBody(0, "image/jpeg", 3, "front", fixture::ImageData(1000));
    const QByteArray comment = fixture::CommentBody(1, "eng", "d", QString::fromUtf8("wörds"));
    const QByteArray utf8User = fixture::UserTextBody(3, "key", QString::fromUtf8("välue"));
    fixture::Tag tag = MakeTag(4, {{"APIC", picture, 0x4000},
                                   {"COMM", comment},
                                   {"TXXX", utf8User},
                                   {"PRIV", QByteArray("owner\0\x01\x02", 8)}});
    tag.unsync = true;
    const QString path = WriteBytes(fixture::BuildFile(&tag));
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    const FrameInfo* apic = info.FindFrame("APIC");
    QVERIFY(apic && apic->hasRaw);
    QCOMPARE(apic->raw, picture);
    QCOMPARE(apic->flags, quint16(0x8000)); // tag-alter bit in its version 3 place
    QCOMPARE(info.FindFrame("COMM")->raw, comment);
    QCOMPARE(info.FindFrame("COMM")->text,
             QString::fromUtf8("engd") + QChar(0) + QString::fromUtf8("wörds"));
    QCOMPARE(info.FindFrame("TXXX")->raw,
             fixture::UserTextBody(1, "key", QString::fromUtf8("välue")));
    QCOMPARE(info.FindFrame("PRIV")->raw, QByteArray("owner\0\x01\x02", 8));
}

// A few KB of zlib data claim a megabyte each: the frames of one tag are
// held inflated up to 16 MiB in all, a frame up to 1 MiB; what lies beyond
// is kept as its bytes, and reading goes on.
void TestTagReader::inflatedContentIsBounded() {
    const auto compressed = [](const QByteArray& content) {
        return EncodeBigEndian32(quint32(content.size())) + qCompress(content, 9).mid(4);
    };
    QList<Frame> frames{
        {"TALB", compressed(TextBody(0, QString((1 << 20) + 1, QLatin1Char('y')))), 0x0080}};
    const QString filler((1 << 20) - 16, QLatin1Char('x'));
    for (int i = 0; i < 20; ++i) {
        const QString descriptor = QString("d%1").arg(i, 2, 10, QLatin1Char('0'));
        frames.append(
            {"COMM", compressed(fixture::CommentBody(0, "eng", descriptor, filler)), 0x0080});
    }
    frames.append({"TPE1", TextBody(0, "Still read")});
    const fixture::Tag tag = MakeTag(3, frames);
    const QString path = WriteBytes(fixture::BuildFile(&tag));
    TagInfo info;
    QCOMPARE(info.Read(path), 0);
    qint64 held = 0;
    int opaque = 0;
    for (const FrameInfo& f : info.frames) {
        held += f.text.size();
        opaque += f.opaque ? 1 : 0;
    }
    QVERIFY2(held <= (16 << 20) + 64, qPrintable(QString::number(held)));
    QCOMPARE(opaque, 5); // four comments past the 16 MiB and the album past 1 MiB
    QVERIFY(info.FindFrame("TALB", nullptr).isEmpty());
    QCOMPARE(info.FindFrame("TPE1", nullptr), QStringLiteral("Still read"));
}

void TestTagReader::keepsBytesAfterBrokenFrame() {
    const QByteArray broken("ZZZ\x01\x00\x00\x00\x05\x00\x00stuff", 15);
    QByteArray tagBytes =
        fixture::BuildTag(MakeTag(3, {{"TIT2", TextBody(0, "Ok")}})) + broken + QByteArray(7, '\0');
    tagBytes.replace(6, 4, QByteArray("\x00\x00\x00", 3) + char(tagBytes.size() - 10));
    const QString path = WriteBytes(tagBytes + fixture::SilentAudio(1));
    TagInfo tag;
    QCOMPARE(tag.Read(path), 0);
    QCOMPARE(DescribeFrames(tag), QStringList{"TIT2=Ok"});
    QCOMPARE(tag.unparsed, broken);
}

void TestTagReader::truncatedAnywhere_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<bool>("unsync");
    QTest::newRow("v2.2") << 2 << false;
    QTest::newRow("v2.3 unsynchronised") << 3 << true;
    QTest::newRow("v2.4 unsynchronised") << 4 << true;
}

// A file cut at any length reads with a clear result, stays unchanged, and
// when it was read, takes a new title.
void TestTagReader::truncatedAnywhere() {
    QFETCH(int, version);
    QFETCH(bool, unsync);
    fixture::Tag tag;
    tag.version = version;
    tag.unsync = unsync;
    tag.extendedHeader = version > 2;
    tag.footer = version == 4;
    tag.padding = 16;
    const bool v22 = version == 2;
    tag.frames = {{v22 ? "TT2" : "TIT2", TextBody(1, QString::fromUtf8("Ωne"))},
                  {v22 ? "COM" : "COMM", fixture::CommentBody(0, "eng", "", "c")},
                  {v22 ? "PIC" : "APIC",
                   v22 ? QByteArray("\0PNG\x03\0", 6) + fixture::ImageData(150)
                       : fixture::PictureBody(0, "image/png", 3, "", fixture::ImageData(150))}};
    const fixture::V1 v1{"V1", "A", "B", "1999", "", 1, 3};
    const QByteArray whole = fixture::BuildFile(&tag, 1, &v1);
    for (qsizetype length = 0; length <= whole.size(); ++length) {
        const QByteArray cut = whole.left(length);
        const QString path = WriteBytes(cut);
        TagInfo info;
        const int result = info.Read(path);
        QVERIFY2(result == 0 || result == 1 || result == E_FAIL_RESULT,
                 qPrintable(QString::number(length)));
        QCOMPARE(fixture::ReadFile(path), cut);
        // Writes flush to disk: a sample of the lengths is enough.
        if (result >= 0 && (length < 12 || length % 9 == 0)) {
            info.SetFrameWide("TIT2", QString("cut %1").arg(length), -1);
            QCOMPARE(info.Write(), 0);
            TagInfo back;
            QCOMPARE(back.Read(path), 0);
            QCOMPARE(back.FindFrame("TIT2", nullptr), QString("cut %1").arg(length));
        }
        QFile::remove(path);
    }
}

QTEST_GUILESS_MAIN(TestTagReader)
#include "test_tag_reader.moc"
