#include "profiles/profilekeys.h"
#include "profiles/settingsstore.h"
#include "profiles/storename.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <thread>

namespace {

// All 21 values of a profile as "ValueName=value" lines, for whole-record
// comparisons with readable failures.
QStringList dump(const Profile& p) {
    QStringList lines;
    for (int f = 0; f < FieldCount; ++f)
        lines << StoreValue::field(1, f) + "=" + p.parse[f];
    for (int f = 0; f < FieldCount; ++f)
        lines << StoreValue::field(2, f) + "=" + p.create[f];
    lines << "Separator=" + p.separator << "Case=" + QString::number(p.caseMode)
          << "ANSI=" + QString::number(p.ansi) << "ClearOtherV2=" + QString::number(p.clearOtherV2)
          << "ClearV1=" + QString::number(p.clearV1);
    return lines;
}

// The defaults with some lines replaced ("Case=2").
QStringList defaultsWith(const QStringList& overrides) {
    QStringList lines = dump(Profile::withDefaults(QString()));
    for (const QString& o : overrides) {
        const QString key = o.section('=', 0, 0) + '=';
        for (QString& line : lines) {
            if (line.startsWith(key))
                line = o;
        }
    }
    return lines;
}

Profile distinctive(const QString& name) {
    Profile p = Profile::withDefaults(name);
    p.parse[FieldFilename] = "%# - %A, %T";
    p.create[FieldLocation] = "@music/%A";
    p.separator = "_(underscore)";
    p.caseMode = CaseUpper;
    p.ansi = 1;
    p.clearOtherV2 = 1;
    p.clearV1 = 1;
    return p;
}

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

} // namespace

class TestSettingsStore : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> dir;
    QString file;

private slots:
    void init() {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        // A new file per test: QSettings shares parsed files within a process.
        file = dir->filePath(QString("store-%1.conf").arg(QTest::currentTestFunction()));
    }

    void load_data() {
        QTest::addColumn<QByteArray>("ini");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty store") << QByteArray() << "Default" << QStringList{};
        QTest::newRow("only Case 2") << QByteArray("[A]\nCase=2\n") << "A" << QStringList{"Case=2"};
        QTest::newRow("negative Case")
            << QByteArray("[A]\nCase=-3\n") << "A" << QStringList{"Case=0"};
        QTest::newRow("Case beyond the list")
            << QByteArray("[A]\nCase=7\n") << "A" << QStringList{"Case=7"};
        QTest::newRow("Case beyond 32 bits")
            << QByteArray("[A]\nCase=4294967298\nANSI=1\n") << "A" << QStringList{"ANSI=1"};
        QTest::newRow("Case not a number") << QByteArray("[A]\nCase=two\n") << "A" << QStringList{};
        QTest::newRow("check box out of range kept by the store")
            << QByteArray("[A]\nClearV1=5\nClearOtherV2=-1\n") << "A"
            << QStringList{"ClearV1=5", "ClearOtherV2=-1"};
        QTest::newRow("Field1_3 alone")
            << QByteArray("[A]\nField1_3=%T (live)\n") << "A" << QStringList{"Field1_3=%T (live)"};
        QTest::newRow("empty format stays empty")
            << QByteArray("[A]\nField2_7=\n") << "A" << QStringList{"Field2_7="};
        QTest::newRow("name in other case") << QByteArray("[Albums]\nSeparator=NONE\n") << "aLBUMS"
                                            << QStringList{"Separator=NONE"};
        QTest::newRow("other values ignored")
            << QByteArray("[A]\nColour=red\nCase=1\n") << "A" << QStringList{"Case=1"};
        QTest::newRow("another profile's values unused")
            << QByteArray("[B]\nCase=2\n") << "A" << QStringList{};
        QTest::newRow("hand-written list value")
            << QByteArray("[A]\nField2_1=%A,%T\n") << "A" << QStringList{"Field2_1=%A,%T"};
    }
    void load() {
        QFETCH(QByteArray, ini);
        QFETCH(QString, name);
        QFETCH(QStringList, expected);
        writeFile(file, ini);
        SettingsStore store(file);
        QCOMPARE(dump(store.LoadProfile(name)), defaultsWith(expected));
        // Loading leaves a key for the name, listed at the next start.
        QVERIFY(store.findProfile(name).has_value());
        QCOMPARE(dump(store.readProfile(name)), defaultsWith(expected));
    }

    void textValueEndsAtNul() {
        SettingsStore store(file);
        QVERIFY(store.WriteText(QString("A"), "Separator", QString("ab") + QChar(0) + "cd"));
        QCOMPARE(store.ReadText(QString("A"), "Separator", "x"), QString("ab"));
        QCOMPARE(store.ReadText(QString("A"), "Missing", "x"), QString("x"));
    }

    void saveWritesLastProfileAndAll21Values() {
        SettingsStore store(file);
        QVERIFY(store.SaveProfile(Profile::withDefaults("Default")));
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.value("LastProfile").toString(), QString("Default"));
        raw.beginGroup("Default");
        QCOMPARE(raw.childKeys().size(), 21);
        raw.endGroup();
        QCOMPARE(raw.allKeys().size(), 22);
    }

    void saveKeepingLastProfile() {
        SettingsStore store(file);
        QVERIFY(store.WriteText(ApplicationKey, StoreValue::LastProfile, "Singles"));
        QVERIFY(store.SaveProfile(distinctive("Albums"), LastProfileUpdate::Keep));
        QCOMPARE(store.ReadText(ApplicationKey, StoreValue::LastProfile, {}), QString("Singles"));
        QCOMPARE(dump(store.readProfile("Albums")), dump(distinctive("Albums")));
    }

    void saveUnderOtherCaseUsesTheExistingKey() {
        SettingsStore store(file);
        QVERIFY(store.SaveProfile(Profile::withDefaults("Albums")));
        QVERIFY(store.SaveProfile(distinctive("ALBUMS")));
        QCOMPARE(store.EnumProfiles(), QStringList{"Albums"});
        QCOMPARE(dump(store.readProfile("albums")), dump(distinctive("x")));
    }

    void oddNames_data() {
        QTest::addColumn<QString>("name");
        QTest::newRow("empty") << "";
        QTest::newRow("slash") << "/";
        QTest::newRow("backslash") << "\\";
        QTest::newRow("nested") << "Car/USB\\stick";
        QTest::newRow("very long") << QString(300, 'x');
        QTest::newRow("longest plain") << QString(MaxPlainGroupLength, 'y');
        QTest::newRow("encoding mark") << "~x";
        QTest::newRow("General") << "General";
        QTest::newRow("general") << "general";
        QTest::newRow("spaces around") << "  spaced  ";
        QTest::newRow("percent") << "%41%U0041";
        QTest::newRow("brackets") << "[Section]";
        QTest::newRow("ini syntax") << "a=b;c#d";
        QTest::newRow("comma") << "Rock, Pop";
        QTest::newRow("quote") << "\"quoted\"";
        QTest::newRow("unicode") << QString::fromUtf8("Ünïcødé 日本語");
        QTest::newRow("LastProfile") << "LastProfile";
    }
    void oddNames() {
        QFETCH(QString, name);
        SettingsStore store(file);
        QVERIFY(store.SaveProfile(distinctive("Other")));
        QVERIFY(store.SaveProfile(distinctive(name), LastProfileUpdate::Keep));
        const QStringList names = store.EnumProfiles();
        QCOMPARE(names.size(), 2);
        QVERIFY(names.contains(name));
        QCOMPARE(dump(store.readProfile(name)), dump(distinctive(name)));
        // Key names compare without regard to case, odd or not.
        QCOMPARE(store.findProfile(name.toUpper()), std::optional<QString>(name));

        QCOMPARE(store.DeleteProfileKey(name), Deletion::Done);
        QCOMPARE(store.EnumProfiles(), QStringList{"Other"});
        QCOMPARE(dump(store.readProfile("Other")), dump(distinctive("Other")));
        QCOMPARE(store.ReadText(ApplicationKey, StoreValue::LastProfile, {}), QString("Other"));
    }

    void emptyNameNeverAddressesTheApplicationKey() {
        SettingsStore store(file);
        QVERIFY(store.WriteText(ApplicationKey, StoreValue::LastProfile, "Albums"));
        QVERIFY(store.WriteText(QString(""), StoreValue::LastProfile, "Empty"));
        QCOMPARE(store.ReadText(ApplicationKey, StoreValue::LastProfile, {}), QString("Albums"));
        QCOMPARE(store.ReadText(QString(""), StoreValue::LastProfile, {}), QString("Empty"));
        QCOMPARE(store.EnumProfiles(), QStringList{""});
        QCOMPARE(store.DeleteProfileKey(""), Deletion::Done);
        QCOMPARE(store.ReadText(ApplicationKey, StoreValue::LastProfile, {}), QString("Albums"));
    }

    void encodedAndPlainNamesDoNotCollide() {
        SettingsStore store(file);
        const QString encoded = groupNameFor("a/b");
        QVERIFY(store.SaveProfile(distinctive("a/b")));
        QVERIFY(store.SaveProfile(Profile::withDefaults(encoded)));
        QVERIFY(store.SaveProfile(Profile::withDefaults(encoded.mid(1))));
        QCOMPARE(store.EnumProfiles().size(), 3);
        QCOMPARE(dump(store.readProfile("a/b")), dump(distinctive("a/b")));
        QCOMPARE(store.DeleteProfileKey(encoded), Deletion::Done);
        QCOMPARE(dump(store.readProfile("a/b")), dump(distinctive("a/b")));
    }

    void deleteRemovesSubkeysOnly() {
        writeFile(file, "[General]\nLastProfile=A\n[A]\nCase=1\n[A/Sub]\nx=1\n[A/Sub/Deep]\ny=2\n"
                        "[AB]\nCase=2\n[B]\nCase=3\n");
        SettingsStore store(file);
        QCOMPARE(store.DeleteProfileKey("a"), Deletion::Done);
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.allKeys(), (QStringList{"AB/Case", "B/Case", "LastProfile"}));
        QCOMPARE(store.DeleteProfileKey("A"), Deletion::NotStored);
        QCOMPARE(store.DeleteProfileKey("Missing"), Deletion::NotStored);
        QCOMPARE(store.EnumProfiles(), (QStringList{"AB", "B"}));
        // Asked to keep one, the store deletes all but the last.
        QCOMPARE(store.DeleteProfileKey("AB", true), Deletion::Done);
        QCOMPARE(store.DeleteProfileKey("B", true), Deletion::OnlyProfile);
        QCOMPARE(store.EnumProfiles(), QStringList{"B"});
    }

    // A store edited by hand with two groups equal but for case: each name
    // reaches its own group, and deleting one leaves the other.
    void groupsEqualButForCase() {
        writeFile(file, "[Foo]\nCase=1\n[FOO]\nCase=2\n[Other]\nCase=3\n");
        SettingsStore store(file);
        QCOMPARE(store.LoadProfile("Foo").caseMode, 1);
        QCOMPARE(store.LoadProfile("FOO").caseMode, 2);
        QVERIFY(store.SaveProfile(distinctive("Foo")));
        QCOMPARE(store.ReadInt(QString("FOO"), "Case", 0), 2);
        QCOMPARE(store.DeleteProfileKey("Foo"), Deletion::Done);
        QSettings raw(file, QSettings::IniFormat);
        QCOMPARE(raw.allKeys(), (QStringList{"FOO/Case", "LastProfile", "Other/Case"}));
    }

    // Another save of the profile while one changes it waits for the store,
    // so neither change is lost.
    void updateHoldsTheStore() {
        SettingsStore store(file);
        QVERIFY(store.SaveProfile(Profile::withDefaults("P")));
        std::thread other;
        const bool updated = store.UpdateProfile("P", [&](Profile& p) {
            other = std::thread([this] { SettingsStore(file).WriteInt(QString("P"), "ANSI", 1); });
            QThread::msleep(300); // time for that write, were the store not held
            p.caseMode = 2;
        });
        if (other.joinable())
            other.join();
        QVERIFY(updated);
        QCOMPARE(store.ReadInt(QString("P"), "ANSI", 0), 1);
        QCOMPARE(store.ReadInt(QString("P"), "Case", 0), 2);
    }

    void damagedFileIsNeverWritten_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("unterminated section") << QByteArray("[A]\nCase=2\n[B\nCase=3\n");
        QTest::newRow("line without =") << QByteArray("[A]\nCase=2\nnonsense\n");
        QTest::newRow("binary") << QByteArray("[A]\nCase=2\n\x00\x01\xff\xfe\n", 16);
    }
    void damagedFileIsNeverWritten() {
        QFETCH(QByteArray, bytes);
        writeFile(file, bytes);
        SettingsStore store(file);
        QCOMPARE(store.EnumProfiles(), QStringList{});
        QCOMPARE(dump(store.LoadProfile("A")), dump(Profile::withDefaults("A")));
        QCOMPARE(store.ReadText(ApplicationKey, StoreValue::LastProfile, "Default"),
                 QString("Default"));
        QVERIFY(!store.SaveProfile(distinctive("A")));
        QVERIFY(!store.WriteInt(QString("A"), "Case", 1));
        QCOMPARE(store.DeleteProfileKey("A"), Deletion::Failed);
        QCOMPARE(readAll(file), bytes);

        // Once the file is mended the store works again.
        writeFile(file, "[A]\nCase=2\n");
        QCOMPARE(store.ReadInt(QString("A"), "Case", 0), 2);
        QVERIFY(store.SaveProfile(distinctive("B")));
        QCOMPARE(store.EnumProfiles(), (QStringList{"A", "B"}));
    }

    // What stands where the file should be and is no file cannot be read as
    // a store: said so, not a store without profiles. A named pipe had hung
    // every command in the open of the store.
    void unreadableStoreGivesDefaults_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("folder") << "folder";
        QTest::newRow("named pipe") << "pipe";
    }
    void unreadableStoreGivesDefaults() {
        QFETCH(QString, kind);
        if (kind == "folder")
            QVERIFY(QDir().mkpath(file));
        else
            QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
        SettingsStore store(file);
        QVERIFY(!store.isReadable());
        QCOMPARE(store.EnumProfiles(), QStringList{});
        QCOMPARE(store.ReadInt(QString("A"), "Case", 4), 4);
        QVERIFY(!store.SaveProfile(distinctive("A")));
        QVERIFY(!QFileInfo(file).isFile());
    }

    void applicationName_data() {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("application");
        QTest::newRow("window") << "/usr/bin/quorvel"
                                << "quorvel";
        QTest::newRow("command line") << "/usr/bin/quorvel-cli"
                                      << "quorvel";
        QTest::newRow("renamed") << "/opt/q/quorvel-test"
                                 << "quorvel-test";
        QTest::newRow("renamed command line") << "q2-cli"
                                              << "q2";
        QTest::newRow("only -cli") << "/bin/-cli"
                                   << "-cli";
        QTest::newRow("cli inside") << "quorvel-cli-old"
                                    << "quorvel-cli-old";
        QTest::newRow("windows executable") << "C:/Programs/Quorvel.exe"
                                            << "Quorvel";
        QTest::newRow("windows command line") << "quorvel-cli.EXE"
                                              << "quorvel";
        QTest::newRow("dot in name") << "quorvel.v2"
                                     << "quorvel.v2";
    }
    void applicationName() {
        QFETCH(QString, executable);
        QFETCH(QString, application);
        QCOMPARE(storeApplicationName(executable), application);
    }
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "test_settings_store.moc"
