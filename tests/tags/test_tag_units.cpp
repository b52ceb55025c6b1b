#include "fixtures.h"

#include "tags/framecontent.h"
#include "tags/frameinfo.h"
#include "tags/framelayout.h"
#include "tags/pathbytes.h"
#include "tags/reencode.h"
#include "tags/textcodec.h"
#include "tags/unsync.h"
#include "tags/v22ids.h"
#include "tags/v24frames.h"

#include <QTest>

#include <memory>

// The format units under the reader: text encodings, unsynchronisation,
// version 2.2 ids, version 2.4 frame conversion, re-encoding, frame content.
class TestTagUnits : public QObject {
    Q_OBJECT
private slots:
    void decodeText_data();
    void decodeText();
    void unsynchronisation_data();
    void unsynchronisation();
    void v24Body_data();
    void v24Body();
    void v24OnlyFrames_data();
    void v24OnlyFrames();
    void reencode_data();
    void reencode();
    void v22Ids_data();
    void v22Ids();
    void v22Link_data();
    void v22Link();
    void writtenBodySize_data();
    void writtenBodySize();
    void pathBytes_data();
    void pathBytes();
    void pathBytesRefused_data();
    void pathBytesRefused();
    void frameContent_data();
    void frameContent();
    void framesLineUp_data();
    void framesLineUp();
};

void TestTagUnits::decodeText_data() {
    QTest::addColumn<int>("encoding");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("latin-1") << 0 << QByteArray("a\xE9\0b", 4) << QString("aé") + QChar(0) + "b";
    QTest::newRow("utf-16 big-endian mark")
        << 1 << QByteArray("\xFE\xFF\x00\x41\x03\xA9", 6) << QString::fromUtf8("AΩ");
    QTest::newRow("utf-16 little-endian mark") << 1 << QByteArray("\xFF\xFE\x41\x00", 4) << "A";
    QTest::newRow("utf-16 without mark") << 1 << QByteArray("\x41\x00\x42\x00", 4) << "AB";
    QTest::newRow("utf-16 odd byte dropped") << 1 << QByteArray("\xFF\xFE\x41\x00\x42", 5) << "A";
    QTest::newRow("utf-16 mark only") << 1 << QByteArray("\xFF\xFE", 2) << "";
    QTest::newRow("utf-16be") << 2 << QByteArray("\x03\xA9\x00\x00\x00\x78", 6)
                              << QString::fromUtf8("Ω") + QChar(0) + "x";
    QTest::newRow("utf-8") << 3 << QByteArray("Zo\xC3\xAB", 4) << QString::fromUtf8("Zoë");
    QTest::newRow("utf-8 broken") << 3 << QByteArray("a\xC3", 2) << QString("a") + QChar(0xFFFD);
}

void TestTagUnits::decodeText() {
    QFETCH(int, encoding);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(DecodeText(encoding, bytes), text);
}

void TestTagUnits::unsynchronisation_data() {
    QTest::addColumn<QByteArray>("plain");
    QTest::addColumn<QByteArray>("unsynchronised");
    QTest::newRow("nothing to do") << QByteArray("abc") << QByteArray("abc");
    QTest::newRow("ff e0") << QByteArray("\xFF\xE0", 2) << QByteArray("\xFF\x00\xE0", 3);
    QTest::newRow("ff 00") << QByteArray("\xFF\x00", 2) << QByteArray("\xFF\x00\x00", 3);
    QTest::newRow("ff at end") << QByteArray("a\xFF", 2) << QByteArray("a\xFF\x00", 3);
    QTest::newRow("ff ff ff") << QByteArray("\xFF\xFF\xFF", 3)
                              << QByteArray("\xFF\x00\xFF\x00\xFF\x00", 6);
    QTest::newRow("ff 7f untouched") << QByteArray("\xFF\x7F", 2) << QByteArray("\xFF\x7F", 2);
}

void TestTagUnits::unsynchronisation() {
    QFETCH(QByteArray, plain);
    QFETCH(QByteArray, unsynchronised);
    QCOMPARE(fixture::AddUnsynchronisation(plain), unsynchronised);
    QCOMPARE(RemoveUnsynchronisation(unsynchronised), plain);
}

void TestTagUnits::v24Body_data() {
    QTest::addColumn<int>("flags24");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("tagUnsync");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<int>("flags23");
    QTest::newRow("no flags") << 0 << QByteArray("\0abc", 4) << false << QByteArray("\0abc", 4)
                              << 0;
    QTest::newRow("status bits move up")
        << 0x7000 << QByteArray("x") << false << QByteArray("x") << 0xE000;
    QTest::newRow("frame unsynchronised")
        << 0x0002 << QByteArray("\xFF\x00\xE0", 3) << false << QByteArray("\xFF\xE0", 2) << 0;
    QTest::newRow("tag unsynchronised")
        << 0 << QByteArray("\xFF\x00\xE0", 3) << true << QByteArray("\xFF\xE0", 2) << 0;
    QTest::newRow("length indicator dropped")
        << 0x0001 << QByteArray("\x00\x00\x00\x03xyz", 7) << false << QByteArray("xyz") << 0;
    QTest::newRow("compressed keeps plain size")
        << 0x0009 << QByteArray("\x00\x00\x01\x00zz", 6) << false
        << QByteArray("\x00\x00\x00\x80zz", 6) << 0x0080;
    // qCompress puts the size in front as version 3 does.
    const QByteArray zlibArtist = qCompress(QByteArray("\0Artist", 7));
    QTest::newRow("compressed, no length indicator: size from the data")
        << 0x0008 << zlibArtist.mid(4) << false << zlibArtist << 0x0080;
    QTest::newRow("compressed, no length indicator, not zlib data")
        << 0x0008 << QByteArray("zz") << false << QByteArray("zz") << 0x0080;
    QTest::newRow("group, encryption reordered")
        << 0x0044 << QByteArray("GEdata", 6) << false << QByteArray("EGdata", 6) << 0x0060;
    QTest::newRow("length indicator cut short")
        << 0x0001 << QByteArray("\x00\x00", 2) << false << QByteArray("\x00\x00", 2) << 0;
}

void TestTagUnits::v24Body() {
    QFETCH(int, flags24);
    QFETCH(QByteArray, body);
    QFETCH(bool, tagUnsync);
    QFETCH(QByteArray, expected);
    QFETCH(int, flags23);
    quint16 flags = 0xFFFF;
    QCOMPARE(ConvertV24FrameBody(quint16(flags24), body, tagUnsync, &flags), expected);
    QCOMPARE(int(flags), flags23);
}

void TestTagUnits::v24OnlyFrames_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("frames"); // empty: the frame stays
    QTest::newRow("year") << QByteArray("TDRC") << "2019" << QStringList{"TYER=2019"};
    QTest::newRow("month only") << QByteArray("TDRC") << "2019-03" << QStringList{"TYER=2019"};
    QTest::newRow("date") << QByteArray("TDRC") << "2019-03-04"
                          << QStringList{"TYER=2019", "TDAT=0403"};
    QTest::newRow("date and time") << QByteArray("TDRC") << "2019-03-04T05:06:07"
                                   << QStringList{"TYER=2019", "TDAT=0403", "TIME=0506"};
    QTest::newRow("first of several values")
        << QByteArray("TDRC") << QString("1999") + QChar(0) + "2005" << QStringList{"TYER=1999"};
    QTest::newRow("first of joined values")
        << QByteArray("TDRC") << "2019-03-04/2020" << QStringList{"TYER=2019", "TDAT=0403"};
    QTest::newRow("original release")
        << QByteArray("TDOR") << "1987-05-01" << QStringList{"TORY=1987"};
    QTest::newRow("not a year") << QByteArray("TDRC") << "19x9" << QStringList{};
    QTest::newRow("other id") << QByteArray("TDRL") << "2019" << QStringList{};
    QTest::newRow("empty") << QByteArray("TDRC") << "" << QStringList{};
}

void TestTagUnits::v24OnlyFrames() {
    QFETCH(QByteArray, id);
    QFETCH(QString, text);
    QFETCH(QStringList, frames);
    FrameInfo frame;
    frame.SetId(id.constData());
    frame.SetWide(text);
    std::vector<FrameInfo> out;
    QCOMPARE(ConvertV24OnlyFrame(frame, out), !frames.isEmpty());
    QStringList got;
    for (const FrameInfo& f : out) {
        QVERIFY(!f.hasRaw);
        got << QString::fromLatin1(f.id) + "=" + f.text;
    }
    QCOMPARE(got, frames);
}

void TestTagUnits::reencode_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("expected");
    const QString lyric = QString::fromUtf8("Ωh");
    QTest::newRow("comment utf-8")
        << QByteArray("COMM") << fixture::CommentBody(3, "eng", "d", lyric) << true
        << fixture::CommentBody(1, "eng", "d", lyric);
    QTest::newRow("user text utf-16be")
        << QByteArray("TXXX") << fixture::UserTextBody(2, "K", lyric) << true
        << fixture::UserTextBody(1, "K", lyric);
    QTest::newRow("picture utf-8, data untouched")
        << QByteArray("APIC")
        << fixture::PictureBody(3, "image/png", 3, lyric, QByteArray("\0\xFF\0", 3)) << true
        << fixture::PictureBody(1, "image/png", 3, lyric, QByteArray("\0\xFF\0", 3));
    QTest::newRow("text frame") << QByteArray("TIT2") << fixture::TextBody(3, lyric) << true
                                << fixture::TextBody(1, lyric);
    QTest::newRow("latin-1 left alone")
        << QByteArray("COMM") << fixture::CommentBody(0, "eng", "", "x") << false
        << fixture::CommentBody(0, "eng", "", "x");
    // Encoding byte, then each string with its terminator.
    const auto listed = [](int encoding, const QStringList& strings) {
        QByteArray body(1, char(encoding));
        for (const QString& s : strings)
            body += fixture::Encode(encoding, s) + QByteArray(TerminatorWidth(encoding), '\0');
        return body;
    };
    QTest::newRow("people list utf-8, last terminator left out")
        << QByteArray("IPLS") << fixture::TextValuesBody(3, {"mix", lyric}) << true
        << listed(1, {"mix", lyric});
    // Language, time format, content type, descriptor, then text and time.
    const auto lyrics = [&](int encoding) {
        return listed(encoding, {"d", "la"}).insert(1, QByteArray("eng\x02\x01", 5)) +
               QByteArray("\0\0\x03\0", 4) + listed(encoding, {lyric}).mid(1) +
               QByteArray("\0\0\x07\xD0", 4);
    };
    QTest::newRow("synchronised lyrics utf-16be, times with zero bytes")
        << QByteArray("SYLT") << lyrics(2) << true << lyrics(1);
    QTest::newRow("synchronised lyrics without their last time left alone")
        << QByteArray("SYLT") << lyrics(3).chopped(4) << false << lyrics(3).chopped(4);
    // Price, date of purchase, seller.
    const auto owned = [&](int encoding) {
        return QByteArray(1, char(encoding)) + QByteArray("EUR1", 5) + "20240101" +
               fixture::Encode(encoding, lyric);
    };
    QTest::newRow("ownership utf-8") << QByteArray("OWNE") << owned(3) << true << owned(1);
    // Price, valid until, contact, received as, seller, description, then a
    // picture's type and bytes, which mutagen leaves out when there is none.
    const auto commercial = [&](int encoding, const QByteArray& picture) {
        return QByteArray(1, char(encoding)) +
               QByteArray("USD1\0"
                          "20301231"
                          "http://c\0\x00",
                          23) +
               listed(encoding, {"S\u00e9ller", lyric}).mid(1) + picture;
    };
    const QByteArray logo("image/png\0\x89PNG", 14);
    QTest::newRow("commercial utf-8")
        << QByteArray("COMR") << commercial(3, logo) << true << commercial(1, logo);
    QTest::newRow("commercial utf-8 without picture")
        << QByteArray("COMR") << commercial(3, {}) << true << commercial(1, {});
    QTest::newRow("commercial utf-8, description without its terminator")
        << QByteArray("COMR") << commercial(3, {}).chopped(1) << true << commercial(1, {});
    QTest::newRow("unknown layout left alone")
        << QByteArray("ETCO") << QByteArray("\x03zz", 3) << false << QByteArray("\x03zz", 3);
    QTest::newRow("missing terminator left alone")
        << QByteArray("TXXX") << QByteArray("\x03key", 4) << false << QByteArray("\x03key", 4);
}

void TestTagUnits::reencode() {
    QFETCH(QByteArray, id);
    QFETCH(QByteArray, body);
    QFETCH(bool, ok);
    QFETCH(QByteArray, expected);
    bool done = !ok;
    QCOMPARE(ReencodeToUtf16(id.constData(), body, &done), expected);
    QCOMPARE(done, ok);
}

void TestTagUnits::v22Ids_data() {
    QTest::addColumn<QByteArray>("v22");
    QTest::addColumn<QByteArray>("v23");
    QTest::newRow("TT2") << QByteArray("TT2") << QByteArray("TIT2");
    QTest::newRow("TP1") << QByteArray("TP1") << QByteArray("TPE1");
    QTest::newRow("TP2") << QByteArray("TP2") << QByteArray("TPE2");
    QTest::newRow("TAL") << QByteArray("TAL") << QByteArray("TALB");
    QTest::newRow("TCO") << QByteArray("TCO") << QByteArray("TCON");
    QTest::newRow("TYE") << QByteArray("TYE") << QByteArray("TYER");
    QTest::newRow("TRK") << QByteArray("TRK") << QByteArray("TRCK");
    QTest::newRow("COM") << QByteArray("COM") << QByteArray("COMM");
    QTest::newRow("PIC") << QByteArray("PIC") << QByteArray("APIC");
    QTest::newRow("ULT") << QByteArray("ULT") << QByteArray("USLT");
    QTest::newRow("unknown") << QByteArray("XYZ") << QByteArray();
}

void TestTagUnits::v22Ids() {
    QFETCH(QByteArray, v22);
    QFETCH(QByteArray, v23);
    QCOMPARE(MapV22Id(v22), v23);
}

void TestTagUnits::v22Link_data() {
    QTest::addColumn<QByteArray>("lnk");
    QTest::addColumn<QByteArray>("link"); // empty: the frame is dropped
    QTest::newRow("title link") << QByteArray("TT2http://x/t.xml\0id", 21)
                                << QByteArray("TIT2http://x/t.xml\0id", 22);
    QTest::newRow("linked frame without counterpart") << QByteArray("XYZhttp://x") << QByteArray();
    QTest::newRow("too short for an id") << QByteArray("TT") << QByteArray();
}

void TestTagUnits::v22Link() {
    QFETCH(QByteArray, lnk);
    QFETCH(QByteArray, link);
    QCOMPARE(LnkToLinkBody(lnk), link);
}

// What `show` reports as a frame's size is counted without writing the
// frame, and must be what WriteFrame writes.
void TestTagUnits::writtenBodySize_data() {
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("raw");
    QTest::newRow("raw body") << QByteArray("APIC") << "ignored" << QByteArray(5000, 'p');
    QTest::newRow("Latin-1 text") << QByteArray("COMM") << QString::fromUtf8("engÿ")
                                  << QByteArray();
    QTest::newRow("text beyond Latin-1")
        << QByteArray("COMM") << QString::fromUtf8("eng€") << QByteArray();
    QTest::newRow("no text") << QByteArray("COMM") << "" << QByteArray();
    QTest::newRow("file-name pseudo-frame") << QByteArray("*") << "/m/a.mp3" << QByteArray();
}

void TestTagUnits::writtenBodySize() {
    QFETCH(QByteArray, id);
    QFETCH(QString, text);
    QFETCH(QByteArray, raw);
    FrameInfo frame;
    frame.SetId(id.constData());
    frame.SetWide(text);
    frame.raw = raw;
    frame.hasRaw = !raw.isEmpty();
    QByteArray written;
    const qsizetype whole = frame.WriteFrame(written);
    QCOMPARE(frame.WrittenBodySize(), whole > 0 ? whole - 10 : 0);
}

// File names are bytes: every name maps to text and back unchanged, and
// two names never map to the same text.
void TestTagUnits::pathBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const auto escaped = [](std::initializer_list<int> bytes) {
        QString t;
        for (int b : bytes)
            t += QChar(0xDC00 + b);
        return t;
    };
    QTest::newRow("ascii") << QByteArray("/m/a b.mp3") << "/m/a b.mp3";
    QTest::newRow("empty") << QByteArray("") << "";
    QTest::newRow("control and DEL") << QByteArray("a\x01\x7F") << "a\x01\x7F";
    QTest::newRow("ascii then more") << QByteArray("/m/\xC3\xA9") << QString::fromUtf8("/m/é");
    QTest::newRow("utf-8") << QByteArray("caf\xC3\xA9.mp3") << QString::fromUtf8("café.mp3");
    QTest::newRow("latin-1 name") << QByteArray("caf\xE9.mp3") << "caf" + escaped({0xE9}) + ".mp3";
    QTest::newRow("a real U+FFFD is another name")
        << QByteArray("caf\xEF\xBF\xBD.mp3") << QString("caf") + QChar(0xFFFD) + ".mp3";
    QTest::newRow("encoded surrogate") << QByteArray("\xED\xB2\x80") << escaped({0xED, 0xB2, 0x80});
    QTest::newRow("overlong slash") << QByteArray("\xC0\xAF") << escaped({0xC0, 0xAF});
    QTest::newRow("sequence cut at the end")
        << QByteArray("a\xE2\x82") << "a" + escaped({0xE2, 0x82});
    QTest::newRow("four bytes") << QByteArray("\xF0\x9F\x8E\xB5") << QString::fromUtf8("🎵");
}

void TestTagUnits::pathBytes() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(pathFromBytes(bytes), text);
    QCOMPARE(::pathBytes(text), bytes);
    QVERIFY(!::pathBytes(text).isNull()); // a name, even an empty one
}

// Text that no name gives has no bytes: acting on it acts on nothing.
void TestTagUnits::pathBytesRefused_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("NUL") << QString("a") + QChar(0) + "b";
    QTest::newRow("lone high surrogate") << QString("a") + QChar(0xD800);
    QTest::newRow("lone surrogate below the escapes") << QString("a") + QChar(0xDC10);
    QTest::newRow("escapes that spell UTF-8") << QString(QChar(0xDCC3)) + QChar(0xDCA9);
}

void TestTagUnits::pathBytesRefused() {
    QFETCH(QString, text);
    QVERIFY(::pathBytes(text).isNull());
}

void TestTagUnits::frameContent_data() {
    QTest::addColumn<int>("flags");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QByteArray>("content");
    const QByteArray text("\0abc", 4);
    const QByteArray zipped = qCompress(text); // 4-byte size, then zlib data
    QTest::newRow("plain") << 0 << text << true << text;
    QTest::newRow("grouped") << int(FrameFlagGrouped) << "G" + text << true << text;
    QTest::newRow("compressed") << int(FrameFlagCompressed) << zipped << true << text;
    QTest::newRow("compressed and grouped") << int(FrameFlagCompressed | FrameFlagGrouped)
                                            << zipped.left(4) + "G" + zipped.mid(4) << true << text;
    QTest::newRow("encrypted") << int(FrameFlagEncrypted) << text << false << QByteArray();
    // The declared size caps the inflated content: more is a damaged frame.
    QTest::newRow("compressed, more than its declared size")
        << int(FrameFlagCompressed) << QByteArray("\0\0\0\x02", 4) + zipped.mid(4) << false
        << QByteArray();
    QTest::newRow("compressed, not zlib data")
        << int(FrameFlagCompressed) << QByteArray("\0\0\0\x04notzlib", 11) << false << QByteArray();
    QTest::newRow("shorter than its size")
        << int(FrameFlagCompressed) << QByteArray("\0\0", 2) << false << QByteArray();
    QTest::newRow("group byte missing")
        << int(FrameFlagGrouped) << QByteArray() << false << QByteArray();
}

void TestTagUnits::frameContent() {
    QFETCH(int, flags);
    QFETCH(QByteArray, body);
    QFETCH(bool, found);
    QFETCH(QByteArray, content);
    // A buffer of the body's exact size, so a read past it is caught.
    const auto exact = std::make_unique<char[]>(size_t(body.size()));
    std::copy(body.cbegin(), body.cend(), exact.get());
    const std::optional<QByteArray> got =
        FrameContent(QByteArray::fromRawData(exact.get(), body.size()), quint16(flags));
    QCOMPARE(got.has_value(), found);
    if (found)
        QCOMPARE(*got, content);
}

// Frames line up when they fill the tag to its end or to padding that is
// zeros to the end; a byte in the padding means another size form.
void TestTagUnits::framesLineUp_data() {
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<bool>("lineUp");
    const QByteArray frame = QByteArray("TIT2\0\0\0\x03\0\0", 10) + "abc";
    QTest::newRow("no padding") << frame << true;
    QTest::newRow("one zero") << frame + QByteArray(1, '\0') << true;
    QTest::newRow("zeros") << frame + QByteArray(2000, '\0') << true;
    QTest::newRow("byte after the first zero") << frame + QByteArray("\0x", 2) << false;
    QByteArray last = frame + QByteArray(2000, '\0');
    last[last.size() - 1] = 'x';
    QTest::newRow("last byte") << last << false;
    QByteArray middle = frame + QByteArray(2000, '\0');
    middle[frame.size() + 1000] = '\x01';
    QTest::newRow("middle byte") << middle << false;
    QTest::newRow("size past the end") << frame.left(12) << false;
}

void TestTagUnits::framesLineUp() {
    QFETCH(QByteArray, tag);
    QFETCH(bool, lineUp);
    QCOMPARE(FramesLineUp(tag, 0, FrameLayout{3, false}), lineUp);
}

QTEST_GUILESS_MAIN(TestTagUnits)
#include "test_tag_units.moc"
