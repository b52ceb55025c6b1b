#include "runoptions.h"

#include <QTest>

class TestRunOptions : public QObject {
    Q_OBJECT
private slots:
    void appliesOnlyWhatWasGiven() {
        QStringList args = {"a.mp3",
                            "--parse",
                            "Filename=%# - %T",
                            "--create=TITLE=%T!",
                            "--case",
                            "upper",
                            "--separator",
                            "_(underscore)",
                            "--ansi",
                            "--clear-v1",
                            "--profile",
                            "Car",
                            "b.mp3",
                            "--no-ansi",
                            "--",
                            "--ansi"};
        RunOptions options;
        QString error;
        QVERIFY2(takeRunOptions(args, options, error), qPrintable(error));
        QCOMPARE(args, (QStringList{"a.mp3", "b.mp3", "--", "--ansi"}));
        QCOMPARE(options.profileName.value_or(QString()), QStringLiteral("Car"));

        Profile p = Profile::withDefaults(QStringLiteral("x"));
        p.clearOtherV2 = 1;
        options.applyTo(p);
        QCOMPARE(p.parse[FieldFilename], QStringLiteral("%# - %T"));
        QCOMPARE(p.create[FieldTitle], QStringLiteral("%T!"));
        QCOMPARE(p.parse[FieldTitle], QStringLiteral("%T"));
        QCOMPARE(p.caseMode, int(CaseUpper));
        QCOMPARE(p.separator, QStringLiteral("_(underscore)"));
        QCOMPARE(p.ansi, 0); // the later --no-ansi wins
        QCOMPARE(p.clearV1, 1);
        QCOMPARE(p.clearOtherV2, 1); // not given: left alone
    }

    void refusesMalformedOptions_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("unknown field") << QStringList{"--parse", "composer=%C"} << "FIELD=FORMAT";
        QTest::newRow("no equals") << QStringList{"--create", "title"} << "FIELD=FORMAT";
        QTest::newRow("missing value") << QStringList{"--separator"} << "needs a value";
        QTest::newRow("bad case") << QStringList{"--case", "sentence"} << "--case takes";
    }
    void refusesMalformedOptions() {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        RunOptions options;
        QString error;
        QVERIFY(!takeRunOptions(args, options, error));
        QVERIFY2(error.contains(reason), qPrintable(error));
    }
};

QTEST_GUILESS_MAIN(TestRunOptions)
#include "test_run_options.moc"
