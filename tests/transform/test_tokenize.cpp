#include "transform/tokenize.h"

#include <QTest>

class TestTokenize : public QObject {
    Q_OBJECT
private slots:
    void tokens_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("tokens");
        QTest::addColumn<QStringList>("messages");

        const QString missing = QStringLiteral(" Need a character after % sign");
        const QString adjacent = QStringLiteral(" Two format string together, cannot parse");
        auto msg = [](const QString& format, const QString& tail) {
            return QStringList{QStringLiteral("Invalid format: ") + format + tail};
        };

        QTest::newRow("empty") << "" << QStringList{} << QStringList{};
        QTest::newRow("literal only") << "abc" << QStringList{"abc"} << QStringList{};
        QTest::newRow("code literal code")
            << "%A - %T" << QStringList{"%A", " - ", "%T"} << QStringList{};
        QTest::newRow("literals around codes")
            << "(%#) %T.mp3" << QStringList{"(", "%#", ") ", "%T", ".mp3"} << QStringList{};
        QTest::newRow("adjacent codes") << "%A%T" << QStringList{"%A"} << msg("%A%T", adjacent);
        QTest::newRow("trailing percent drops literal before it")
            << "%A -%" << QStringList{"%A"} << msg("%A -%", missing);
        QTest::newRow("percent at end only") << "100%" << QStringList{} << msg("100%", missing);
        QTest::newRow("space is no code character")
            << "% A" << QStringList{} << msg("% A", missing);
        QTest::newRow("tab is no code character")
            << "x%\tA" << QStringList{} << msg("x%\tA", missing);
        QTest::newRow("percent percent is a code")
            << "a%%b" << QStringList{"a", "%%", "b"} << QStringList{};
        QTest::newRow("percent percent then code")
            << "%%%A" << QStringList{"%%"} << msg("%%%A", adjacent);
        QTest::newRow("case matters") << "%a-%A" << QStringList{"%a", "-", "%A"} << QStringList{};
        QTest::newRow("accented code character") << "%é" << QStringList{"%é"} << QStringList{};
        QTest::newRow("emoji code character keeps its pair")
            << "%\U0001F3B5 x" << QStringList{"%\U0001F3B5", " x"} << QStringList{};
        QTest::newRow("later error keeps earlier tokens")
            << "%A - %T%Y" << QStringList{"%A", " - ", "%T"} << msg("%A - %T%Y", adjacent);
    }
    void tokens() {
        QFETCH(QString, format);
        QFETCH(QStringList, tokens);
        QFETCH(QStringList, messages);
        TokenList got;
        QStringList shown;
        Tokenize(format, got, true, [&](const QString& m) { shown << m; });
        QCOMPARE(got, tokens);
        QCOMPARE(shown, messages);
        // Without errors the tokens rebuild the format exactly.
        if (messages.isEmpty())
            QCOMPARE(got.join(QString()), format);

        // Quiet: same tokens, nothing shown.
        TokenList quiet;
        shown.clear();
        Tokenize(format, quiet, false, [&](const QString& m) { shown << m; });
        QCOMPARE(quiet, tokens);
        QVERIFY(shown.isEmpty());
    }

    void longFormatIsCutButQuotedWhole() {
        // 3000 characters, the "%" is the 2047th: cut there, it lacks its code character.
        const QString format = QString(2046, QLatin1Char('x')) + QStringLiteral("%A") +
                               QString(3000 - 2048, QLatin1Char('y'));
        QCOMPARE(format.size(), 3000);
        TokenList tokens;
        QStringList shown;
        Tokenize(format, tokens, true, [&](const QString& m) { shown << m; });
        QVERIFY(tokens.isEmpty());
        QCOMPARE(shown,
                 QStringList{"Invalid format: " + format + " Need a character after % sign"});

        // A clean long format takes part with its first 2047 characters.
        const QString plain = QStringLiteral("%A") + QString(2998, QLatin1Char('z'));
        tokens.clear();
        Tokenize(plain, tokens, true, [&](const QString& m) { shown << m; });
        QCOMPARE(tokens, (QStringList{"%A", QString(2045, QLatin1Char('z'))}));
    }

    void cutNeverSplitsSurrogatePair() {
        // The 2047th unit is the high half of an emoji: the whole pair goes.
        const QString format = QString(2046, QLatin1Char('x')) + QStringLiteral("\U0001F600tail");
        TokenList tokens;
        Tokenize(format, tokens, false);
        QCOMPARE(tokens, QStringList{QString(2046, QLatin1Char('x'))});
    }
};

QTEST_GUILESS_MAIN(TestTokenize)
#include "test_tokenize.moc"
