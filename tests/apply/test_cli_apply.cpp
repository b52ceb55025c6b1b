#include "apply/journal.h"
#include "clirun.h"
#include "fixtures.h"
#include "immutablefile.h"
#include "profiles/storename.h"
#include "tags/pathbytes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

// quorvel-cli apply, history and undo on real files, as a user runs them.
namespace {

// The journal that quorvel-cli keeps.
QString cliJournal() {
    return JournalFolder(storeApplicationName(QStringLiteral(QUORVEL_CLI_PATH)));
}

QByteArray song(const QString& title, bool withV1 = true) {
    fixture::Tag tag;
    tag.frames = {{"TPE1", fixture::TextBody(0, "Artist")},
                  {"TIT2", fixture::TextBody(1, title)},
                  {"APIC", fixture::PictureBody(0, "image/png", 3, "", fixture::ImageData(2000))}};
    fixture::V1 v1;
    v1.title = title.toLatin1();
    return fixture::BuildFile(&tag, 8, withV1 ? &v1 : nullptr);
}

// Every file and folder under root with the SHA-256 of each file.
QMap<QString, QByteArray> tree(const QString& root) {
    QMap<QString, QByteArray> t;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        const QString rel = QDir(root).relativeFilePath(path);
        t[rel] = it.fileInfo().isDir() ? QByteArray("folder")
                                       : QCryptographicHash::hash(fixture::ReadFile(path),
                                                                  QCryptographicHash::Sha256);
    }
    return t;
}

QJsonArray jsonArray(const QByteArray& out) {
    return QJsonDocument::fromJson(out).array();
}

QStringList messagesOf(const QJsonValue& file) {
    QStringList m;
    for (const QJsonValue& v : file["messages"].toArray())
        m << v.toString();
    return m;
}

} // namespace

class TestCliApply : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_root;

    // Files a, b, c in one folder and d in another.
    void makeSongs() {
        m_root = m_dir.path() + "/lib";
        QDir(m_root).removeRecursively();
        QVERIFY(QDir().mkpath(m_root + "/one"));
        QVERIFY(QDir().mkpath(m_root + "/two"));
        for (const char* name : {"one/a", "one/b", "one/c", "two/d"})
            QVERIFY(fixture::WriteFile(m_root + '/' + name + ".mp3", song(name)));
    }
    QString at(const QString& rel) const { return m_root + '/' + rel; }
    // Options that send every file to <root>/sorted/<its folder name> and
    // make the tag grow.
    QStringList sortInto(const QString& folder) const {
        return {"--case",   "keep",
                "--create", "location=" + at(folder),
                "--create", "title=" + QString(600, 'x') + "%T"};
    }

private slots:
    void init() {
        QDir(cliJournal()).removeRecursively();
        makeSongs();
    }

    // A batch goes on past a failing file; the exit status says one failed.
    void batchGoesOnPastFailures() {
        QVERIFY(QDir().mkpath(at("sorted")));
        QVERIFY(fixture::WriteFile(at("sorted/b.mp3"), "already here"));
        const CliRun r = RunCli(QStringList{"apply", "--json"} + sortInto("sorted") +
                                QStringList{at("one/a.mp3"), at("one/b.mp3"), at("two/d.mp3")});
        QCOMPARE(r.status, 1);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(files.size(), 3);
        QCOMPARE(files[0]["ok"].toBool(), true);
        QCOMPARE(files[0]["target"].toString(), at("sorted/a.mp3"));
        QCOMPARE(files[1]["ok"].toBool(), false);
        QCOMPARE(files[1]["tagsWritten"].toBool(), false); // refused before the write
        QCOMPARE(files[1]["moved"].toBool(), false);
        QCOMPARE(messagesOf(files[1]),
                 QStringList{"Cannot move file as " + at("sorted/b.mp3") + ". Error 17"});
        QCOMPARE(files[2]["ok"].toBool(), true);
        QCOMPARE(files[2]["moved"].toBool(), true);
        QVERIFY(QFile::exists(at("sorted/a.mp3")));
        QVERIFY(QFile::exists(at("sorted/d.mp3")));
        QVERIFY(QFile::exists(at("one/b.mp3")));
        QCOMPARE(fixture::ReadFile(at("sorted/b.mp3")), QByteArray("already here"));
    }

    // A batch larger than the groups the journal is flushed in, read on
    // several threads: every file lands where planned, a failure in the
    // middle stops nothing, and undo takes the whole run back.
    void manyFiles() {
        const int count = 270; // more than a group of 256
        const auto before = [this, count] {
            QVERIFY(QDir().mkpath(at("many")));
            for (int i = 0; i < count; ++i) {
                const QString name = QString("many/s%1").arg(i, 3, 10, QChar('0'));
                QVERIFY(fixture::WriteFile(at(name + ".mp3"), song(name, i % 2 == 0)));
            }
            QVERIFY(QDir().mkpath(at("sorted")));
            QVERIFY(fixture::WriteFile(at("sorted/s100.mp3"), "already here"));
        };
        before();
        const auto original = tree(m_root);
        QStringList args{"apply", "--json"};
        args += sortInto("sorted");
        for (int i = 0; i < count; ++i)
            args << at(QString("many/s%1.mp3").arg(i, 3, 10, QChar('0')));
        const CliRun r = RunCli(args);
        QCOMPARE(r.status, 1);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(files.size(), count);
        for (int i = 0; i < count; ++i) {
            const QString name = QString("s%1.mp3").arg(i, 3, 10, QChar('0'));
            QCOMPARE(files[i]["path"].toString(), at("many/" + name));
            QCOMPARE(files[i]["ok"].toBool(), i != 100);
            if (i != 100)
                QVERIFY(fixture::ReadFile(at("sorted/" + name)).contains(QByteArray(600, 'x')));
        }
        QVERIFY(QFile::exists(at("many/s100.mp3")));

        const QJsonArray runs = jsonArray(RunCli({"history", "--json"}).out);
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0]["files"].toInt(), count - 1); // s100 was refused before its write
        QCOMPARE(RunCli({"undo", runs[0]["id"].toString()}).status, 0);
        QCOMPARE(tree(m_root), original);
    }

    // Two files bound for one path are both refused before anything changes,
    // also where ".." leads out of folders still to be made.
    void duplicateTargets_data() {
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("cFolder"); // where one/c.mp3 goes
        QTest::newRow("one folder") << "sorted"
                                    << "sorted";
        QTest::newRow("\"..\" after folders still to be made") << "new/%L/.."
                                                               << "new" + m_dir.path() + "/lib";
    }
    void duplicateTargets() {
        QFETCH(QString, location);
        QFETCH(QString, cFolder);
        QVERIFY(fixture::WriteFile(at("two/a.mp3"), song("other a")));
        const auto before = tree(m_root);
        const CliRun r = RunCli(QStringList{"apply", "--json"} + sortInto(location) +
                                QStringList{at("one/a.mp3"), at("one/c.mp3"), at("two/a.mp3")});
        QCOMPARE(r.status, 1);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(files.size(), 3);
        QCOMPARE(files[0]["ok"].toBool(), false);
        QCOMPARE(messagesOf(files[0]), QStringList{at("two/a.mp3") + " has the same target"});
        QCOMPARE(messagesOf(files[2]), QStringList{at("one/a.mp3") + " has the same target"});
        QCOMPARE(files[0]["tagsWritten"].toBool(), false);
        QCOMPARE(files[1]["ok"].toBool(), true);
        // One file given three times is said so once, not as another file.
        const CliRun twice =
            RunCli(QStringList{"apply", "--json", "--dry-run"} + sortInto(location) +
                   QStringList{at("two/a.mp3"), at("two/a.mp3"), at("two/a.mp3")});
        QCOMPARE(twice.status, 1);
        QCOMPARE(messagesOf(jsonArray(twice.out)[1]),
                 QStringList{at("two/a.mp3") + " is given more than once"});
        // So is one file spelt through a link to its folder.
        QVERIFY(QFile::link(at("two"), at("via")));
        const CliRun linked =
            RunCli(QStringList{"apply", "--json", "--dry-run"} + sortInto(location) +
                   QStringList{at("two/a.mp3"), at("via/a.mp3")});
        QVERIFY(QFile::remove(at("via")));
        QCOMPARE(linked.status, 1);
        QCOMPARE(messagesOf(jsonArray(linked.out)[0]),
                 QStringList{at("two/a.mp3") + " is given more than once"});
        QCOMPARE(messagesOf(jsonArray(linked.out)[1]),
                 QStringList{at("via/a.mp3") + " is given more than once"});
        auto after = tree(m_root);
        QCOMPARE(after.value("one/a.mp3"), before.value("one/a.mp3"));
        QCOMPARE(after.value("two/a.mp3"), before.value("two/a.mp3"));
        QVERIFY(!after.contains("one/c.mp3"));
        // No folder made on the way to it.
        QCOMPARE(QDir(at(cFolder)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList{"c.mp3"});
    }

    // Many files bound for one path: each names the first others and counts
    // the rest, so that reports grow with the files, not their square.
    void manyFilesShareOneTarget() {
        QStringList files;
        for (int i = 0; i < 6; ++i) {
            files << at(QString("many%1/a.mp3").arg(i));
            QVERIFY(QDir().mkpath(at(QString("many%1").arg(i))));
            QVERIFY(fixture::WriteFile(files.last(), song("same")));
        }
        const CliRun r =
            RunCli(QStringList{"apply", "--json", "--dry-run"} + sortInto("sorted") + files);
        QCOMPARE(r.status, 1);
        const QJsonArray results = jsonArray(r.out);
        QCOMPARE(results.size(), 6);
        QCOMPARE(
            messagesOf(results[4]),
            (QStringList{files[0] + " has the same target", files[1] + " has the same target",
                         files[2] + " has the same target", "2 more files have the same target"}));
    }

    // --dry-run reports in the same form and changes nothing at all.
    void dryRunChangesNothing() {
        QVERIFY(QDir().mkpath(at("sorted")));
        QVERIFY(fixture::WriteFile(at("sorted/b.mp3"), "already here"));
        const auto before = tree(m_root);
        const CliRun r =
            RunCli(QStringList{"apply", "--json", "--dry-run", "--clear-v1", "--clear-other-v2"} +
                   sortInto("sorted/new") + QStringList{at("one/a.mp3"), at("one/b.mp3")});
        QCOMPARE(tree(m_root), before);
        QVERIFY(!QFileInfo::exists(cliJournal()) || QDir(cliJournal()).isEmpty());
        QCOMPARE(r.status, 0);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[0]["target"].toString(), at("sorted/new/a.mp3"));
        QCOMPARE(files[0]["moved"].toBool(), true);
        QCOMPARE(files[0]["tagsWritten"].toBool(), true);

        // A target that exists is foreseen as the failure it would be.
        const CliRun clash = RunCli(QStringList{"apply", "--json", "--dry-run"} +
                                    sortInto("sorted") + QStringList{at("one/b.mp3")});
        QCOMPARE(clash.status, 1);
        QCOMPARE(messagesOf(jsonArray(clash.out)[0]),
                 QStringList{"Cannot move file as " + at("sorted/b.mp3") + ". Error 17"});
        QCOMPARE(tree(m_root), before);
    }

    // Undo puts every file back byte for byte, from several folders, and
    // removes the folders the run made.
    void undoRestoresAcrossFolders() {
        const auto before = tree(m_root);
        const CliRun r = RunCli(QStringList{"apply", "--clear-v1", "--clear-other-v2"} +
                                sortInto("sorted/deep") +
                                QStringList{at("one/a.mp3"), at("one/b.mp3"), at("two/d.mp3")});
        QCOMPARE(r.status, 0);
        QVERIFY(tree(m_root) != before);

        const CliRun history = RunCli({"history", "--json"});
        QCOMPARE(history.status, 0);
        const QJsonArray runs = jsonArray(history.out);
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0]["files"].toInt(), 3);
        QCOMPARE(runs[0]["undone"].toBool(), false);
        QVERIFY(r.out.contains(runs[0]["id"].toString().toUtf8()));
        // The user removed the folder the run emptied: undo makes it again.
        QVERIFY(QDir(m_root).rmdir("two"));

        const CliRun undo = RunCli({"undo", "--json"});
        QCOMPARE(undo.status, 0);
        const QJsonObject report = QJsonDocument::fromJson(undo.out).object();
        QCOMPARE(report["ok"].toBool(), true);
        QCOMPARE(report["run"].toString(), runs[0]["id"].toString());
        QCOMPARE(report["files"].toArray().size(), 3);
        QCOMPARE(report["files"][0]["restoredTo"].toString(), at("two/d.mp3")); // newest first
        QCOMPARE(report["foldersRemoved"].toArray().size(), 2);
        QCOMPARE(tree(m_root), before);

        QCOMPARE(jsonArray(RunCli({"history", "--json"}).out)[0].toObject()["undone"].toBool(),
                 true);
        const CliRun nothing = RunCli({"undo"});
        QCOMPARE(nothing.status, 1);
        QVERIFY(nothing.err.contains("nothing to undo"));
        // Named, the run undone already is done: said so, not a bare title.
        const CliRun again = RunCli({"undo", runs[0]["id"].toString()});
        QCOMPARE(again.status, 0);
        QCOMPARE(again.out, "Run " + runs[0]["id"].toString().toUtf8() +
                                "\nnothing left to take back: its files were taken back before\n");
    }

    // An undo killed after its files came back, before it removed the run's
    // folders and said it was done: history says so, --forget keeps the
    // run, and a plain undo finishes it. It had passed for a run with
    // nothing to undo, and --forget took it with the folders left behind.
    // Killed before its first marks, it had passed for a run never undone.
    // An index line of an earlier format, which judged such a run settled,
    // is not trusted.
    void undoKilled_data() {
        QTest::addColumn<QByteArrayList>("cut"); // the records the kill kept from the journal
        QTest::addColumn<bool>("oldIndex");
        QTest::addColumn<bool>("second"); // an undo after one that left a file
        const QByteArray end = "\"type\":\"undo\"";
        QTest::newRow("before its folders") << QByteArrayList{end} << false << false;
        QTest::newRow("before its first marks")
            << QByteArrayList{end, "\"type\":\"undone\"", "\"type\":\"restoring\""} << false
            << false;
        QTest::newRow("before its folders, index of an earlier format")
            << QByteArrayList{end} << true << false;
        QTest::newRow("a second undo, before its folders") << QByteArrayList{end} << false << true;
    }
    void undoKilled() {
        QFETCH(QByteArrayList, cut);
        QFETCH(bool, oldIndex);
        QFETCH(bool, second);
        const auto before = tree(m_root);
        QStringList files{at("one/a.mp3")};
        if (second)
            files << at("one/b.mp3");
        QCOMPARE(RunCli(QStringList{"apply"} + sortInto("sorted") + files).status, 0);
        const QString journal =
            cliJournal() + '/' + QDir(cliJournal()).entryList({"*.jsonl"}).value(0);
        qsizetype firstUndoEnd = 0; // the journal's lines before the undo that is cut off
        if (second) {
            // The first undo leaves a file changed meanwhile; put back, it
            // goes with the second.
            const QByteArray applied = fixture::ReadFile(at("sorted/b.mp3"));
            QVERIFY(fixture::WriteFile(at("sorted/b.mp3"), applied + "edited"));
            QCOMPARE(RunCli({"undo"}).status, 1);
            QVERIFY(fixture::WriteFile(at("sorted/b.mp3"), applied));
            firstUndoEnd = fixture::ReadFile(journal).split('\n').size();
        }
        QCOMPARE(RunCli({"undo"}).status, 0);
        // As the kill left it: the folder still there, no record of the end.
        QVERIFY(QDir().mkpath(at("sorted")));
        QByteArrayList lines = fixture::ReadFile(journal).split('\n');
        for (qsizetype i = lines.size() - 1; i >= firstUndoEnd; --i) {
            if (std::any_of(cut.begin(), cut.end(),
                            [&](const QByteArray& c) { return lines[i].contains(c); }))
                lines.removeAt(i);
        }
        QVERIFY(fixture::WriteFile(journal, lines.join('\n')));
        if (oldIndex) {
            // As an earlier version indexed it: without a format, settled.
            QCOMPARE(RunCli({"history"}).status, 0);
            const QString index = cliJournal() + "/.runs-index";
            QByteArray line = fixture::ReadFile(index);
            QVERIFY(line.contains("\"settled\":false"));
            line = QString::fromUtf8(line)
                       .remove(QRegularExpression("\"format\":\\d+,"))
                       .toUtf8()
                       .replace("\"settled\":false", "\"settled\":true");
            QVERIFY(fixture::WriteFile(index, line));
        }

        QVERIFY(RunCli({"history"}).out.contains("(undo unfinished: undo again)"));
        QCOMPARE(RunCli({"history", "--forget", "0"}).status, 0);
        const CliRun undo = RunCli({"undo"});
        QCOMPARE(undo.status, 0);
        QVERIFY2(undo.out.contains(("removed folder " + at("sorted")).toUtf8()),
                 undo.out.constData());
        QVERIFY2(!undo.out.contains("take back"), undo.out.constData());
        QCOMPARE(tree(m_root), before);
        QVERIFY(RunCli({"history"}).out.contains("(undone)"));
    }

    // A run's file that undo could copy back but not remove from the run's
    // folder is left alone, before anything is written: it had been copied
    // back, its removal had failed unseen, and undo said ok with two copies.
    void undoCannotRemoveTheRunsFile() {
        if (::geteuid() != 0)
            QSKIP("needs root, to make the folder immutable");
        const auto before = tree(m_root);
        QCOMPARE(
            RunCli(QStringList{"apply"} + sortInto("sorted") + QStringList{at("one/a.mp3")}).status,
            0);
        const QByteArray applied = fixture::ReadFile(at("sorted/a.mp3"));
        ImmutableFile guard;
        if (!guard.protect(at("sorted")))
            QSKIP("this file system cannot make a folder immutable");
        // A time long past: any name made in the old folder moves it.
        const struct timespec past[2] = {{1000000000, 0}, {1000000000, 0}};
        QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(at("one")).constData(), past, 0), 0);
        const CliRun refused = RunCli({"undo"});
        guard.release();
        QCOMPARE(refused.status, 1);
        QVERIFY2(refused.out.contains(("Cannot restore " + at("one/a.mp3")).toUtf8()),
                 refused.out.constData());
        QVERIFY(!QFileInfo::exists(at("one/a.mp3")));
        // Refused before the copy back was written, not removed after it.
        struct stat folder;
        QCOMPARE(::stat(QFile::encodeName(at("one")).constData(), &folder), 0);
        QCOMPARE(qint64(folder.st_mtim.tv_sec), qint64(1000000000));
        QCOMPARE(fixture::ReadFile(at("sorted/a.mp3")), applied);
        QCOMPARE(RunCli({"undo"}).status, 0);
        QCOMPARE(tree(m_root), before);
    }

    // A file changed since the run is reported and left alone; the others
    // come back.
    void undoRefusesChangedFile() {
        const QByteArray originalB = fixture::ReadFile(at("one/b.mp3"));
        QCOMPARE(RunCli(QStringList{"apply"} + sortInto("sorted") +
                        QStringList{at("one/a.mp3"), at("one/b.mp3")})
                     .status,
                 0);
        QByteArray changed = fixture::ReadFile(at("sorted/a.mp3"));
        changed.append("edited later");
        QVERIFY(fixture::WriteFile(at("sorted/a.mp3"), changed));

        const CliRun undo = RunCli({"undo", "--json"});
        QCOMPARE(undo.status, 1);
        const QJsonArray files = QJsonDocument::fromJson(undo.out).object()["files"].toArray();
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[0]["ok"].toBool(), true);
        QCOMPARE(files[1]["ok"].toBool(), false);
        QVERIFY(messagesOf(files[1]).join(' ').contains("changed since the run"));
        QCOMPARE(fixture::ReadFile(at("sorted/a.mp3")), changed);
        QCOMPARE(fixture::ReadFile(at("one/b.mp3")), originalB);
        QVERIFY(!QFileInfo::exists(at("one/a.mp3")));

        // The run stays undoable for the file left behind, and a plain undo
        // takes it once the edit is gone.
        QVERIFY(RunCli({"history"}).out.contains("(partly undone: 1 file not restored)"));
        QCOMPARE(jsonArray(RunCli({"history", "--json"}).out).at(0)["notRestored"].toInt(), 1);
        changed.chop(12);
        QVERIFY(fixture::WriteFile(at("sorted/a.mp3"), changed));
        QCOMPARE(RunCli({"undo"}).status, 0);
        QCOMPARE(fixture::ReadFile(at("one/a.mp3")), song("one/a"));
        QVERIFY(RunCli({"history"}).out.contains("(undone)"));
    }

    // What --dry-run foresees is what the run then does: the same report,
    // and nothing changed by either.
    void dryRunForeseesRefusals_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("protect"); // a folder made read-only
        QTest::addColumn<QString>("says");
        QTest::newRow("name over 255 bytes")
            << QStringList{"--create", "filename=%F" + QString(260, 'n')} << ""
            << "is longer than 255 bytes";
        QTest::newRow("read-only target folder") << QStringList{} << "sorted"
                                                 << "Cannot move file as";
        QTest::newRow("read-only source folder") << QStringList{} << "one"
                                                 << "its folder is not writable";
    }
    void dryRunForeseesRefusals() {
        QFETCH(QStringList, options);
        QFETCH(QString, protect);
        QFETCH(QString, says);
        QVERIFY(QDir().mkpath(at("sorted")));
        ImmutableFile guard;
        if (!protect.isEmpty() && !guard.protect(at(protect)))
            QSKIP("this file system cannot make a folder read-only for this user");
        const auto before = tree(m_root);
        const QStringList args = sortInto("sorted") + options + QStringList{at("one/a.mp3")};
        const CliRun dry = RunCli(QStringList{"apply", "--json", "--dry-run"} + args);
        const CliRun real = RunCli(QStringList{"apply", "--json"} + args);
        QCOMPARE(dry.status, 1);
        QCOMPARE(real.status, 1);
        QCOMPARE(jsonArray(dry.out), jsonArray(real.out));
        QVERIFY2(messagesOf(jsonArray(real.out)[0]).join(' ').contains(says), real.out.constData());
        QCOMPARE(tree(m_root), before);
    }

    // A file named by a symbolic link is refused by every command that
    // would act on it, naming the link and the file it leads to.
    void symbolicLinkRefused() {
        QVERIFY(QFile::link("a.mp3", at("one/link.mp3"))); // relative: moved, it would dangle
        const auto before = tree(m_root);
        const QString message = "Not applied to " + at("one/link.mp3") +
                                ": it is a symbolic link to " + at("one/a.mp3") +
                                " (give that file instead)";
        for (const QStringList& command :
             {QStringList{"apply", "--json"}, QStringList{"apply", "--json", "--dry-run"},
              QStringList{"preview", "--json"}}) {
            const CliRun r = RunCli(command + sortInto("sorted") + QStringList{at("one/link.mp3")});
            QCOMPARE(r.status, 1);
            QCOMPARE(messagesOf(jsonArray(r.out)[0]), QStringList{message});
        }
        QCOMPARE(tree(m_root), before);
        QVERIFY(QFileInfo(at("one/link.mp3")).isSymLink());
    }

    // A name that is no UTF-8 goes through apply and undo with its bytes,
    // and a neighbour whose name reads the same once decoded with U+FFFD is
    // never touched.
    void nameThatIsNoUtf8() {
        const QByteArray folder = QFile::encodeName(m_root);
        const QByteArray latin1 = folder + "/one/caf\xE9.mp3";
        const QByteArray neighbour = folder + "/one/caf\xEF\xBF\xBD.mp3";
        const QByteArray target = folder + "/sorted/caf\xE9.mp3";
        const QByteArray mine = song("mine"), theirs = song("theirs");
        for (const auto& [name, bytes] : {std::pair{latin1, mine}, std::pair{neighbour, theirs}}) {
            const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            QVERIFY(fd >= 0);
            QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size()));
            ::close(fd);
        }
        const auto bytesOf = [](const QByteArray& name) {
            QByteArray all(1 << 20, '\0');
            const int fd = ::open(name.constData(), O_RDONLY);
            const ssize_t n = fd >= 0 ? ::read(fd, all.data(), size_t(all.size())) : -1;
            if (fd >= 0)
                ::close(fd);
            return n < 0 ? QByteArray() : all.left(n);
        };
        const CliRun r = RunCliBytes({"apply", "--json", "--case", "keep", "--create",
                                      "location=" + folder + "/sorted", latin1});
        QCOMPARE(r.status, 0);
        // JSON carries the byte as the escape \udce9.
        const QString text = "caf" + QString(QChar(0xDCE9)) + ".mp3";
        QCOMPARE(jsonArray(r.out).at(0)["path"].toString(), at("one/" + text));
        QCOMPARE(jsonArray(r.out).at(0)["target"].toString(), at("sorted/" + text));
        QCOMPARE(::access(latin1.constData(), F_OK), -1);
        QVERIFY(bytesOf(target).contains(fixture::SilentAudio(8)));
        QCOMPARE(bytesOf(neighbour), theirs);

        QCOMPARE(RunCli({"undo"}).status, 0);
        QCOMPARE(bytesOf(latin1), mine);
        QCOMPARE(bytesOf(neighbour), theirs);
        QCOMPARE(::access(target.constData(), F_OK), -1);
    }

    // Text output shows a control character of a tag or a name as "?": a
    // crafted title neither drives the terminal nor adds a result line of
    // its own. JSON keeps the characters.
    void controlCharactersShownInLine() {
        const QString title = "Song\nok     /etc/shadow -> /tmp/x.mp3\x1b]0;owned\x07";
        // 0x9B, no UTF-8, is CSI to a terminal that takes 8-bit controls.
        // U+1F480 in UTF-16 ends in 0xDC80, which is no control there.
        const QString path =
            pathFromBytes(QFile::encodeName(at("one/")) + "\x1b[31mred\nname\x9b"
                                                          "2J\xF0\x9F\x92\x80.mp3");
        QVERIFY(fixture::WriteFile(at("one/plain"), song(title, false)));
        QCOMPARE(
            ::rename(QFile::encodeName(at("one/plain")).constData(), pathBytes(path).constData()),
            0);
        const QString sorted = "location=" + at("sorted");
        for (const QStringList& args :
             {QStringList{"show", path}, QStringList{"preview", "--create", sorted, path},
              QStringList{"apply", "--create", sorted, path}, QStringList{"undo"}}) {
            QList<QByteArray> bytes; // the name's bytes as they are
            for (const QString& a : args)
                bytes << pathBytes(a);
            const CliRun r = RunCliBytes(bytes);
            QCOMPARE(r.status, 0);
            for (const char c : r.out)
                QVERIFY2(c == '\n' || (uchar(c) >= 0x20 && c != 0x7f && uchar(c) != 0x9b),
                         qPrintable(args[0]));
            const QStringList lines = QString::fromUtf8(r.out).split('\n');
            // One result line each for apply and undo; the title shows
            // where show and preview print it, on its field's line.
            const bool changes = args[0] == "apply" || args[0] == "undo";
            QCOMPARE(lines.filter(QRegularExpression("^ok ")).size(), changes ? 1 : 0);
            QCOMPARE(r.out.contains("Song?ok     /etc/shadow -> /tmp/x.mp3?]0;owned?"), !changes);
            QVERIFY2(r.out.contains("?2J\xF0\x9F\x92\x80.mp3"), r.out.constData());
        }
        const CliRun json = RunCliBytes({"show", "--json", pathBytes(path)});
        QVERIFY(json.out.contains("/one/\\u001b[31mred\\nname\\udc9b2J\xF0\x9F\x92\x80.mp3\""));
        QCOMPARE(jsonArray(json.out).at(0)["fields"]["Title"].toString(), title);
    }

    // A journal that lost a line in the middle is refused, not half undone.
    void damagedJournalRefused() {
        QCOMPARE(RunCli(QStringList{"apply"} + sortInto("sorted") +
                        QStringList{at("one/a.mp3"), at("one/b.mp3")})
                     .status,
                 0);
        const auto applied = tree(m_root);
        const JournalRun run = ReadJournalRuns(cliJournal()).value(0);
        QList<QByteArray> lines = fixture::ReadFile(run.file).split('\n');
        lines.removeIf([](const QByteArray& l) {
            const QJsonObject r = QJsonDocument::fromJson(l).object();
            return r["type"] == "start" && r["seq"] == 1;
        });
        QVERIFY(fixture::WriteFile(run.file, lines.join('\n')));

        const CliRun undo = RunCli({"undo"});
        QCOMPARE(undo.status, 1);
        QVERIFY2(undo.err.contains("the journal of " + run.id.toUtf8() + " is damaged"),
                 undo.err.constData());
        QVERIFY(undo.err.contains("the start record of file 1 is missing"));
        QCOMPARE(tree(m_root), applied);
        QVERIFY(RunCli({"history"}).out.contains("(damaged)"));
    }

    // A plain undo passes over a newer run that a kill ended before it
    // changed a file, and refuses a run that is still being applied (its
    // writer holds the journal locked): what undo restored now, the run
    // would write over afterwards. Another undo holds the lock only for the
    // moment it appends its marks: that is no run being applied.
    void undoChoosesItsRun_data() {
        QTest::addColumn<QString>("newest");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("restored");
        QTest::newRow("a newer run killed before its first file") << "killed" << 0 << true;
        QTest::newRow("the run still being applied") << "locked" << 1 << false;
        QTest::newRow("another undo's brief lock") << "briefly locked" << 0 << true;
    }
    void undoChoosesItsRun() {
        QFETCH(QString, newest);
        QFETCH(int, status);
        QFETCH(bool, restored);
        const auto before = tree(m_root);
        QCOMPARE(
            RunCli(QStringList{"apply"} + sortInto("sorted") + QStringList{at("one/a.mp3")}).status,
            0);
        const auto applied = tree(m_root);
        const JournalRun run = ReadJournalRuns(cliJournal()).value(0);
        int lock = -1;
        if (newest == "killed") {
            QVERIFY(fixture::WriteFile(cliJournal() + "/29991231-235959-999.jsonl",
                                       "{\"type\":\"run\",\"id\":\"29991231-235959-999\","
                                       "\"time\":\"2999-12-31T23:59:59.999Z\",\"begins\":true}\n"));
        } else {
            lock = ::open(QFile::encodeName(run.file).constData(), O_RDONLY | O_CLOEXEC);
            QVERIFY(lock >= 0 && ::flock(lock, LOCK_EX | LOCK_NB) == 0);
        }
        std::thread release;
        if (newest == "briefly locked")
            release = std::thread([&lock] {
                std::this_thread::sleep_for(std::chrono::milliseconds(700));
                ::close(std::exchange(lock, -1));
            });
        const CliRun undo = RunCli({"undo"});
        if (release.joinable())
            release.join();
        QCOMPARE(undo.status, status);
        QCOMPARE(tree(m_root), restored ? before : applied);
        if (lock < 0)
            return;
        QVERIFY2(undo.err.contains("run " + run.id.toUtf8() + " is still being applied"),
                 undo.err.constData());
        ::close(lock); // the run ended
        QCOMPARE(RunCli({"undo"}).status, 0);
        QCOMPARE(tree(m_root), before);
    }

    // --forget removes the runs older than the days given, with their bytes.
    void historyForget() {
        QCOMPARE(
            RunCli(QStringList{"apply"} + sortInto("sorted") + QStringList{at("one/a.mp3")}).status,
            0);
        const CliRun kept = RunCli({"history", "--forget", "1", "--json"});
        QCOMPARE(kept.status, 0);
        QCOMPARE(QJsonDocument::fromJson(kept.out).object()["forgotten"].toArray().size(), 0);
        QThread::msleep(5); // a run that began before now
        const CliRun gone = RunCli({"history", "--forget", "0"});
        QCOMPARE(gone.status, 0);
        QVERIFY2(gone.out.startsWith("Forgot 1 run"), gone.out.constData());
        QCOMPARE(QDir(cliJournal()).entryList(QDir::Files), QStringList{});
        QCOMPARE(RunCli({"history", "--forget", "soon"}).status, 2);
    }

    // A journal folder that cannot be listed is no journal without runs:
    // history and undo say so and fail.
    void unreadableJournalFolder() {
        QDir(cliJournal()).removeRecursively();
        QVERIFY(QDir().mkpath(QFileInfo(cliJournal()).path()));
        QVERIFY(fixture::WriteFile(cliJournal(), "a file where the folder goes"));
        for (const QStringList& args :
             {QStringList{"history"}, QStringList{"history", "--json"},
              QStringList{"history", "--forget", "0"}, QStringList{"undo"}}) {
            const CliRun run = RunCli(args);
            QCOMPARE(run.status, 1);
            QVERIFY2(run.err.contains("cannot read the journal folder " +
                                      QFile::encodeName(cliJournal())),
                     run.err.constData());
        }
        QFile::remove(cliJournal());
        QCOMPARE(RunCli({"history"}).out, QByteArray("No apply runs.\n"));
    }

    // What its owner's permissions hide from quorvel-cli is reported, not
    // taken for nothing there. Permissions bind only a user who is not root:
    // run as nobody where the test runs as root and nobody can run the tool.
    void hiddenByPermissions_data() {
        QTest::addColumn<QString>("hidden"); // made so after one apply
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("says");
        QTest::newRow("journal folder listed, not searched")
            << "journal 0400" << QStringList{"history"} << "cannot read the journal folder";
        QTest::newRow("journal folder, undo")
            << "journal 0400" << QStringList{"undo"} << "cannot read the journal folder";
        QTest::newRow("journal of a run")
            << "run 0000" << QStringList{"undo"} << "the journal cannot be read";
        QTest::newRow("settings behind a folder not searched")
            << "settings 0600" << QStringList{"profile", "list"}
            << "cannot read the settings store";
    }
    void hiddenByPermissions() {
        QFETCH(QString, hidden);
        QFETCH(QStringList, args);
        QFETCH(QString, says);
        if (::geteuid() != 0)
            QSKIP("needs root, to run the tool as another user");
        QTemporaryDir home;
        QVERIFY(QFile::setPermissions(home.path(), QFileDevice::Permissions(0x7777)));
        const QStringList asNobody{"--reuid=65534",
                                   "--regid=65534",
                                   "--clear-groups",
                                   "env",
                                   "HOME=" + home.path(),
                                   "XDG_STATE_HOME=" + home.filePath("state"),
                                   "XDG_CONFIG_HOME=" + home.filePath("config"),
                                   QStringLiteral(QUORVEL_CLI_PATH)};
        const auto run = [&](const QStringList& a) { return RunCli(asNobody + a, {}, "setpriv"); };
        if (run({"--version"}).status != 0 ||
            RunCli({"--reuid=65534", "--regid=65534", "--clear-groups", "test", "-w", home.path()},
                   {}, "setpriv")
                    .status != 0)
            QSKIP("nobody cannot run the tool or write its files here");
        const QString song = home.filePath("a.mp3");
        QVERIFY(fixture::WriteFile(song, ::song("A")));
        QVERIFY(QFile::setPermissions(song, QFileDevice::Permissions(0x6666)));
        QCOMPARE(run({"apply", "--create", "location=" + home.filePath("out"), song}).status, 0);
        QCOMPARE(run({"profile", "save", "Mine"}).status, 0);
        const QString journal =
            home.filePath("state/Norvesta/" +
                          storeApplicationName(QStringLiteral(QUORVEL_CLI_PATH)) + "/journal");
        const QString what = hidden.section(' ', 0, 0);
        QString target = what == "journal" ? journal : home.filePath("config/Norvesta");
        if (what == "run")
            target = journal + '/' + QDir(journal).entryList({"*.jsonl"}).value(0);
        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(::chmod(QFile::encodeName(target).constData(),
                         mode_t(hidden.section(' ', 1).toUInt(nullptr, 8))),
                 0);
        const CliRun r = run(args);
        QCOMPARE(r.status, 1);
        QVERIFY2(r.err.contains(says.toUtf8()), r.err.constData());
        QVERIFY(!QFileInfo::exists(song)); // nothing was undone
        ::chmod(QFile::encodeName(target).constData(), 0700);
    }

    // A run stopped between two files: by a kill it never sees, or by
    // SIGTERM/SIGINT/SIGHUP, after which it finishes the file in hand and
    // stops (a hang-up had killed it half-way through a copy, leaving a
    // temporary file). A signal it was started ignoring (nohup) stops
    // nothing.
    void interrupted_data() {
        QTest::addColumn<int>("signal");
        QTest::addColumn<bool>("ignored"); // from the start
        QTest::newRow("killed") << int(SIGKILL) << false;
        QTest::newRow("terminated") << int(SIGTERM) << false;
        QTest::newRow("interrupted") << int(SIGINT) << false;
        QTest::newRow("terminal closed") << int(SIGHUP) << false;
        QTest::newRow("terminal closed under nohup") << int(SIGHUP) << true;
    }
    void interrupted() {
        QFETCH(int, signal);
        QFETCH(bool, ignored);
        const auto before = tree(m_root);
        QProcess p;
        if (ignored)
            p.setChildProcessModifier([signal] { ::signal(signal, SIG_IGN); });
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUORVEL_APPLY_PAUSE", "1");
        p.setProcessEnvironment(env);
        p.start(QStringLiteral(QUORVEL_CLI_PATH),
                QStringList{"apply", "--json"} + sortInto("sorted") +
                    QStringList{at("one/a.mp3"), at("one/b.mp3"), at("one/c.mp3")});
        QVERIFY(p.waitForStarted());
        p.setReadChannel(QProcess::StandardError);
        QByteArray err;
        while (!err.contains("applied 1\n") && p.waitForReadyRead(30000))
            err += p.readAllStandardError();
        if (!err.contains("applied 1\n"))
            p.kill();
        QVERIFY2(err.contains("applied 1\n"), err.constData());
        ::kill(pid_t(p.processId()), signal);
        if (signal != SIGKILL) {
            p.write("\n"); // let it go on: it must see the stop request
            p.closeWriteChannel();
        }
        QVERIFY(p.waitForFinished(30000));
        if (ignored) {
            QCOMPARE(p.exitCode(), 0);
            QVERIFY(QFile::exists(at("sorted/c.mp3")));
            return;
        }
        if (signal == SIGKILL) {
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        } else {
            QCOMPARE(p.exitCode(), 1);
            const QJsonArray files = jsonArray(p.readAllStandardOutput());
            QCOMPARE(files.size(), 3);
            QCOMPARE(files[0]["ok"].toBool(), true);
            QCOMPARE(messagesOf(files[1]), QStringList{"Not applied: the run was stopped"});
            QCOMPARE(files[2]["moved"].toBool(), false);
        }
        QVERIFY(QFile::exists(at("sorted/a.mp3")));
        QCOMPARE(tree(m_root).value("one/b.mp3"), before.value("one/b.mp3"));
        QCOMPARE(tree(m_root).value("one/c.mp3"), before.value("one/c.mp3"));

        // The journal it left takes the one file back.
        const QJsonArray runs = jsonArray(RunCli({"history", "--json"}).out);
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0]["files"].toInt(), 1);
        const CliRun undo = RunCli({"undo", runs[0]["id"].toString()});
        QCOMPARE(undo.status, 0);
        QCOMPARE(tree(m_root), before);
    }

    // A write that fails (a file that cannot be written) is reported, the
    // file stays, and the rest of the batch goes on.
    void failedWrite() {
        ImmutableFile guard;
        if (!guard.protect(at("one/a.mp3")))
            QSKIP("this file system cannot make a file read-only for this user");
        const CliRun r = RunCli(QStringList{"apply", "--json"} + sortInto("sorted") +
                                QStringList{at("one/a.mp3"), at("one/b.mp3")});
        guard.release();
        QCOMPARE(r.status, 1);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(messagesOf(files[0]), QStringList{"Cannot write tags to " + at("one/a.mp3") +
                                                   ": " + qt_error_string(EPERM)});
        QCOMPARE(files[0]["tagsWritten"].toBool(), false);
        QCOMPARE(files[0]["moved"].toBool(), false);
        QCOMPARE(files[1]["ok"].toBool(), true);
        QCOMPARE(fixture::ReadFile(at("one/a.mp3")), song("one/a"));
    }

    // A reader of the output that goes away (| head) does not kill the run
    // part way: every file is done, and the lost output is said at the end.
    void outputReaderGone() {
        int pipeFds[2];
        QCOMPARE(::pipe(pipeFds), 0);
        ::close(pipeFds[0]); // nobody reads
        QList<QByteArray> args{"apply", "--json"};
        for (const QString& a : sortInto("sorted") + QStringList{at("one/a.mp3"), at("one/b.mp3")})
            args << QFile::encodeName(a);
        const CliRun r = RunCliBytes(args, {}, CliOutput{CliOutput::Descriptor, {}, pipeFds[1]});
        ::close(pipeFds[1]);
        QCOMPARE(r.status, 1); // -1: killed by a signal
        QVERIFY2(r.err.contains("cannot write the output: Broken pipe"), r.err.constData());
        QVERIFY(QFile::exists(at("sorted/a.mp3")));
        QVERIFY(QFile::exists(at("sorted/b.mp3")));
    }

    // A write past the file-size limit (ulimit -f) fails as a full disk
    // does: reported, the file left as it was and no temporary file behind.
    // It had killed the run part way through the copy.
    void fileSizeLimit() {
        const QString file = at("one/a.mp3");
        const QByteArray before = fixture::ReadFile(file);
        const rlim_t limit = rlim_t(before.size() + 1024);
        QProcess p;
        p.setChildProcessModifier([limit] {
            const struct rlimit r { limit, limit };
            ::setrlimit(RLIMIT_FSIZE, &r);
        });
        p.start(QStringLiteral(QUORVEL_CLI_PATH),
                {"apply", "--json", "--create", "title=" + QString(4000, u'x'), file});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QJsonArray files = jsonArray(p.readAllStandardOutput());
        QCOMPARE(files.size(), 1);
        QCOMPARE(files[0]["tagsWritten"].toBool(), false);
        QCOMPARE(messagesOf(files[0]),
                 QStringList{"Cannot write tags to " + file + ": " + qt_error_string(EFBIG)});
        QCOMPARE(fixture::ReadFile(file), before);
        QCOMPARE(QDir(at("one")).entryList({".quorvel-*"}, QDir::Files | QDir::Hidden),
                 QStringList());
    }

    // An undo that cannot give the file back its ID3v1 block (a full disk,
    // here the file-size limit) leaves it as the run left it, for a later
    // undo to take back whole; it had put the old tag back without the block.
    void undoThatCannotGrowTheFile() {
        const QString file = at("one/padded.mp3");
        fixture::Tag tag;
        tag.frames = {{"TIT2", fixture::TextBody(0, "Padded")}};
        tag.padding = 1000;
        fixture::V1 v1;
        v1.title = "Padded";
        QVERIFY(fixture::WriteFile(file, fixture::BuildFile(&tag, 8, &v1)));
        const QByteArray original = fixture::ReadFile(file);
        QCOMPARE(RunCli({"apply", "--case", "keep", "--clear-v1", "--create", "title=XXXXX",
                         "--create", "location=%L", "--create", "filename=%F", file})
                     .status,
                 0);
        const QByteArray applied = fixture::ReadFile(file);
        QCOMPARE(applied.size(), original.size() - 128); // written in place
        QVERIFY(applied != original.first(applied.size()));
        QProcess p;
        const rlim_t limit = rlim_t(applied.size());
        p.setChildProcessModifier([limit] {
            const struct rlimit r { limit, limit };
            ::setrlimit(RLIMIT_FSIZE, &r);
        });
        p.start(QStringLiteral(QUORVEL_CLI_PATH), {"undo"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 1);
        const QByteArray said = p.readAllStandardOutput();
        QVERIFY2(
            said.contains(QString("Cannot restore %1. Error %2").arg(file).arg(EFBIG).toUtf8()),
            said.constData());
        QCOMPARE(fixture::ReadFile(file), applied);
        QCOMPARE(RunCli({"undo"}).status, 0);
        QCOMPARE(fixture::ReadFile(file), original);
    }

    // A target on a full disk is refused before the tags are written: the
    // folder or the copy would fail after them, leaving new tags under the
    // old name. A file system that counts no room (ramfs, an unlimited
    // tmpfs) is no full one. The disks are small file systems mounted for
    // the test.
    void fullTargetDisk_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("options");  // filled unless says is empty
        QTest::addColumn<QString>("location"); // below the mount
        QTest::addColumn<QString>("says");     // %1: the target
        QTest::addColumn<bool>("grows");       // room left for the file, not its longer tag
        const QString noSpace = QStringLiteral("Cannot move file as %1. Error 28");
        QTest::newRow("no room for the copy") << "tmpfs"
                                              << "size=64k"
                                              << "" << noSpace << false;
        QTest::newRow("no room for the copy, folder to make") << "tmpfs"
                                                              << "size=64k"
                                                              << "/sub" << noSpace << false;
        QTest::newRow("room for the file, not for its longer tag") << "tmpfs"
                                                                   << "size=64k"
                                                                   << "" << noSpace << true;
        QTest::newRow("no inode for a folder") << "tmpfs"
                                               << "size=1m,nr_inodes=4"
                                               << "/sub/deeper"
                                               << "Cannot create folder" << false;
        QTest::newRow("no inode for the copy") << "tmpfs"
                                               << "size=1m,nr_inodes=4"
                                               << "" << noSpace << false;
        QTest::newRow("room not counted") << "ramfs"
                                          << ""
                                          << "/sub"
                                          << "" << false;
        QTest::newRow("room unlimited") << "tmpfs"
                                        << "size=0,nr_inodes=0"
                                        << "/sub"
                                        << "" << false;
    }
    void fullTargetDisk() {
        QFETCH(QString, type);
        QFETCH(QString, options);
        QFETCH(QString, location);
        QFETCH(QString, says);
        QFETCH(bool, grows);
        const QString disk = m_dir.filePath("disk");
        QVERIFY(QDir().mkpath(disk));
        QStringList mount{"-t", type, type, disk};
        if (!options.isEmpty())
            mount << "-o" << options;
        if (::geteuid() != 0 || QProcess::execute("mount", mount) != 0)
            QSKIP("cannot mount a small file system here");
        struct Unmount {
            QString path;
            ~Unmount() { QProcess::execute("umount", {path}); }
        } unmount{disk};
        // Filled: its inodes by empty files, or its blocks by one file.
        const bool fillInodes = options.contains("nr_inodes");
        for (int i = 0; !says.isEmpty() && fillInodes &&
                        QFile(disk + QString("/empty%1").arg(i)).open(QIODevice::WriteOnly);
             ++i) {
        }
        QFile filler(disk + "/filler");
        if (!says.isEmpty() && !fillInodes && filler.open(QIODevice::WriteOnly)) {
            while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
            }
            filler.close();
        }
        const QString file = at("one/a.mp3");
        const QByteArray before = fixture::ReadFile(file);
        QStringList grow;
        if (grows) {
            constexpr qint64 block = 4096;
            QVERIFY(filler.resize(filler.size() - (before.size() + block - 1) / block * block));
            grow = QStringList{"--create", "title=" + QString(3 * block, u'x')};
        }
        const CliRun r = RunCli(
            QStringList{"apply", "--json", "--create", "location=" + disk + location, file} + grow);
        const QJsonArray files = jsonArray(r.out);
        if (says.isEmpty()) {
            QCOMPARE(r.status, 0);
            QVERIFY(QFile::exists(files[0]["target"].toString()));
            return;
        }
        QCOMPARE(r.status, 1);
        QCOMPARE(messagesOf(files[0]),
                 QStringList{says.contains("%1") ? says.arg(files[0]["target"].toString()) : says});
        QCOMPARE(files[0]["tagsWritten"].toBool(), false);
        QCOMPARE(fixture::ReadFile(file), before);
        QVERIFY(!QFileInfo::exists(disk + "/sub"));
    }

    // What apply writes is read by other programs as it was meant: mutagen
    // sees the seven frames, ffprobe decodes the audio without an error.
    void otherProgramsReadTheResult() {
        if (!QFile::exists("/usr/bin/python3") ||
            QStandardPaths::findExecutable("ffprobe").isEmpty())
            QSKIP("mutagen or ffprobe missing");
        const CliRun r = RunCli({"apply", "--case", "keep", "--clear-other-v2", "--create",
                                 "location=" + at("out"), "--create", "artist=Café Ω", "--create",
                                 "title=%T", "--create", "album=Best of", at("one/a.mp3")});
        QCOMPARE(r.status, 0);
        const QString file = at("out/a.mp3");
        QProcess mutagen;
        mutagen.start("/usr/bin/python3",
                      {"-c",
                       "import sys, mutagen.id3 as m\n"
                       "t = m.ID3(sys.argv[1])\n"
                       "print(t.version[1], '|'.join(str(t[k]) if k in t else '-' for k in "
                       "('TPE1','TPE2','TIT2','TALB','APIC:')))",
                       file});
        QVERIFY(mutagen.waitForFinished(60000));
        const QString seen = QString::fromUtf8(mutagen.readAllStandardOutput()).trimmed();
        if (seen.isEmpty() && mutagen.readAllStandardError().contains("No module named"))
            QSKIP("mutagen missing");
        QCOMPARE(seen, QString("3 Café Ω|Café Ω|one/a|Best of|-"));
        QProcess ffprobe;
        ffprobe.start("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of",
                                  "csv=p=0", file});
        QVERIFY(ffprobe.waitForFinished(60000));
        QCOMPARE(ffprobe.readAllStandardOutput().trimmed(), QByteArray("mp3"));
        QCOMPARE(ffprobe.readAllStandardError(), QByteArray());
    }

    void arguments_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("no file") << QStringList{"apply", "--json"} << 2 << "at least one FILE";
        QTest::newRow("unknown option")
            << QStringList{"apply", "--frob", "x.mp3"} << 2 << "unknown option '--frob'";
        QTest::newRow("bad case") << QStringList{"apply", "--case", "odd", "x.mp3"} << 2
                                  << "--case";
        QTest::newRow("unknown profile")
            << QStringList{"apply", "--profile", "No Such", "x.mp3"} << 1 << "No Such";
        QTest::newRow("history extra") << QStringList{"history", "x"} << 2 << "unexpected";
        QTest::newRow("undo unknown run") << QStringList{"undo", "1999"} << 1 << "no run '1999'";
        QTest::newRow("undo two runs") << QStringList{"undo", "a", "b"} << 2 << "unexpected";
    }
    void arguments() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, stderrHas);
        const CliRun r = RunCli(args);
        QCOMPARE(r.status, status);
        QVERIFY2(QString::fromUtf8(r.err).contains(stderrHas), r.err.constData());
    }

    // A relative Location is taken against the folder the run started in,
    // and the journal keeps absolute paths: undo works from anywhere.
    void relativeLocationUndoneElsewhere() {
        const auto original = tree(m_root);
        const CliRun r = RunCli(QStringList{"apply", "--json", "--case", "keep", "--create",
                                            "location=sorted/./new", "one/a.mp3", "./one/b.mp3"},
                                m_root);
        QCOMPARE(r.status, 0);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(files[0]["path"].toString(), at("one/a.mp3"));
        QCOMPARE(files[1]["path"].toString(), at("one/b.mp3"));
        QCOMPARE(files[0]["target"].toString(), at("sorted/new/a.mp3"));
        QVERIFY(QFile::exists(at("sorted/new/b.mp3")));
        const JournalRun run = ReadJournalRuns(cliJournal()).value(0);
        QCOMPARE(run.entries.size(), 2);
        for (const JournalEntry& e : run.entries) {
            QVERIFY2(e.originalPath.startsWith('/') && e.targetPath.startsWith('/'),
                     qPrintable(e.targetPath));
            for (const QString& folder : e.plannedFolders)
                QVERIFY(folder.startsWith('/'));
        }
        QCOMPARE(RunCli({"undo"}, m_dir.path()).status, 0);
        QCOMPARE(tree(m_root), original);
    }

    // A missing file fails on its own; a file named "-" after "--" is a file.
    void missingFiles() {
        const CliRun r = RunCli(QStringList{"apply", "--json"} + sortInto("sorted") +
                                QStringList{at("one/nothere.mp3"), "--", at("one/a.mp3")});
        QCOMPARE(r.status, 1);
        const QJsonArray files = jsonArray(r.out);
        QCOMPARE(files.size(), 2);
        QCOMPARE(files[0]["ok"].toBool(), false);
        QCOMPARE(files[1]["ok"].toBool(), true);
    }
};

QTEST_GUILESS_MAIN(TestCliApply)
#include "test_cli_apply.moc"
