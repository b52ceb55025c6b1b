#include "runprofile.h"

#include "profiles/settingsstore.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestRunProfile : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;

    // The user's store file holding ini, or none when ini is empty.
    static bool writeStore(const QByteArray& ini) {
        const QString file = SettingsStore().fileName();
        if (!QDir().mkpath(QFileInfo(file).path()))
            return false;
        if (ini.isEmpty())
            return true;
        QFile f(file);
        return f.open(QIODevice::WriteOnly) && f.write(ini) == ini.size();
    }

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir->path());
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir->path());
    }

    void choose_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("caseMode");
        QTest::addColumn<QString>("error");
        const QByteArray three = "[General]\nLastProfile=albums\n[Albums]\nCase=1\n"
                                 "[B]\nCase=2\n[C]\nCase=3\n";
        QTest::newRow("empty store") << QByteArray() << QStringList{} << "Default" << 0 << "";
        QTest::newRow("last profile in other case")
            << three << QStringList{} << "Albums" << 1 << "";
        QTest::newRow("last profile gone")
            << QByteArray("[General]\nLastProfile=Gone\n[B]\nCase=2\n[C]\nCase=3\n")
            << QStringList{} << "B" << 2 << "";
        QTest::newRow("last profile empty")
            << QByteArray("[General]\nLastProfile=\n[B]\nCase=2\n[Default]\nCase=3\n")
            << QStringList{} << "Default" << 3 << "";
        QTest::newRow("last profile stored under an encoded key")
            << QByteArray("[General]\nLastProfile=car/usb\n[B]\nCase=2\n"
                          "[~x]\nProfileName=Car/USB\nCase=3\n")
            << QStringList{} << "Car/USB" << 3 << "";
        QTest::newRow("last profile in a store without profiles")
            << QByteArray("[General]\nLastProfile=Gone\n") << QStringList{} << "Default" << 0 << "";
        QTest::newRow("no last profile, Default not first")
            << QByteArray("[B]\nCase=2\n[default]\nCase=3\n") << QStringList{} << "default" << 3
            << "";
        QTest::newRow("no last profile, no Default")
            << QByteArray("[C]\nCase=3\n") << QStringList{} << "C" << 3 << "";
        // Two groups equal but for case (a store edited by hand): the list
        // searches from its second entry, and each name reaches its group.
        const QByteArray twins = "[General]\nLastProfile=FOO\n[FOO]\nCase=2\n[Foo]\nCase=1\n";
        QTest::newRow("last profile among twins") << twins << QStringList{} << "Foo" << 1 << "";
        QTest::newRow("named among twins")
            << twins << QStringList{"--profile", "FOO"} << "FOO" << 2 << "";
        QTest::newRow("named") << three << QStringList{"--profile", "c"} << "C" << 3 << "";
        QTest::newRow("options on top")
            << three << QStringList{"--profile", "B", "--case", "lower"} << "B" << 1 << "";
        QTest::newRow("unknown") << three << QStringList{"--profile", "Missing"} << "" << 0
                                 << "unknown profile \"Missing\"";
        QTest::newRow("Default named in an empty store")
            << QByteArray() << QStringList{"--profile", "default"} << "Default" << 0 << "";
        const QByteArray damaged = "[Albums]\nCase=1\n[B\nCase=2\n";
        QTest::newRow("damaged store")
            << damaged << QStringList{} << "" << 0 << "cannot read the settings store %1";
        QTest::newRow("named in a damaged store") << damaged << QStringList{"--profile", "Albums"}
                                                  << "" << 0 << "cannot read the settings store %1";
        QTest::newRow("unknown in an empty store")
            << QByteArray() << QStringList{"--profile", "Albums"} << "" << 0
            << "unknown profile \"Albums\"";
    }
    void choose() {
        QFETCH(QByteArray, ini);
        QFETCH(QStringList, args);
        QFETCH(QString, name);
        QFETCH(int, caseMode);
        QFETCH(QString, error);
        const QString file = SettingsStore().fileName();
        QVERIFY(writeStore(ini));
        RunOptions options;
        QString parseError;
        QVERIFY2(takeRunOptions(args, options, parseError), qPrintable(parseError));
        QString runError;
        const Profile p = loadRunProfile(options, &runError);
        QCOMPARE(runError, error.contains("%1") ? error.arg(file) : error);
        if (error.isEmpty()) {
            QCOMPARE(p.name, name);
            QCOMPARE(p.caseMode, caseMode);
        }
        // A run never writes the store.
        QCOMPARE(QFile::exists(file), !ini.isEmpty());
        if (!ini.isEmpty()) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::ReadOnly));
            QCOMPARE(f.readAll(), ini);
        }
    }

    // A profile means to a run what it means to the window, which shows the
    // stored separator as the entry it begins and check boxes as 0 or 1.
    void optionsAsTheWindowTakesThem_data() {
        QTest::addColumn<QByteArray>("values");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<int>("ansi");
        QTest::addColumn<int>("clearV1");
        QTest::addColumn<int>("caseMode");
        QTest::newRow("entries as stored") << QByteArray("Separator=NONE\nANSI=1\nClearV1=1")
                                           << QStringList{} << "NONE" << 1 << 1 << 0;
        QTest::newRow("small letters")
            << QByteArray("Separator=none") << QStringList{} << "NONE" << 0 << 0 << 0;
        QTest::newRow("the start of an entry")
            << QByteArray("Separator=-") << QStringList{} << "-(dash)" << 0 << 0 << 0;
        QTest::newRow("typed text stays")
            << QByteArray("Separator=\" + \"") << QStringList{} << " + " << 0 << 0 << 0;
        QTest::newRow("empty stays empty")
            << QByteArray("Separator=") << QStringList{} << "" << 0 << 0 << 0;
        QTest::newRow("given in small letters")
            << QByteArray() << QStringList{"--separator", "space"} << "SPACE" << 0 << 0 << 0;
        QTest::newRow("check boxes out of range are off")
            << QByteArray("ANSI=5\nClearV1=-1") << QStringList{} << "SPACE" << 0 << 0 << 0;
        QTest::newRow("the indeterminate box is on")
            << QByteArray("ANSI=2\nClearV1=2") << QStringList{} << "SPACE" << 1 << 1 << 0;
        QTest::newRow("a case beyond the list")
            << QByteArray("Case=7") << QStringList{} << "SPACE" << 0 << 0 << -1;
    }
    void optionsAsTheWindowTakesThem() {
        QFETCH(QByteArray, values);
        QFETCH(QStringList, args);
        QFETCH(QString, separator);
        QFETCH(int, ansi);
        QFETCH(int, clearV1);
        QFETCH(int, caseMode);
        QVERIFY(writeStore("[P]\n" + values + "\n"));
        RunOptions options;
        QString error;
        QVERIFY2(takeRunOptions(args, options, error), qPrintable(error));
        const Profile p = loadRunProfile(options, &error);
        QVERIFY2(error.isEmpty(), qPrintable(error));
        QCOMPARE(p.separator, separator);
        QCOMPARE(p.ansi, ansi);
        QCOMPARE(p.clearV1, clearV1);
        QCOMPARE(p.caseMode, caseMode);
    }
};

QTEST_GUILESS_MAIN(TestRunProfile)
#include "test_run_profile.moc"
