#include "transform/parseinputs.h"

#include <QTest>

namespace {

FieldValues defaultFormats() {
    FieldValues formats;
    for (int f = 0; f < FieldCount; ++f)
        formats[f] = fieldCode(f);
    return formats;
}

// "%A=x" entries, sorted, so that map order cannot matter.
QStringList entries(const CodeMap& codes) {
    QStringList out;
    for (auto it = codes.begin(); it != codes.end(); ++it)
        out << it.key() + QLatin1Char('=') + it.value().value;
    out.sort();
    return out;
}

using Overrides = QList<std::pair<int, QString>>;

} // namespace

class TestParseInputs : public QObject {
    Q_OBJECT
private slots:
    // One field (Filename) is parsed with a format; all others have empty formats.
    void singleField_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QStringList>("codes");

        QTest::newRow("last code takes the rest")
            << "%A - %T"
            << "Artist - Song - Live" << QStringList{"%A=Artist", "%T=Song - Live"};
        QTest::newRow("literal missing gives nothing") << "%A - %T"
                                                       << "Song" << QStringList{};
        QTest::newRow("text after last literal ignored") << "%A-"
                                                         << "x-y" << QStringList{"%A=x"};
        QTest::newRow("leading literal must open input") << "(%#) %T"
                                                         << "Song (1)" << QStringList{};
        QTest::newRow("leading literal matches") << "(%#) %T"
                                                 << "(1) Song" << QStringList{"%#=1", "%T=Song"};
        QTest::newRow("input shorter than leading literal") << "abc%A"
                                                            << "ab" << QStringList{};
        QTest::newRow("stop keeps earlier codes") << "%A - %T (%C)"
                                                  << "A - B" << QStringList{"%A=A"};
        QTest::newRow("repeated %C keeps the last") << "%C - %T - %C"
                                                    << "x - y - z" << QStringList{"%C=z", "%T=y"};
        QTest::newRow("format error parses the tokens before it")
            << "%A%T"
            << "whole input" << QStringList{"%A=whole input"};
        QTest::newRow("literals are case-sensitive") << "%A feat. %T"
                                                     << "X Feat. Y" << QStringList{};
        QTest::newRow("empty input gives empty code") << "%A"
                                                      << "" << QStringList{"%A="};
        QTest::newRow("empty piece before literal") << "%A - %T"
                                                    << " - Song" << QStringList{"%A=", "%T=Song"};
        QTest::newRow("percent percent is a code") << "%%"
                                                   << "50" << QStringList{"%%=50"};
        QTest::newRow("CJK and emoji literals")
            << "%A「%T」"
            << "歌手「\U0001F3B5曲」おまけ" << QStringList{"%A=歌手", "%T=\U0001F3B5曲"};
        QTest::newRow("literal only format stores nothing") << "abc"
                                                            << "abcdef" << QStringList{};
    }
    void singleField() {
        QFETCH(QString, format);
        QFETCH(QString, input);
        QFETCH(QStringList, codes);
        FieldValues inputs, formats;
        inputs[FieldFilename] = input;
        formats[FieldFilename] = format;
        CodeMap map;
        QVERIFY(ParseInputs(inputs, formats, false, map));
        QCOMPARE(entries(map), codes);
        for (const CodeEntry& entry : map)
            QCOMPARE(entry.source, int(FieldFilename));
    }

    void wholeRun_data() {
        QTest::addColumn<Overrides>("overrides");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QStringList>("codes");

        QTest::newRow("defaults give each field its own code")
            << Overrides{} << true << QStringList{}
            << QStringList{"%#=3",   "%A=art", "%B=alb", "%F=03 - tit",
                           "%G=gen", "%L=/m",  "%T=tit", "%Y=1999"};
        QTest::newRow("filename supplies title: fails at Title")
            << Overrides{{FieldFilename, "%# - %T"}} << false
            << QStringList{"%T is created from multiple input fields"}
            << QStringList{"%#=03", "%A=art", "%L=/m", "%T=tit"};
        QTest::newRow("title emptied: fails at Track")
            << Overrides{{FieldFilename, "%# - %T"}, {FieldTitle, ""}} << false
            << QStringList{"%# is created from multiple input fields"}
            << QStringList{"%#=03", "%A=art", "%B=alb", "%G=gen", "%L=/m", "%T=tit", "%Y=1999"};
        QTest::newRow("title and track emptied: succeeds")
            << Overrides{{FieldFilename, "%# - %T"}, {FieldTitle, ""}, {FieldTrack, ""}} << true
            << QStringList{}
            << QStringList{"%#=03", "%A=art", "%B=alb", "%G=gen", "%L=/m", "%T=tit", "%Y=1999"};
        QTest::newRow("unmatched repeat produces nothing")
            << Overrides{{FieldArtist, "%X - %X"}} << true << QStringList{}
            << QStringList{"%#=3", "%B=alb", "%F=03 - tit", "%G=gen", "%L=/m", "%T=tit", "%Y=1999"};
        QTest::newRow("later formats not tokenized after a duplicate")
            << Overrides{{FieldArtist, "%L"}, {FieldAlbum, "%B%%"}} << false
            << QStringList{"%L is created from multiple input fields"}
            << QStringList{"%F=03 - tit", "%L=/m"};
        QTest::newRow("%C from several fields is allowed")
            << Overrides{{FieldArtist, "%C"}, {FieldAlbum, "%C"}} << true << QStringList{}
            << QStringList{"%#=3", "%C=alb", "%F=03 - tit", "%G=gen", "%L=/m", "%T=tit", "%Y=1999"};
    }
    void wholeRun() {
        QFETCH(Overrides, overrides);
        QFETCH(bool, result);
        QFETCH(QStringList, messages);
        QFETCH(QStringList, codes);
        const FieldValues inputs = {"/m", "03 - tit", "art", "tit", "alb", "gen", "1999", "3"};
        FieldValues formats = defaultFormats();
        for (const auto& [field, format] : overrides)
            formats[field] = format;
        CodeMap map;
        QStringList shown;
        QCOMPARE(ParseInputs(inputs, formats, true, map, [&](const QString& m) { shown << m; }),
                 result);
        QCOMPARE(shown, messages);
        QCOMPARE(entries(map), codes);
    }

    void sameCodeTwiceInOneFieldFails() {
        FieldValues inputs, formats;
        inputs[FieldArtist] = QStringLiteral("a - b");
        formats[FieldArtist] = QStringLiteral("%A - %A");
        CodeMap map;
        QStringList shown;
        QVERIFY(!ParseInputs(inputs, formats, true, map, [&](const QString& m) { shown << m; }));
        QCOMPARE(shown, QStringList{"%A is created from multiple input fields"});
        // Quietly: the same result, no message.
        shown.clear();
        map.clear();
        QVERIFY(!ParseInputs(inputs, formats, false, map, [&](const QString& m) { shown << m; }));
        QVERIFY(shown.isEmpty());
    }

    void codeRemembersItsField() {
        FieldValues inputs, formats;
        inputs[FieldLocation] = QStringLiteral("/music/Rock");
        formats[FieldLocation] = QStringLiteral("/music/%G");
        inputs[FieldTitle] = QStringLiteral("x - y");
        formats[FieldTitle] = QStringLiteral("%C - %C");
        CodeMap map;
        QVERIFY(ParseInputs(inputs, formats, false, map));
        QCOMPARE(map.value("%G").source, int(FieldLocation));
        QCOMPARE(map.value("%C").source, int(FieldTitle));
        QCOMPARE(map.value("%C").value, QStringLiteral("y"));
    }
};

QTEST_GUILESS_MAIN(TestParseInputs)
#include "test_parse_inputs.moc"
