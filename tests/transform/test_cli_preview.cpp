#include "clirun.h"
#include "fixtures.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Frames = QList<std::pair<QByteArray, QString>>; // frame id, text

// A real MP3 with an ID3v2.3 tag of Latin-1 text frames.
void writeMp3(const QString& path, const Frames& frames) {
    fixture::Tag tag;
    for (const auto& [id, text] : frames)
        tag.frames.append({id, fixture::TextBody(0, text)});
    tag.padding = 32;
    QVERIFY(fixture::WriteFile(path, fixture::BuildFile(&tag)));
}

} // namespace

class TestCliPreview : public QObject {
    Q_OBJECT
    QTemporaryDir dir;
    QString song;    // tagged file with a structured name
    QString missing; // no such file

private slots:
    void initTestCase() {
        QVERIFY(dir.isValid());
        song = dir.filePath(QStringLiteral("03 - the_river_band - HELP!.mp3"));
        writeMp3(song, {{"TPE1", "AC/DC"},
                        {"TIT2", "back in black"},
                        {"TALB", ".."},
                        {"TCON", "Hard Rock"},
                        {"TYER", "1980"},
                        {"TRCK", "6/10"}});
        missing = dir.filePath(QStringLiteral("missing.mp3"));
    }

    // Each row: extra arguments, then the files; what the JSON says per file.
    void json_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<int>("status");
        QTest::addColumn<QJsonObject>("outputs"); // expected subset of "outputs"
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("target"); // relative to the folder; empty: no target

        QTest::newRow("defaults") << QStringList{} << 0
                                  << QJsonObject{{"Filename", "03 The River Band Help!"},
                                                 {"Artist", "Ac/dc"},
                                                 {"Title", "Back In Black"},
                                                 {"Genre", "Hard Rock"},
                                                 {"Track", "06"}}
                                  << QStringList{} << "03 The River Band Help!.mp3";
        QTest::newRow("hostile tags stay inside the folder")
            << QStringList{"--case", "keep", "--create", "location=%L/%A/%B"} << 0
            << QJsonObject{{"Artist", "AC/DC"}, {"Album", ".."}} << QStringList{}
            << "ACDC/03 - the_river_band - HELP!.mp3";
        QTest::newRow("file name parsed, upper with dash")
            << QStringList{"--parse",     "filename=%# - %A - %T",
                           "--parse",     "artist=",
                           "--parse",     "title=",
                           "--parse",     "track=",
                           "--case",      "upper",
                           "--separator", "-(dash)",
                           "--create",    "filename=%# %A (%T)"}
            << 0
            << QJsonObject{{"Filename", "03 THE-RIVER-BAND (HELP!)"},
                           {"Artist", "THE-RIVER-BAND"},
                           {"Track", "03"}}
            << QStringList{} << "03 THE-RIVER-BAND (HELP!).mp3";
        QTest::newRow("duplicate code fails without outputs")
            << QStringList{"--parse", "filename=%# - %A - %T"} << 1
            << QJsonObject{{"Location", ""}, {"Filename", ""}}
            << QStringList{"%A is created from multiple input fields"} << "";
        QTest::newRow("missing code fails with partial outputs")
            << QStringList{"--create", "title=%T (%X)", "--create", "album=%B%%"} << 1
            << QJsonObject{{"Artist", "Ac/dc"}, {"Title", "Back In Black ("}, {"Album", ""}}
            << QStringList{"%T (%X) has invalid value %X"} << "";
    }
    void json() {
        QFETCH(QStringList, options);
        QFETCH(int, status);
        QFETCH(QJsonObject, outputs);
        QFETCH(QStringList, messages);
        QFETCH(QString, target);

        const CliRun r = RunCli(QStringList{"preview", "--json"} + options + QStringList{song});
        QCOMPARE(r.status, status);
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
        QVERIFY2(error.error == QJsonParseError::NoError, r.out.constData());
        QCOMPARE(doc.array().size(), 1);
        const QJsonObject o = doc.array().at(0).toObject();
        QCOMPARE(o.value("path").toString(), song);
        QCOMPARE(o.value("ok").toBool(), status == 0);
        QStringList shown;
        for (const QJsonValue& m : o.value("messages").toArray())
            shown << m.toString();
        QCOMPARE(shown, messages);

        const QJsonObject inputs = o.value("inputs").toObject();
        QCOMPARE(inputs.value("Location").toString(), dir.path());
        QCOMPARE(inputs.value("Filename").toString(),
                 QStringLiteral("03 - the_river_band - HELP!"));
        QCOMPARE(inputs.value("Artist").toString(), QStringLiteral("AC/DC"));
        QCOMPARE(inputs.value("Track").toString(), QStringLiteral("6/10"));
        QCOMPARE(inputs.keys().size(), 8);
        QCOMPARE(o.value("outputs").toObject().keys().size(), 8);
        for (auto it = outputs.begin(); it != outputs.end(); ++it)
            QCOMPARE(o.value("outputs").toObject().value(it.key()).toString(),
                     it.value().toString());
        if (target.isEmpty())
            QVERIFY(!o.contains("target"));
        else
            QCOMPARE(o.value("target").toString(), dir.path() + QLatin1Char('/') + target);
    }

    void filesInOrderAndUnreadable() {
        const CliRun r = RunCli({"preview", "--json", missing, song});
        QCOMPARE(r.status, 1);
        const QJsonArray a = QJsonDocument::fromJson(r.out).array();
        QCOMPARE(a.size(), 2);
        QCOMPARE(a.at(0).toObject().value("path").toString(), missing);
        QCOMPARE(a.at(0).toObject().value("ok").toBool(), false);
        QVERIFY(!a.at(0).toObject().contains("target"));
        QCOMPARE(a.at(1).toObject().value("ok").toBool(), true);
        QVERIFY(r.err.contains("cannot read"));
    }

    void textOutput() {
        const CliRun r = RunCli({"preview", song});
        QCOMPARE(r.status, 0);
        const QString text = QString::fromUtf8(r.out);
        QVERIFY2(text.contains("target: " + dir.path() + "/03 The River Band Help!.mp3"),
                 qPrintable(text));
        QVERIFY2(text.contains("\"AC/DC\" -> \"Ac/dc\""), qPrintable(text));
    }

    void unknownProfileFails() {
        const CliRun r = RunCli({"preview", "--json", "--profile", "No Such Profile", song});
        QCOMPARE(r.status, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("unknown profile"), r.err.constData());
    }

    void badArguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no file") << QStringList{"preview", "--json"} << "needs at least one FILE";
        QTest::newRow("bad case") << QStringList{"preview", "--case", "camel", "x.mp3"}
                                  << "--case takes";
        QTest::newRow("unknown option")
            << QStringList{"preview", "--frob", "x.mp3"} << "unknown option '--frob'";
        QTest::newRow("bad field")
            << QStringList{"preview", "--parse", "composer=%C", "x.mp3"} << "FIELD=FORMAT";
    }
    void badArguments() {
        QFETCH(QStringList, args);
        QFETCH(QString, reason);
        const CliRun r = RunCli(args);
        QCOMPARE(r.status, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(QString::fromUtf8(r.err).contains(reason), r.err.constData());
        QCOMPARE(r.err.count('\n'), 1);
    }
};

QTEST_GUILESS_MAIN(TestCliPreview)
#include "test_cli_preview.moc"
