#include "clirun.h"
#include "immutablefile.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Result {
    int status = -1;
    QString out;
    QString err;
};

QProcessEnvironment environmentFor(const QString& configHome) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", configHome);
    return env;
}

Result run(const QString& configHome, const QStringList& args,
           const QString& program = QStringLiteral(QUORVEL_CLI_PATH)) {
    QProcess p;
    p.setProcessEnvironment(environmentFor(configHome));
    p.start(program, QStringList{"profile"} + args);
    Result r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.status = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QByteArray threeProfiles = "[General]\nLastProfile=b\n[A]\nCase=1\n[B]\nCase=2\n"
                                 "Field1_1=%# - %T\n[C]\nCase=3\n";

} // namespace

class TestProfileCli : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> home;
    QString storeFile;

    void seed(const QByteArray& ini) {
        QVERIFY(QDir().mkpath(home->filePath("Norvesta")));
        QFile f(storeFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini);
    }

private slots:
    void init() {
        home = std::make_unique<QTemporaryDir>();
        QVERIFY(home->isValid());
        storeFile = home->filePath("Norvesta/quorvel.conf");
    }

    void commands_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("errHas");
        QTest::addColumn<bool>("storeUnchanged");
        QTest::newRow("list empty store") << QByteArray() << QStringList{"list"} << 0 << ""
                                          << "" << true;
        QTest::newRow("list") << threeProfiles << QStringList{"list"} << 0 << "A\nB\nC\n"
                              << "" << true;
        QTest::newRow("show unknown") << threeProfiles << QStringList{"show", "D"} << 1 << ""
                                      << "unknown profile \"D\"" << true;
        QTest::newRow("show without name") << threeProfiles << QStringList{"show"} << 2 << ""
                                           << "needs one profile NAME" << true;
        QTest::newRow("show two names") << threeProfiles << QStringList{"show", "A", "B"} << 2 << ""
                                        << "needs one profile NAME" << true;
        QTest::newRow("delete the only profile")
            << QByteArray("[Solo]\nCase=1\n") << QStringList{"delete", "solo"} << 1 << ""
            << "At least 1 profile should always exist" << true;
        QTest::newRow("delete unknown") << threeProfiles << QStringList{"delete", "D"} << 1 << ""
                                        << "unknown profile \"D\"" << true;
        QTest::newRow("delete in an empty store")
            << QByteArray() << QStringList{"delete", "Default"} << 1 << ""
            << "At least 1 profile should always exist" << true;
        // What an empty store runs on can be named and shown.
        const QStringList codes{"%L", "%F", "%A", "%T", "%B", "%G", "%Y", "%#"};
        QString defaults = "name=Default\n";
        for (int row = 1; row <= 2; ++row) {
            for (int i = 0; i < 8; ++i)
                defaults += QString("Field%1_%2=%3\n").arg(row).arg(i).arg(codes[i]);
        }
        defaults += "Separator=SPACE\nCase=0\nANSI=0\nClearOtherV2=0\nClearV1=0\n";
        QTest::newRow("show Default in an empty store")
            << QByteArray() << QStringList{"show", "default"} << 0 << defaults << "" << true;
        QTest::newRow("save with a bad case")
            << threeProfiles << QStringList{"save", "A", "--case", "odd"} << 2 << ""
            << "--case takes" << true;
        QTest::newRow("save with --profile")
            << threeProfiles << QStringList{"save", "A", "--profile", "B"} << 2 << ""
            << "not --profile" << true;
        QTest::newRow("save with an unknown option")
            << threeProfiles << QStringList{"save", "A", "--frob"} << 2 << ""
            << "unknown option '--frob'" << true;
        QTest::newRow("unknown subcommand") << threeProfiles << QStringList{"rename"} << 2 << ""
                                            << "unknown profile command" << true;
        QTest::newRow("no subcommand") << threeProfiles << QStringList{} << 2 << ""
                                       << "needs list, show, save or delete" << true;
        QTest::newRow("show in text")
            << threeProfiles << QStringList{"show", "b"} << 0
            << "name=B\nField1_0=%L\nField1_1=%# - %T\nField1_2=%A\nField1_3=%T\nField1_4=%B\n"
               "Field1_5=%G\nField1_6=%Y\nField1_7=%#\nField2_0=%L\nField2_1=%F\nField2_2=%A\n"
               "Field2_3=%T\nField2_4=%B\nField2_5=%G\nField2_6=%Y\nField2_7=%#\n"
               "Separator=SPACE\nCase=2\nANSI=0\nClearOtherV2=0\nClearV1=0\n"
            << "" << true;
        QTest::newRow("delete") << threeProfiles << QStringList{"delete", "a"} << 0 << ""
                                << "" << false;
        // A store that cannot be parsed is said to be so, not shown as empty.
        const QByteArray damaged = "[A]\nCase=2\n[B\nCase=3\n";
        for (const QStringList& args : {QStringList{"list"}, QStringList{"show", "A"},
                                        QStringList{"delete", "A"}, QStringList{"save", "A"}}) {
            QTest::addRow("%s in a damaged store", qPrintable(args.first()))
                << damaged << args << 1 << ""
                << "cannot read the settings store" << true;
        }
    }
    void commands() {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, errHas);
        QFETCH(bool, storeUnchanged);
        if (!ini.isEmpty())
            seed(ini);
        const Result r = run(home->path(), args);
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, out);
        QVERIFY2(r.err.contains(errHas), qPrintable(r.err));
        QCOMPARE(readAll(storeFile) == ini, storeUnchanged);
    }

    // A store that can be read but not written is said to be so.
    void saveToReadOnlyStore() {
        seed(threeProfiles);
        ImmutableFile readOnly;
        if (!readOnly.protect(storeFile))
            QSKIP("the store cannot be made read-only here");
        const Result saved = run(home->path(), {"save", "A", "--case", "upper"});
        QCOMPARE(saved.status, 1);
        QVERIFY2(saved.err.contains("cannot write the settings store"), qPrintable(saved.err));
        QCOMPARE(readAll(storeFile), threeProfiles);
        QCOMPARE(run(home->path(), {"list"}).status, 0);
    }

    // Bytes that are no UTF-8 cannot be kept by the store: refused, not
    // dropped while the save says it was done.
    void savedTextMustBeUtf8_data() {
        QTest::addColumn<QList<QByteArray>>("args");
        QTest::newRow("name") << QList<QByteArray>{"caf\xe9"};
        QTest::newRow("separator") << QList<QByteArray>{"A", "--separator", "\xe9"};
        QTest::newRow("format") << QList<QByteArray>{"A", "--create", "title=%T\xff"};
    }
    void savedTextMustBeUtf8() {
        QFETCH(QList<QByteArray>, args);
        seed(threeProfiles);
        const bool hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
        const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->path()));
        const CliRun r = RunCliBytes(QList<QByteArray>{"profile", "save"} + args);
        if (hadConfigHome)
            qputenv("XDG_CONFIG_HOME", configHome);
        else
            qunsetenv("XDG_CONFIG_HOME");
        QCOMPARE(r.status, 2);
        QVERIFY2(r.err.contains("must be UTF-8"), r.err.constData());
        QCOMPARE(readAll(storeFile), threeProfiles);
    }

    // Names and formats come from the user or a hand-edited file: text
    // output shows their control characters as "?", JSON keeps them, and a
    // name after "--" is a name even when it reads as an option.
    void oddNames() {
        const QString escape = QStringLiteral("a\x1b[2Jb");
        QCOMPARE(run(home->path(), {"save", escape, "--create", "title=%T\n"}).status, 0);
        QCOMPARE(run(home->path(), {"save", "--", "--json"}).status, 0);
        const Result listed = run(home->path(), {"list"});
        QCOMPARE(listed.status, 0);
        QCOMPARE(listed.out, QString("--json\na?[2Jb\n"));
        const Result shown = run(home->path(), {"show", escape});
        QCOMPARE(shown.status, 0);
        QVERIFY2(shown.out.startsWith("name=a?[2Jb\n"), qPrintable(shown.out));
        QVERIFY2(shown.out.contains("\nField2_3=%T?\n"), qPrintable(shown.out));
        const Result json = run(home->path(), {"list", "--json"});
        QCOMPARE(
            QJsonDocument::fromJson(json.out.toUtf8()).array()[1].toObject()["name"].toString(),
            escape);
        const Result dashed = run(home->path(), {"show", "--", "--json"});
        QCOMPARE(dashed.status, 0);
        QVERIFY2(dashed.out.startsWith("name=--json\n"), qPrintable(dashed.out));
        const Result dashedJson = run(home->path(), {"show", "--json", "--", "--json"});
        QCOMPARE(dashedJson.status, 0);
        QCOMPARE(QJsonDocument::fromJson(dashedJson.out.toUtf8()).object()["name"].toString(),
                 QString("--json"));
    }

    void saveThenShowAndList() {
        seed(threeProfiles);
        QCOMPARE(run(home->path(), {"save", "Car/USB", "--parse", "filename=%# - %A, %T",
                                    "--create", "location=/music/%A", "--case", "keep",
                                    "--separator", "-", "--ansi", "--clear-v1"})
                     .status,
                 0);
        // A second save under another case changes the same profile.
        QCOMPARE(run(home->path(), {"save", "car/usb", "--clear-other-v2"}).status, 0);
        const Result shown = run(home->path(), {"show", "CAR/usb", "--json"});
        QCOMPARE(shown.status, 0);
        const QJsonObject o = QJsonDocument::fromJson(shown.out.toUtf8()).object();
        QCOMPARE(o["name"].toString(), QString("Car/USB"));
        QCOMPARE(o["parse"].toArray().size(), 8);
        QCOMPARE(o["parse"].toArray()[1].toString(), QString("%# - %A, %T"));
        QCOMPARE(o["parse"].toArray()[0].toString(), QString("%L"));
        QCOMPARE(o["create"].toArray()[0].toString(), QString("/music/%A"));
        // Stored as the window stores it: the entry that "-" begins.
        QCOMPARE(o["Separator"].toString(), QString("-(dash)"));
        QCOMPARE(o["Case"].toInt(), 3);
        QCOMPARE(o["ANSI"].toInt(), 1);
        QCOMPARE(o["ClearOtherV2"].toInt(), 1);
        QCOMPARE(o["ClearV1"].toInt(), 1);
        QCOMPARE(o.size(), 8);

        const Result listed = run(home->path(), {"list", "--json"});
        QCOMPARE(listed.status, 0);
        QJsonArray expected;
        for (const char* name : {"A", "B", "C", "Car/USB"})
            expected.append(QJsonObject{{"name", name}, {"last", QString(name) == "B"}});
        QCOMPARE(QJsonDocument::fromJson(listed.out.toUtf8()).array(), expected);

        // "LastProfile" is left alone and the other profiles are untouched.
        QSettings raw(storeFile, QSettings::IniFormat);
        QCOMPARE(raw.value("LastProfile").toString(), QString("b"));
        QCOMPARE(raw.value("B/Field1_1").toString(), QString("%# - %T"));
        QCOMPARE(raw.value("A/Case").toInt(), 1);

        // A name that the settings file would give back as "General".
        QCOMPARE(run(home->path(), {"save", "general"}).status, 0);
        QVERIFY(run(home->path(), {"list"}).out.split('\n').contains("general"));
    }

    void deleteLeavesOthersAndLastProfile() {
        seed(threeProfiles + "[B/Sub]\nx=1\n");
        QCOMPARE(run(home->path(), {"delete", "B"}).status, 0);
        QSettings raw(storeFile, QSettings::IniFormat);
        QCOMPARE(raw.allKeys(), (QStringList{"A/Case", "C/Case", "LastProfile"}));
        QCOMPARE(run(home->path(), {"delete", "A"}).status, 0);
        QCOMPARE(run(home->path(), {"delete", "C"}).status, 1);
    }

    void damagedStoreIsLeftAlone() {
        const QByteArray damaged = "[A]\nCase=2\n[B\nCase=3\n";
        seed(damaged);
        QCOMPARE(run(home->path(), {"list"}).out, QString());
        QCOMPARE(run(home->path(), {"save", "New"}).status, 1);
        QCOMPARE(run(home->path(), {"delete", "A"}).status, 1);
        QCOMPARE(readAll(storeFile), damaged);
    }

    // Programs started at the same moment, each saving its own profile,
    // must all find their profile kept.
    void concurrentWritersKeepEveryProfile() {
        const int rounds = 3;
        const int writers = 6;
        QStringList names;
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> running;
            for (int w = 0; w < writers; ++w) {
                const QString name = QString("P%1_%2").arg(round).arg(w);
                names << name;
                auto p = std::make_unique<QProcess>();
                p->setProcessEnvironment(environmentFor(home->path()));
                p->start(QStringLiteral(QUORVEL_CLI_PATH),
                         {"profile", "save", name, "--separator", name});
                running.push_back(std::move(p));
            }
            for (auto& p : running) {
                QVERIFY(p->waitForFinished(60000));
                QCOMPARE(p->exitCode(), 0);
            }
        }
        names.sort();
        const Result listed = run(home->path(), {"list"});
        QCOMPARE(listed.out.split('\n', Qt::SkipEmptyParts), names);
        QSettings raw(storeFile, QSettings::IniFormat);
        for (const QString& name : names)
            QCOMPARE(raw.value(name + "/Separator").toString(), name);
    }

    void storeFollowsTheExecutableName() {
        QTemporaryDir bin;
        QVERIFY(bin.isValid());
        const QString renamed = bin.filePath("other-cli");
        QVERIFY(QFile::copy(QStringLiteral(QUORVEL_CLI_PATH), renamed));
        QCOMPARE(run(home->path(), {"save", "Mine"}, renamed).status, 0);
        QVERIFY(QFile::exists(home->filePath("Norvesta/other.conf")));
        QVERIFY(!QFile::exists(storeFile));
        QCOMPARE(run(home->path(), {"list"}).out, QString());
        QCOMPARE(run(home->path(), {"list"}, renamed).out, QString("Mine\n"));
    }
};

QTEST_GUILESS_MAIN(TestProfileCli)
#include "test_profile_cli.moc"
