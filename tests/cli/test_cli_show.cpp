#include "clirun.h"
#include "fixtures.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

// quorvel-cli show: exit statuses, the JSON contract, and agreement with
// mutagen on real files.
class TestCliShow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void exitStatus_data();
    void exitStatus();
    void jsonContract();
    void nameThatIsNoUtf8();
    void agreesWithMutagen();
    void outputThatCannotBeWritten_data();
    void outputThatCannotBeWritten();

private:
    QTemporaryDir dir;
    QString good, noTag, refused, empty;
};

void TestCliShow::initTestCase() {
    QVERIFY(dir.isValid());
    fixture::Tag tag;
    tag.frames = {{"TPE1", fixture::TextBody(1, QString::fromUtf8("Ärtist"))},
                  {"TIT2", fixture::TextBody(0, "Title")},
                  {"TRCK", fixture::TextBody(0, QString("3") + QChar(0))},
                  {"APIC", fixture::PictureBody(0, "image/png", 3, "", QByteArray(500, 'p'))}};
    good = dir.filePath("good.mp3");
    QVERIFY(fixture::WriteFile(good, fixture::BuildFile(&tag)));
    noTag = dir.filePath("plain.mp3");
    QVERIFY(fixture::WriteFile(noTag, fixture::SilentAudio(2)));
    tag.sizeBytes = QByteArray("\x00\x00\x01\x80", 4);
    refused = dir.filePath("refused.mp3");
    QVERIFY(fixture::WriteFile(refused, fixture::BuildFile(&tag)));
    QVERIFY(QFile::copy(refused, dir.filePath("esc\x1b[2J.mp3")));
    empty = dir.filePath("empty.mp3");
    QVERIFY(fixture::WriteFile(empty, QByteArray()));
}

void TestCliShow::exitStatus_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("stdoutHas");
    QTest::addColumn<QString>("stderrHas");
    QTest::newRow("help") << QStringList{"show", "--help"} << 0 << "show [--json] FILE..."
                          << "";
    QTest::newRow("version") << QStringList{"show", "--version"} << 0 << QUORVEL_VERSION << "";
    QTest::newRow("no file") << QStringList{"show"} << 2 << ""
                             << "needs at least one FILE";
    QTest::newRow("json, no file") << QStringList{"show", "--json"} << 2 << ""
                                   << "needs at least one FILE";
    QTest::newRow("unknown option") << QStringList{"show", "--jsn", "x.mp3"} << 2 << ""
                                    << "unknown option '--jsn'";
    QTest::newRow("text output") << QStringList{"show", "good.mp3"} << 0 << "Artist: Ärtist"
                                 << "";
    const QString viaParent = "../" + QFileInfo(dir.path()).fileName() + "/./good.mp3";
    QTest::newRow("path made absolute and clean")
        << QStringList{"show", "--json", viaParent} << 0
        << "\"path\": \"" + QFileInfo(good).absoluteFilePath() + "\""
        << "";
    // Read on other threads: a diagnostic line on standard output would land
    // among the results, out of their order.
    QTest::newRow("text output, diagnostic apart")
        << QStringList{"show", "good.mp3", "refused.mp3"} << 1 << "tag refused"
        << QFileInfo(refused).absoluteFilePath() + ": Invalid id3size\n";
    // Lines from the reading threads come in any order: each names its file,
    // as text output shows names.
    QTest::newRow("diagnostic names its file")
        << QStringList{"show", "--json", "refused.mp3", "esc\x1b[2J.mp3"} << 1 << "tag refused"
        << QFileInfo(dir.filePath("esc?[2J.mp3")).absoluteFilePath() + ": Invalid id3size\n";
    // With the system's reason.
    QTest::newRow("missing file") << QStringList{"show", "good.mp3", "missing.mp3"} << 1
                                  << "cannot open file: " + qt_error_string(ENOENT) << "";
    QTest::newRow("name too long") << QStringList{"show", QString(300, u'n') + ".mp3"} << 1
                                   << "cannot open file: " + qt_error_string(ENAMETOOLONG) << "";
    QTest::newRow("folder") << QStringList{"show", "."} << 1 << "not a regular file"
                            << "";
    QTest::newRow("after --, a dash name is a file")
        << QStringList{"show", "--", "--json"} << 1 << "cannot open file"
        << "";
}

void TestCliShow::exitStatus() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, stdoutHas);
    QFETCH(QString, stderrHas);
    const CliRun r = RunCli(args, dir.path());
    QCOMPARE(r.status, status);
    QVERIFY2(QString::fromUtf8(r.out).contains(stdoutHas), r.out.constData());
    QVERIFY2(QString::fromUtf8(r.err).contains(stderrHas), r.err.constData());
    QVERIFY2(!r.out.contains("Invalid id3size"), r.out.constData());
    QVERIFY2(!r.err.contains('\x1b'), r.err.constData());
}

void TestCliShow::jsonContract() {
    const CliRun r =
        RunCli({"show", "--json", "good.mp3", noTag, "refused.mp3", "empty.mp3"}, dir.path());
    QCOMPARE(r.status, 1);
    // Diagnostic lines go to standard error; standard output is JSON alone.
    QVERIFY(r.err.contains("Invalid id3size"));
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    const QJsonArray all = doc.array();
    QCOMPARE(all.size(), 4);

    const QJsonObject first = all[0].toObject();
    QCOMPARE(first["path"].toString(), QFileInfo(good).absoluteFilePath());
    QCOMPARE(first["ok"].toBool(), true);
    QVERIFY(!first.contains("error"));
    QCOMPARE(first["hasV1"].toBool(), false);
    QCOMPARE(first["hasV2"].toBool(), true);
    QCOMPARE(first["version"].toInt(), 3);
    QCOMPARE(first["tagSize"].toInt(),
             int(QFileInfo(good).size() - fixture::SilentAudio(8).size() - 10));
    const QJsonObject fields = first["fields"].toObject();
    QCOMPARE(fields.keys().size(), 8);
    QCOMPARE(fields["Location"].toString(), QFileInfo(good).absolutePath());
    QCOMPARE(fields["Filename"].toString(), QString("good"));
    QCOMPARE(fields["Artist"].toString(), QString::fromUtf8("Ärtist"));
    QCOMPARE(fields["Title"].toString(), QString("Title"));
    QCOMPARE(fields["Track"].toString(), QString("3"));
    QCOMPARE(fields["Year"].toString(), QString());
    const QJsonArray frames = first["frames"].toArray();
    QCOMPARE(frames.size(), 4);
    QCOMPARE(frames[0].toObject(),
             (QJsonObject{{"id", "TPE1"}, {"text", QString::fromUtf8("Ärtist")}}));
    QCOMPARE(frames[2].toObject(), (QJsonObject{{"id", "TRCK"}, {"text", "3"}}));
    QCOMPARE(frames[3].toObject()["id"].toString(), QString("APIC"));
    QCOMPARE(frames[3].toObject()["size"].toInt(), 1 + 10 + 2 + 500);
    QVERIFY(!frames[3].toObject().contains("text"));

    const QJsonObject plain = all[1].toObject();
    QCOMPARE(plain["ok"].toBool(), true);
    QCOMPARE(plain["hasV2"].toBool(), false);
    QCOMPARE(plain["version"].toInt(), 0);
    QCOMPARE(plain["frames"].toArray().size(), 0);
    QCOMPARE(plain["fields"].toObject()["Filename"].toString(), QString("plain"));

    for (int i : {2, 3}) {
        const QJsonObject bad = all[i].toObject();
        QCOMPARE(bad["ok"].toBool(), false);
        QVERIFY(!bad["error"].toString().isEmpty());
        QCOMPARE(bad["fields"].toObject()["Title"].toString(), QString());
    }
}

// A name that is no UTF-8 comes out as its bytes in text, and as the
// escape of each such byte in JSON: the file can be found again.
void TestCliShow::nameThatIsNoUtf8() {
    const QByteArray name = QFile::encodeName(dir.path()) + "/caf\xE9.mp3";
    const QByteArray bytes = fixture::ReadFile(good);
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    QVERIFY(fd >= 0);
    QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
    ::close(fd);
    const CliRun text = RunCliBytes({"show", name});
    QCOMPARE(text.status, 0);
    QVERIFY2(text.out.startsWith(name + '\n'), text.out.constData());
    QVERIFY(text.out.contains("Filename: caf\xE9\n"));
    const CliRun json = RunCliBytes({"show", "--json", name});
    QCOMPARE(json.status, 0);
    QVERIFY(json.out.contains("caf\\udce9.mp3"));
    const QJsonObject first = QJsonDocument::fromJson(json.out).array()[0].toObject();
    QCOMPARE(first["path"].toString(), dir.path() + "/caf" + QChar(0xDCE9) + ".mp3");
}

void TestCliShow::agreesWithMutagen() {
    const QString path = dir.filePath("mutagen.mp3");
    QVERIFY(fixture::WriteFile(path, fixture::SilentAudio(10)));
    const QString script = QStringLiteral(QUORVEL_SOURCE_DIR "/tests/tags/mutagen_peer.py");
    QProcess py;
    py.start("/usr/bin/python3", {script, "tag", path, "4", "3", "5000"});
    QVERIFY(py.waitForFinished(60000));
    QCOMPARE(py.exitCode(), 0);
    py.start("/usr/bin/python3", {script, "dump", path});
    QVERIFY(py.waitForFinished(60000));
    const QJsonObject seen = QJsonDocument::fromJson(py.readAllStandardOutput()).object();
    QVERIFY(!seen.isEmpty());

    const CliRun r = RunCli({"show", "--json", path});
    QCOMPARE(r.status, 0);
    const QJsonObject fields =
        QJsonDocument::fromJson(r.out).array()[0].toObject()["fields"].toObject();
    const QList<std::pair<QString, QString>> pairs{{"Artist", "TPE1"}, {"Title", "TIT2"},
                                                   {"Album", "TALB"},  {"Genre", "TCON"},
                                                   {"Year", "TDRC"},   {"Track", "TRCK"}};
    for (const auto& [field, key] : pairs)
        QCOMPARE(fields[field].toString(), seen[key].toArray()[0].toString());
}

// Results that cannot be written (a full disk, an output closed by the
// caller) are a failure of the run, said on standard error; they had gone
// unnoticed with status 0.
void TestCliShow::outputThatCannotBeWritten_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("output"); // empty: closed
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("says");
    QTest::newRow("json to a full disk")
        << QStringList{"show", "--json", "good.mp3"} << QByteArray("/dev/full") << 1
        << QByteArray("cannot write the output: No space left");
    QTest::newRow("text to a closed output")
        << QStringList{"show", "good.mp3"} << QByteArray() << 1
        << QByteArray("cannot write the output: Bad file descriptor");
    QTest::newRow("help to a full disk") << QStringList{"--help"} << QByteArray("/dev/full") << 1
                                         << QByteArray("cannot write the output");
    QTest::newRow("a file refused keeps its status")
        << QStringList{"show", "refused.mp3"} << QByteArray("/dev/full") << 1
        << QByteArray("cannot write the output");
    QTest::newRow("a usage error keeps its status")
        << QStringList{"show"} << QByteArray("/dev/full") << 2 << QByteArray("needs at least one");
    QTest::newRow("written output")
        << QStringList{"show", "good.mp3"} << QByteArray("/dev/null") << 0 << QByteArray();
    QTest::newRow("nothing printed to a closed output")
        << QStringList{"profile", "save", "Closed output"} << QByteArray() << 0 << QByteArray();
}

void TestCliShow::outputThatCannotBeWritten() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, output);
    QFETCH(int, status);
    QFETCH(QByteArray, says);
    QList<QByteArray> bytes;
    for (const QString& a : args)
        bytes << a.toUtf8();
    const CliOutput to = output.isEmpty() ? CliOutput{CliOutput::Closed, {}, -1}
                                          : CliOutput{CliOutput::File, output, -1};
    const CliRun r = RunCliBytes(bytes, QFile::encodeName(dir.path()), to);
    QCOMPARE(r.status, status);
    QVERIFY2(says.isEmpty() ? !r.err.contains("output") : r.err.contains(says), r.err.constData());
}

QTEST_GUILESS_MAIN(TestCliShow)
#include "test_cli_show.moc"
