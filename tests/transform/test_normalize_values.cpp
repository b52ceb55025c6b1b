#include "transform/asciionly.h"
#include "transform/fields.h"
#include "transform/normalizevalues.h"
#include "transform/removecharacters.h"
#include "transform/separator.h"
#include "transform/splitwords.h"
#include "transform/tracknumber.h"

#include <QTest>

namespace {

bool hasLoneSurrogate(const QString& s) {
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate())
            ++i;
        else if (s.at(i).isSurrogate())
            return true;
    }
    return false;
}

} // namespace

class TestNormalizeValues : public QObject {
    Q_OBJECT
private slots:
    void splitWords_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QStringList>("words");

        QTest::newRow("empty") << "" << QStringList{};
        QTest::newRow("separators only") << " -_ _" << QStringList{};
        QTest::newRow("underscores") << "the_river_band" << QStringList{"the", "river", "band"};
        QTest::newRow("leading and trailing separators") << "  a--b__ " << QStringList{"a", "b"};
        QTest::newRow("lower to upper breaks") << "OneTwo" << QStringList{"One", "Two"};
        QTest::newRow("upper run then lower stays") << "ABc" << QStringList{"ABc"};
        QTest::newRow("after upper-lower a capital breaks") << "ABcD" << QStringList{"ABc", "D"};
        QTest::newRow("single lower then upper") << "eBook" << QStringList{"e", "Book"};
        QTest::newRow("digits opening the value") << "4ever" << QStringList{"4", "ever"};
        QTest::newRow("neutral after separator")
            << "Song (Live)" << QStringList{"Song", "(", "Live)"};
        QTest::newRow("punctuation stays in the word")
            << "Don't U.S.A. Track01" << QStringList{"Don't", "U.S.A.", "Track01"};
        QTest::newRow("digits only") << "1999" << QStringList{"1999"};
        QTest::newRow("tab is neutral") << "a\tb" << QStringList{"a\tb"};
        QTest::newRow("accented capital is upper") << "ÉTÉ été" << QStringList{"ÉTÉ", "été"};
        QTest::newRow("greek case change breaks")
            << "καλημέραΚόσμε" << QStringList{"καλημέρα", "Κόσμε"};
        QTest::newRow("CJK is neutral") << "歌手 名前" << QStringList{"歌手", "名前"};
        QTest::newRow("CJK then latin after start") << "東京Tokyo" << QStringList{"東京", "Tokyo"};
        QTest::newRow("ordinal and micro are punctuation")
            << "1ª µsec" << QStringList{"1ª", "µ", "sec"};
        QTest::newRow("emoji pair is one neutral character")
            << "\U0001F3B5-love\U0001F3B5" << QStringList{"\U0001F3B5", "love\U0001F3B5"};
        QTest::newRow("supplementary letters classified whole")
            << "\U00010428\U00010400" << QStringList{"\U00010428", "\U00010400"};
    }
    void splitWords() {
        QFETCH(QString, value);
        QFETCH(QStringList, words);
        const QStringList got = SplitWords(value);
        QCOMPARE(got, words);
        for (const QString& w : got)
            QVERIFY2(!hasLoneSurrogate(w), qPrintable(w));
    }

    void values_data() {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("ansi");
        QTest::addColumn<int>("caseMode");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("expected");

        QTest::newRow("title case") << "%A"
                                    << "the_river_band" << 0 << 0 << "SPACE"
                                    << "The River Band";
        QTest::newRow("shouting title") << "%T"
                                        << "HELP!" << 0 << 0 << "SPACE"
                                        << "Help!";
        QTest::newRow("filename dash") << "%F"
                                       << "01 - help" << 0 << 0 << "SPACE"
                                       << "01 Help";
        QTest::newRow("bracket word") << "%T"
                                      << "Song (Live)" << 0 << 0 << "SPACE"
                                      << "Song ( Live)";
        QTest::newRow("eBook") << "%T"
                               << "eBook" << 0 << 0 << "SPACE"
                               << "E Book";
        QTest::newRow("4ever") << "%T"
                               << "4ever" << 0 << 0 << "SPACE"
                               << "4 Ever";
        QTest::newRow("U.S.A.") << "%T"
                                << "U.S.A." << 0 << 0 << "SPACE"
                                << "U.s.a.";
        QTest::newRow("accented capitals lowered") << "%T"
                                                   << "ÉTÉ" << 0 << 0 << "SPACE"
                                                   << "Été";
        QTest::newRow("accented first letter raised") << "%A"
                                                      << "édith piaf" << 0 << 0 << "SPACE"
                                                      << "Édith Piaf";
        QTest::newRow("greek upper") << "%T"
                                     << "αβγ δέλτα" << 0 << 2 << "SPACE"
                                     << "ΑΒΓ ΔΈΛΤΑ";
        // They count as punctuation here: no case of their own.
        QTest::newRow("micro sign and ordinal indicators keep their form")
            << "%T" << QString::fromUtf8("5µm 2ª 1º") << 0 << 2 << "SPACE"
            << QString::fromUtf8("5µ M 2ª 1º");
        QTest::newRow("title-case digraph keeps its form")
            << "%T" << QString::fromUtf8("ǅemal") << 0 << 1 << "SPACE"
            << QString::fromUtf8("ǅ emal");
        QTest::newRow("longer case forms stay") << "%T"
                                                << "ßa İİ ﬁx" << 0 << 0 << "SPACE"
                                                << "ßa İİ ﬁx";
        QTest::newRow("supplementary letters change case")
            << "%T"
            << "\U00010428\U00010428 \U00010400\U00010400" << 0 << 0 << "SPACE"
            << "\U00010400\U00010428 \U00010400\U00010428";
        QTest::newRow("separator run gives one") << "%T"
                                                 << "a  b" << 0 << 0 << "SPACE"
                                                 << "A B";
        QTest::newRow("separators only become empty") << "%T"
                                                      << " - _" << 0 << 0 << "SPACE"
                                                      << "";
        QTest::newRow("upper with dash") << "%A"
                                         << "the river band" << 0 << 2 << "-(dash)"
                                         << "THE-RIVER-BAND";
        QTest::newRow("lower with underscore") << "%A"
                                               << "The River Band" << 0 << 1 << "_(underscore)"
                                               << "the_river_band";
        QTest::newRow("NONE joins") << "%A"
                                    << "the river band" << 0 << 0 << "NONE"
                                    << "TheRiverBand";
        QTest::newRow("typed separator") << "%A"
                                         << "the river band" << 0 << 0 << " + "
                                         << "The + River + Band";
        QTest::newRow("empty separator text joins") << "%A"
                                                    << "the river" << 0 << 0 << ""
                                                    << "TheRiver";
        QTest::newRow("names compare case-sensitively") << "%A"
                                                        << "a b" << 0 << 0 << "space"
                                                        << "AspaceB";
        QTest::newRow("keep original ignores separator") << "%T"
                                                         << "the_river band" << 0 << 3 << "NONE"
                                                         << "the_river band";
        QTest::newRow("case index out of range acts as title") << "%T"
                                                               << "the END" << 0 << 7 << "SPACE"
                                                               << "The End";
        QTest::newRow("negative case index acts as title") << "%T"
                                                           << "the END" << 0 << -1 << "SPACE"
                                                           << "The End";
        QTest::newRow("invented code normalised") << "%x"
                                                  << "big deal" << 0 << 2 << "SPACE"
                                                  << "BIG DEAL";
        QTest::newRow("%C normalised") << "%C"
                                       << "big deal" << 0 << 0 << "SPACE"
                                       << "Big Deal";
        QTest::newRow("genre as parsed") << "%G"
                                         << "hard_rock" << 1 << 2 << "NONE"
                                         << "hard_rock";
        QTest::newRow("year as parsed") << "%Y"
                                        << "  1999é" << 1 << 0 << "SPACE"
                                        << "  1999é";
        QTest::newRow("location as parsed") << "%L"
                                            << "/müsic/a b" << 1 << 0 << "NONE"
                                            << "/müsic/a b";
        QTest::newRow("track two digits") << "%#"
                                          << "1/14" << 1 << 2 << "NONE"
                                          << "01";
        QTest::newRow("track keeps more digits with keep case") << "%#"
                                                                << "123" << 0 << 3 << "SPACE"
                                                                << "123";
        QTest::newRow("ansi drops accents") << "%T"
                                            << "Café Noël" << 1 << 3 << "SPACE"
                                            << "Cafe Noel";
        QTest::newRow("ansi then split and case") << "%T"
                                                  << "ÉTÉ" << 1 << 0 << "SPACE"
                                                  << "Ete";
        QTest::newRow("ansi question marks") << "%T"
                                             << "Ωmega 曲" << 1 << 3 << "SPACE"
                                             << "?mega ?";
        QTest::newRow("ansi one mark per emoji") << "%T"
                                                 << "a\U0001F3B5b" << 1 << 3 << "SPACE"
                                                 << "a?b";
        QTest::newRow("emoji kept without ansi") << "%T"
                                                 << "\U0001F3B5 love" << 0 << 0 << "SPACE"
                                                 << "\U0001F3B5 Love";
    }
    void values() {
        QFETCH(QString, code);
        QFETCH(QString, value);
        QFETCH(int, ansi);
        QFETCH(int, caseMode);
        QFETCH(QString, separator);
        QFETCH(QString, expected);
        CodeMap codes;
        codes.insert(code, CodeEntry{value, FieldTitle});
        codes.insert(QStringLiteral("%Z"), CodeEntry{QStringLiteral("other value"), FieldArtist});
        NormalizeValues(codes, TransformOptions{ansi, caseMode, separator});
        QCOMPARE(codes.value(code).value, expected);
        QCOMPARE(codes.value(code).source, int(FieldTitle));
        QVERIFY(!hasLoneSurrogate(codes.value(code).value));
    }

    void trackNumber_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty is no track") << ""
                                           << "";
        QTest::newRow("of total") << "1/14"
                                  << "01";
        QTest::newRow("three digits") << "123"
                                      << "123";
        QTest::newRow("letters are no track") << "abc"
                                              << "";
        QTest::newRow("number after letters") << "CD1 track 3"
                                              << "00";
        QTest::newRow("number and total") << "3/12"
                                          << "03";
        QTest::newRow("leading space and plus") << "  +7x"
                                                << "07";
        QTest::newRow("negative one digit") << "-5"
                                            << "-5";
        QTest::newRow("negative two digits") << "-12"
                                             << "-12";
        QTest::newRow("minus zero") << "-0"
                                    << "00";
        QTest::newRow("leading zeros") << "0009"
                                       << "09";
        QTest::newRow("sign alone is no track") << "-"
                                                << "";
        QTest::newRow("space inside sign") << "- 3"
                                           << "00";
        QTest::newRow("saturates high") << "99999999999999999999"
                                        << "2147483647";
        QTest::newRow("int max") << "2147483647"
                                 << "2147483647";
        QTest::newRow("saturates low") << "-99999999999999999999"
                                       << "-2147483648";
        QTest::newRow("int min") << "-2147483648"
                                 << "-2147483648";
        QTest::newRow("non-ASCII digit is no track") << "٣"
                                                     << "";
    }
    void trackNumber() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        QCOMPARE(FormatTrackNumber(value), expected);
    }

    void asciiOnly_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ascii unchanged") << "Plain ASCII 123 !?"
                                         << "Plain ASCII 123 !?";
        QTest::newRow("precomposed accents") << "Ångström àéîõü Ç"
                                             << "Angstrom aeiou C";
        QTest::newRow("combining marks dropped") << "e\u0301a\u0308"
                                                 << "ea";
        QTest::newRow("letters without decomposition") << "Straße Æsir Øre Łódź Þór œuvre"
                                                       << "Strase Asir Ore Lodz Tor ouvre";
        QTest::newRow("compatibility forms") << "ﬁ ½ Ⅻ"
                                             << "fi 1?2 XII";
        QTest::newRow("typographic quotes and dashes") << "“a” ‘b’ – c"
                                                       << "\"a\" 'b' - c";
        QTest::newRow("greek and CJK") << "Ωμέγα 東京"
                                       << "????? ??";
        QTest::newRow("a Hangul syllable gives one mark") << "한국 노래 ㉮ ㈜ 각"
                                                          << "?? ?? ? (?) ?";
        QTest::newRow("emoji pairs give one mark each") << "\U0001F600\U0001F3B5"
                                                        << "??";
        QTest::newRow("lone surrogate") << QString(QChar(0xD800)) + "x"
                                        << "?x";
    }
    void asciiOnly() {
        QFETCH(QString, value);
        QFETCH(QString, expected);
        const QString got = ToAsciiOnly(value);
        QCOMPARE(got, expected);
        for (QChar c : got)
            QVERIFY(c.unicode() < 0x80);
    }

    void asciiOnlyLengthLimit() {
        QCOMPARE(ToAsciiOnly(QString(2047, QLatin1Char('a'))), QString(2047, QLatin1Char('a')));
        QCOMPARE(ToAsciiOnly(QString(2048, QLatin1Char('a'))), QString());
        // The limit is on the converted text: "ﬁ" becomes two characters.
        QCOMPARE(ToAsciiOnly(QString(1024, QChar(0xFB01))), QString());
        QCOMPARE(ToAsciiOnly(QString(2047, QChar(0xE9))), QString(2047, QLatin1Char('e')));
        QCOMPARE(ToAsciiOnly(QString(1000000, QChar(0xE9))), QString());
        // Dropped marks shorten the result: a long value may still fit.
        QCOMPARE(ToAsciiOnly(QString(1000000, QChar(0x0301)) + "ok"), QString("ok"));
    }

    // Long values are converted in pieces: no character, pair or
    // decomposition may be cut where a piece ends, wherever that is.
    void asciiOnlyPieces() {
        // The last three: a Hangul syllable given as its parts.
        const QString tail = QString::fromUtf8("\U0001F3B5ﬁe\u0301Ǆ\u1100\u1161\u11A8");
        for (int lead = 0; lead < 700; ++lead) {
            const QString got = ToAsciiOnly(QString(lead, QChar(0xE9)) + tail);
            QCOMPARE(got, QString(lead, QLatin1Char('e')) + "?fieDZ?");
        }
    }

    void separator_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("SPACE") << "SPACE"
                               << " ";
        QTest::newRow("NONE") << "NONE"
                              << "";
        QTest::newRow("underscore") << "_(underscore)"
                                    << "_";
        QTest::newRow("dash") << "-(dash)"
                              << "-";
        QTest::newRow("other text verbatim") << " & "
                                             << " & ";
        QTest::newRow("lower-case name is text") << "none"
                                                 << "none";
        QTest::newRow("empty") << ""
                               << "";
    }
    void separator() {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(ResolveSeparator(text), expected);
    }

    void removeCharacters_data() {
        QTest::addColumn<QString>("value");
        QTest::addColumn<bool>("location");
        QTest::addColumn<QString>("expected");
        QTest::newRow("filename loses eight") << "a/b\\c:d*e?f\"g<h>i|j" << false << "abcdefghi|j";
        QTest::newRow("location keeps slash and colon")
            << "D:\\Music/Rock*?\"<>|" << true << "D:Music/Rock|";
        QTest::newRow("nothing to remove") << "Ünïcode 曲" << false << "Ünïcode 曲";
    }
    void removeCharacters() {
        QFETCH(QString, value);
        QFETCH(bool, location);
        QFETCH(QString, expected);
        RemoveCharacters(value, location ? LocationRemovedCharacters : FilenameRemovedCharacters);
        QCOMPARE(value, expected);
    }
};

QTEST_GUILESS_MAIN(TestNormalizeValues)
#include "test_normalize_values.moc"
