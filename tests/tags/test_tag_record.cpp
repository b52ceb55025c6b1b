#include "tagtestutil.h"

#include "tags/genres.h"
#include "tags/latin1.h"
#include "tags/synchsafe.h"
#include "tags/taginfo.h"

#include <QTest>

namespace {

QString Units(QString s) {
    return s.replace(QLatin1Char('|'), QChar(0));
}

} // namespace

class TestTagRecord : public QObject {
    Q_OBJECT
private slots:
    void addFrameRules_data();
    void addFrameRules();
    void findFrameGivesFirst();
    void countMinusOneStopsAtZero();
    void clearKeepsFileFacts();
    void genreNames_data();
    void genreNames();
    void latin1RoundTrip();
    void wideToLatin1Reports_data();
    void wideToLatin1Reports();
    void synchsafe_data();
    void synchsafe();
};

// Each step sets one frame: "ID=text" with "|" for a 0 unit, or "ID#" for a
// frame read from a file whose body cannot be decoded.
void TestTagRecord::addFrameRules_data() {
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("frames");
    QTest::newRow("empty value leaves frame")
        << QStringList{"TIT2=Song", "TIT2="} << QStringList{"TIT2=Song"};
    QTest::newRow("second value replaces, moves to end")
        << QStringList{"TIT2=One", "TALB=Disc", "TIT2=Two"} << QStringList{"TALB=Disc", "TIT2=Two"};
    QTest::newRow("leading zero unit adds nothing")
        << QStringList{"TPE1=Band", "TPE1=|x"} << QStringList{"TPE1=Band"};
    QTest::newRow("comment same language replaced")
        << QStringList{"COMM=eng|old", "COMM=fra|autre", "COMM=eng|new"}
        << QStringList{"COMM=fra|autre", "COMM=eng|new"};
    QTest::newRow("comment other descriptor kept") << QStringList{"COMM=engD|old", "COMM=eng|new"}
                                                   << QStringList{"COMM=engD|old", "COMM=eng|new"};
    QTest::newRow("itunesCommentsSharingFirstLetter")
        << QStringList{"COMM=engiTunNORM| 0000021C", "COMM=engiTunes_CDDB_1|7A0B",
                       "COMM=engiTunes_CDDB_TrackNumber|3", "COMM=eng|plain"}
        << QStringList{"COMM=engiTunNORM| 0000021C", "COMM=engiTunes_CDDB_1|7A0B",
                       "COMM=engiTunes_CDDB_TrackNumber|3", "COMM=eng|plain"};
    QTest::newRow("whole descriptor equal replaces")
        << QStringList{"COMM=engiTunNORM|a", "COMM=engiTunes|b", "COMM=engiTunNORM|c"}
        << QStringList{"COMM=engiTunes|b", "COMM=engiTunNORM|c"};
    QTest::newRow("language compared exactly")
        << QStringList{"COMM=eng|a", "COMM=ENG|b"} << QStringList{"COMM=eng|a", "COMM=ENG|b"};
    QTest::newRow("zeroLanguageComment kept beside eng")
        << QStringList{"COMM=eng|v1", "COMM=||||note"}
        << QStringList{"COMM=eng|v1", "COMM=||||note"};
    QTest::newRow("comment without text adds nothing")
        << QStringList{"COMM=eng|old", "COMM=eng|", "COMM=eng|||", "COMM=engDesc", "COMM=en"}
        << QStringList{"COMM=eng|old"};
    // mutagen's comment of two values, the first empty
    QTest::newRow("comment text beginning with a 0 unit kept")
        << QStringList{"COMM=eng|old", "COMM=eng||second"} << QStringList{"COMM=eng||second"};
    QTest::newRow("undecodable frames hold a value")
        << QStringList{"TIT2=v1", "TIT2#", "COMM=eng|a", "COMM#", "COMM=eng|b"}
        << QStringList{"TIT2#1", "COMM#1", "COMM=eng|b"};
    QTest::newRow("a set value replaces an undecodable one")
        << QStringList{"TIT2#", "TIT2=new"} << QStringList{"TIT2=new"};
    QTest::newRow("other ids keep every frame")
        << QStringList{"USLT=a", "USLT=b", "TXXX=c", "TXXX=c"}
        << QStringList{"USLT=a", "USLT=b", "TXXX=c", "TXXX=c"};
    QTest::newRow("all single-instance ids")
        << QStringList{"TALB=a", "TIT2=b", "TPE1=c", "TPE2=d", "TYER=e", "TCON=f", "TRCK=g",
                       "TALB=A", "TIT2=B", "TPE1=C", "TPE2=D", "TYER=E", "TCON=F", "TRCK=G"}
        << QStringList{"TALB=A", "TIT2=B", "TPE1=C", "TPE2=D", "TYER=E", "TCON=F", "TRCK=G"};
    QTest::newRow("text with zero inside kept whole")
        << QStringList{"TIT2=a|b"} << QStringList{"TIT2=a|b"};
    QTest::newRow("id cut to four bytes") << QStringList{"TIT2X=a"} << QStringList{"TIT2=a"};
}

void TestTagRecord::addFrameRules() {
    QFETCH(QStringList, steps);
    QFETCH(QStringList, frames);
    TagInfo tag;
    for (const QString& step : steps) {
        if (step.endsWith(QLatin1Char('#'))) {
            FrameInfo opaque;
            opaque.SetId(step.chopped(1).toLatin1().constData());
            opaque.raw = "x";
            opaque.hasRaw = opaque.opaque = true;
            tag.AddFrame(opaque);
            continue;
        }
        const QByteArray id = step.section('=', 0, 0).toLatin1();
        const QString text = Units(step.section('=', 1));
        tag.SetFrameWide(id.constData(), text, static_cast<int>(text.size()));
    }
    QCOMPARE(DescribeFrames(tag), frames);
}

void TestTagRecord::findFrameGivesFirst() {
    TagInfo tag;
    tag.SetFrameLatin1("USLT", "first", -1);
    tag.SetFrameLatin1("USLT", "second!", -1);
    int length = -1;
    QCOMPARE(tag.FindFrame("USLT", &length), QString("first"));
    QCOMPARE(length, 5);
    QVERIFY(tag.FindFrame("TIT2", &length).isNull());
    QCOMPARE(length, 0);
    tag.SetFrameLatin1("", "x", -1);
    QCOMPARE(tag.frames.size(), size_t(2));
}

void TestTagRecord::countMinusOneStopsAtZero() {
    TagInfo tag;
    tag.SetFrameWide("TIT2", Units("ab|cd"), -1);
    QCOMPARE(tag.FindFrame("TIT2", nullptr), QString("ab"));
    const char16_t wide[] = u"Ωmega";
    tag.SetFrameWide("TALB", wide, -1);
    QCOMPARE(tag.FindFrame("TALB", nullptr), QString::fromUtf16(wide));
    tag.SetFrameLatin1("TPE1", "\xE9t\xE9", 3);
    QCOMPARE(tag.FindFrame("TPE1", nullptr), QString::fromUtf8("été"));
}

void TestTagRecord::clearKeepsFileFacts() {
    TagInfo tag;
    tag.hasV1 = tag.hasV2 = true;
    tag.tagSize = 99;
    tag.path = "/x/y.mp3";
    tag.SetFrameWide("*", tag.path, -1);
    tag.SetFrameLatin1("TIT2", "a", -1);
    tag.Clear();
    QVERIFY(tag.frames.empty());
    QVERIFY(tag.hasV1 && tag.hasV2);
    QCOMPARE(tag.tagSize, 99);
    QCOMPARE(tag.path, QString("/x/y.mp3"));
}

void TestTagRecord::genreNames_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("name");
    QTest::newRow("0") << 0 << "Blues";
    QTest::newRow("40") << 40 << "AlternRock";
    QTest::newRow("59") << 59 << "Gangsta";
    QTest::newRow("67") << 67 << "Psychadelic";
    QTest::newRow("79") << 79 << "Hard Rock";
    QTest::newRow("80") << 80 << "Folk";
    QTest::newRow("85") << 85 << "Bebob";
    QTest::newRow("93") << 93 << "Psychedelic Rock";
    QTest::newRow("109") << 109 << "Porn Groove";
    QTest::newRow("123") << 123 << "A capella";
    QTest::newRow("125") << 125 << "Dance Hall";
    QTest::newRow("126") << 126 << QString();
    QTest::newRow("255") << 255 << QString();
    QTest::newRow("-1") << -1 << QString();
}

void TestTagRecord::genreNames() {
    QFETCH(int, index);
    QFETCH(QString, name);
    const char* got = GenreName(index);
    QCOMPARE(got ? QString::fromLatin1(got) : QString(), name);
    if (got)
        QVERIFY(std::strlen(got) < 32);
}

void TestTagRecord::latin1RoundTrip() {
    QByteArray all(256, '\0');
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    const QString wide = Latin1ToWide(all);
    QCOMPARE(wide.size(), 256);
    QCOMPARE(wide[0xE9].unicode(), char16_t(0xE9));
    bool fit = false;
    QCOMPARE(WideToLatin1(wide, &fit), all);
    QVERIFY(fit);
}

void TestTagRecord::wideToLatin1Reports_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("fits");
    QTest::newRow("ascii") << "abc" << true;
    QTest::newRow("accents") << QString::fromUtf8("Ãéÿ") << true;
    QTest::newRow("omega") << QString::fromUtf8("aΩ") << false;
    QTest::newRow("euro") << QString::fromUtf8("€") << false;
    QTest::newRow("first above ff") << QString(QChar(0x100)) << false;
}

void TestTagRecord::wideToLatin1Reports() {
    QFETCH(QString, text);
    QFETCH(bool, fits);
    bool fit = !fits;
    const QByteArray bytes = WideToLatin1(text, &fit);
    QCOMPARE(fit, fits);
    QCOMPARE(bytes.size(), text.size());
}

void TestTagRecord::synchsafe_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("value");
    QTest::newRow("257") << QByteArray("\x00\x00\x02\x01", 4) << 257;
    QTest::newRow("zero") << QByteArray(4, '\0') << 0;
    QTest::newRow("max") << QByteArray("\x7F\x7F\x7F\x7F", 4) << 268435455;
    QTest::newRow("top bit first") << QByteArray("\x80\x00\x00\x00", 4) << -1;
    QTest::newRow("top bit last") << QByteArray("\x00\x00\x00\x80", 4) << -1;
}

void TestTagRecord::synchsafe() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, value);
    QCOMPARE(DecodeSynchsafe(bytes.constData()), value);
    if (value >= 0)
        QCOMPARE(EncodeSynchsafe(quint32(value)), bytes);
}

QTEST_GUILESS_MAIN(TestTagRecord)
#include "test_tag_record.moc"
