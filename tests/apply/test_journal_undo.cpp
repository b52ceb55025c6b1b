#include "apply/contentprint.h"
#include "apply/foldercreation.h"
#include "apply/journal.h"
#include "apply/journalfileops.h"
#include "apply/jsonline.h"
#include "apply/movefile.h"
#include "apply/runindex.h"
#include "apply/undo.h"
#include "immutablefile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// These tests stand in for Apply with plain byte edits, so that the journal
// and undo are checked on their own: a "tag region" at the front, audio in
// the middle and an optional 128-byte block at the end.
namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray audio(int size, char seed) {
    QByteArray a(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        a[i] = char(seed + i * 7);
    return a;
}

// A version 3 tag region of size bytes (header included) filled with seed.
QByteArray tagRegion(int size, char seed) {
    QByteArray h("ID3\x03\x00\x00", 6);
    for (int shift = 21; shift >= 0; shift -= 7)
        h += char(((size - 10) >> shift) & 0x7f);
    return h + QByteArray(size - 10, seed);
}

// Sets the modification time of path back to what it was, as `touch -d`
// does: the change time still moves, the kernel sees to that.
void keepTime(const QString& path, const FileDigest& was) {
    const struct timespec times[2] = {
        {0, UTIME_OMIT}, {time_t(was.mtimeNs / 1000000000), long(was.mtimeNs % 1000000000)}};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

QByteArray v1Block() {
    return QByteArray("TAG") + QByteArray(125, 'v');
}

struct Edit {
    QByteArray oldHead;
    QByteArray newHead;
    bool hasTail = false;
    bool removeTail = false;
    QString target; // relative to the folder; empty: stays
};

// What Apply does to one file, journaled the same way. With complete false
// the run is cut off after the bytes changed, before the move and the outcome.
void simulate(JournalWriter& journal, const QString& path, const Edit& edit, const QString& target,
              bool complete) {
    const FileDigest before = PrintFileAt(path).digest;
    QVERIFY(before.ok);
    JournalEntry e;
    e.originalPath = path;
    e.targetPath = target;
    e.head = edit.oldHead;
    e.tail = edit.removeTail ? v1Block() : QByteArray();
    e.originalSize = before.size;
    e.originalDigest = before.digest;
    e.originalMtimeNs = before.mtimeNs;
    // A file that keeps its folder needs none made.
    const bool ownFolder = QFileInfo(target).path() == QFileInfo(path).path();
    QVERIFY(ownFolder || MissingFolderLevels(QFileInfo(target).path(), e.plannedFolders));
    QString error;
    QVERIFY2(journal.recordStart(e, &error), qPrintable(error));
    QVERIFY(journal.recordBegin(e.seq, &error));

    QByteArray bytes = readAll(path);
    bytes = edit.newHead + bytes.mid(edit.oldHead.size());
    if (edit.removeTail)
        bytes.chop(128);
    writeAll(path, bytes);
    if (!complete)
        return;
    QVERIFY(ownFolder || CreateFolderLevels(QFileInfo(target).path()));
    QCOMPARE(MoveFileNoReplace(path, target), 0);
    const FileDigest after = PrintFileAt(target).digest;
    e.done = e.changed = true;
    e.finalPath = target;
    e.finalSize = after.size;
    e.finalDigest = after.digest;
    QVERIFY(journal.recordOutcome(e, &error));
}

// count files in dir, each a tag region and audio, whose tag one run of
// journal (then finished) rewrote in place; their names and original bytes
// go to files and originals.
void retitledInPlace(const QTemporaryDir& dir, int count, JournalWriter& journal,
                     QStringList& files, QList<QByteArray>& originals) {
    for (int i = 0; i < count; ++i) {
        files << dir.filePath(QString("f%1.mp3").arg(i));
        originals << tagRegion(300, 'o') + audio(500, char(i));
        writeAll(files.last(), originals.last());
        simulate(journal, files.last(),
                 {tagRegion(300, 'o'), tagRegion(300, 'n'), false, false, {}}, files.last(), true);
    }
    journal.finish();
}

// Counts the flushes of undo: the journal's, with how many files hold their
// original bytes at that moment, the restored files' and those of their
// whole file system.
class CountedOps : public JournalFileOps {
public:
    QStringList files;
    QList<QByteArray> originals;
    bool failFileSync = false;
    // How a flush of the whole file system goes: not done there (each file
    // is flushed), done, or failing (each file is flushed after all).
    enum Whole { NotDone, Flushed, Fails } whole = NotDone;
    QList<int> journalSyncs; // restored files at each
    QList<int> fileSyncs;    // journal syncs before each
    QList<int> wholeSyncs;   // journal syncs before each
    bool sync(int fd) override {
        // syncFile runs on other threads.
        const QMutexLocker lock(&m_lock);
        int restored = 0;
        for (int i = 0; i < files.size(); ++i)
            restored += readAll(files[i]) == originals[i];
        journalSyncs << restored;
        return JournalFileOps::sync(fd);
    }
    bool syncFile(int fd) override {
        const QMutexLocker lock(&m_lock);
        fileSyncs << int(journalSyncs.size());
        if (failFileSync) {
            errno = EIO;
            return false;
        }
        return JournalFileOps::syncFile(fd);
    }
    bool syncFileSystem(int fd) override {
        const QMutexLocker lock(&m_lock);
        if (whole == NotDone) {
            errno = EOPNOTSUPP;
            return false;
        }
        wholeSyncs << int(journalSyncs.size());
        errno = EIO;
        return whole == Flushed && ::syncfs(fd) == 0;
    }

private:
    QMutex m_lock;
};

// Edits a file as another program would (new bytes, a later modification
// time) at the first flush of the journal.
class EditAtFirstSync : public JournalFileOps {
public:
    // How the other program edits: rewrites the file, rewrites it and puts
    // its modification time back, or saves a new file over it (with the
    // same time).
    enum Kind { Rewrite, KeepTimes, Replace };
    EditAtFirstSync(QString path, QByteArray bytes, Kind kind = Rewrite)
        : m_path(std::move(path)), m_bytes(std::move(bytes)), m_kind(kind) {}
    bool edited = false;
    int heldLock = -1;       // a lock the other program lets go of first
    bool atFileSync = false; // at the first flush of a restored file instead
    bool sync(int fd) override {
        if (!atFileSync)
            editOnce();
        return JournalFileOps::sync(fd);
    }
    bool syncFile(int fd) override {
        if (atFileSync)
            editOnce();
        return JournalFileOps::syncFile(fd);
    }

private:
    void editOnce() {
        if (!edited) {
            edited = true;
            if (heldLock >= 0)
                ::close(heldLock);
            const QByteArray name = QFile::encodeName(m_path);
            struct stat was {};
            ::stat(name.constData(), &was);
            struct timespec times[2] = {{0, UTIME_OMIT}, was.st_mtim};
            if (m_kind == Rewrite)
                times[1] = {time(nullptr) + 60, 0};
            if (m_kind == Replace) {
                writeAll(m_path + ".new", m_bytes);
                ::utimensat(AT_FDCWD, QFile::encodeName(m_path + ".new").constData(), times, 0);
                ::rename(QFile::encodeName(m_path + ".new").constData(), name.constData());
            } else {
                writeAll(m_path, m_bytes);
                ::utimensat(AT_FDCWD, name.constData(), times, 0);
            }
        }
    }

    QString m_path;
    QByteArray m_bytes;
    Kind m_kind;
};

// Writes half of the next records it is armed for, then fails as a full
// disk does. With uncuttable, the journal then cannot be cut either (its
// descriptor is read-only for a moment) and writes work again afterwards.
class HalfWritten : public JournalFileOps {
public:
    bool armed = false;
    bool uncuttable = false;
    bool append(int fd, QByteArrayView bytes) override {
        if (m_writable >= 0) {
            ::dup2(m_writable, fd);
            ::close(m_writable);
            m_writable = -1;
        }
        if (!armed)
            return JournalFileOps::append(fd, bytes);
        armed = false;
        JournalFileOps::append(fd, bytes.first(bytes.size() / 2 + 7));
        if (uncuttable) {
            m_writable = ::dup(fd);
            const int readOnly =
                ::open(QByteArray("/proc/self/fd/") + QByteArray::number(fd), O_RDONLY | O_CLOEXEC);
            ::dup2(readOnly, fd);
            ::close(readOnly);
        }
        errno = ENOSPC;
        return false;
    }

    ~HalfWritten() override { release(); }
    // The writer's descriptor kept aside goes too (it holds the journal's lock).
    void release() {
        if (m_writable >= 0)
            ::close(m_writable);
        m_writable = -1;
    }

private:
    int m_writable = -1;
};

// Undo's groups take 128 files where the process may open enough
// descriptors (a few times as many): the tests that count on that size, or
// hold many descriptors, raise the soft limit for their run, as far as the
// hard one allows.
class RoomForFullGroups {
public:
    RoomForFullGroups() {
        ::getrlimit(RLIMIT_NOFILE, &m_was);
        struct rlimit more = m_was;
        more.rlim_cur = std::max(m_was.rlim_cur, std::min<rlim_t>(m_was.rlim_max, 4096));
        enough = more.rlim_cur >= 4096 && ::setrlimit(RLIMIT_NOFILE, &more) == 0;
    }
    ~RoomForFullGroups() { ::setrlimit(RLIMIT_NOFILE, &m_was); }
    bool enough = false;

private:
    struct rlimit m_was {};
};

// Fails the write of "undone" marks half-way, as a full disk does.
class UndoneMarksFail : public JournalFileOps {
public:
    bool append(int fd, QByteArrayView bytes) override {
        if (!bytes.toByteArray().contains("\"undone\""))
            return JournalFileOps::append(fd, bytes);
        JournalFileOps::append(fd, bytes.first(bytes.size() / 2));
        errno = ENOSPC;
        return false;
    }
};

} // namespace

class TestJournalUndo : public QObject {
    Q_OBJECT
private slots:
    void init() { QDir(JournalFolder()).removeRecursively(); }

    void restoresBytes_data() {
        QTest::addColumn<QByteArray>("oldHead");
        QTest::addColumn<QByteArray>("newHead");
        QTest::addColumn<bool>("hasTail");
        QTest::addColumn<bool>("removeTail");
        QTest::addColumn<QString>("target");
        QTest::addColumn<bool>("complete");
        QTest::addColumn<QString>("folder"); // of the file, in the test's folder

        const QByteArray small = "ID3" + QByteArray(60, 's');
        const QByteArray big = "ID3" + QByteArray(900, 'b');
        QTest::newRow("in place, same size") << small << QByteArray("ID3" + QByteArray(60, 'n'))
                                             << false << false << "a.mp3" << true << QString();
        // Longer than folder creation takes, and there all the same.
        QString deep;
        for (int level = 0; level < 9; ++level)
            deep += QString(250, u'd') + u'/';
        QTest::newRow("in place, in a folder of over 2,047 characters")
            << small << QByteArray("ID3" + QByteArray(60, 'n')) << false << false << "a.mp3" << true
            << deep;
        QTest::newRow("moved out of a folder of over 2,047 characters")
            << small << big << false << false << "/x/a.mp3" << true << deep;
        QTest::newRow("tag grows, two new folders")
            << small << big << false << false << "x/y/a.mp3" << true << QString();
        QTest::newRow("no tag before")
            << QByteArray() << big << true << false << "b.mp3" << true << QString();
        QTest::newRow("block removed")
            << small << big << true << true << "x/a.mp3" << true << QString();
        QTest::newRow("block kept")
            << small << small << true << false << "A.MP3" << true << QString();
        QTest::newRow("own path through a link to its folder")
            << small << big << false << false << "here/a.mp3" << true << QString();
        QTest::newRow("cut off before the move")
            << small << big << true << true << "x/y/a.mp3" << false << QString();
        QTest::newRow("cut off, in place")
            << small << big << false << false << "a.mp3" << false << QString();
    }
    void restoresBytes() {
        QFETCH(QByteArray, oldHead);
        QFETCH(QByteArray, newHead);
        QFETCH(bool, hasTail);
        QFETCH(bool, removeTail);
        QFETCH(QString, target);
        QFETCH(bool, complete);
        QFETCH(QString, folder);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(folder.isEmpty() ? "." : folder));
        const QDir own(dir.filePath(folder));
        const QString path = own.filePath("a.mp3");
        const QByteArray original = oldHead + audio(5000, 3) + (hasTail ? v1Block() : "");
        writeAll(path, original);
        const FileDigest before = PrintFileAt(path).digest;

        JournalWriter journal;
        QTemporaryDir links; // "here" leads to dir, from outside it
        QVERIFY(QFile::link(dir.path(), links.filePath("here")));
        // "/x": a folder of the test's own
        const QString to = target.startsWith("here/") ? links.filePath(target)
                           : target.startsWith(u'/')  ? dir.path() + target
                                                      : own.filePath(target);
        simulate(journal, path, {oldHead, newHead, hasTail, removeTail, {}}, to, complete);
        journal.finish();
        const QList<JournalRun> runs = ReadJournalRuns();
        QCOMPARE(runs.size(), 1);
        QCOMPARE(runs[0].changedFiles(), 1);

        const UndoReport report = UndoRun(runs[0]);
        QVERIFY2(report.ok, qPrintable(report.files.value(0).messages.join('\n')));
        QCOMPARE(readAll(path), original);
        QCOMPARE(PrintFileAt(path).digest.mtimeNs, before.mtimeNs);
        // Only the file is left: created folders and temporary files are gone.
        QCOMPARE(own.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{"a.mp3"});
        QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{folder.isEmpty() ? "a.mp3" : folder.section(u'/', 0, 0)});

        // The run is now marked: a second undo passes over the file.
        const JournalRun again = ReadJournalRun(runs[0].file);
        QVERIFY(again.undoAttempted);
        QVERIFY(again.entries[0].undone);
        QCOMPARE(UndoRun(again).files.size(), 0);
        QCOMPARE(readAll(path), original);
    }

    // Undo never overwrites: neither a file changed since the run nor a file
    // that now stands at the old path. Nor does it replace a file that it
    // may not write, or that another writer holds, by a copy (its hard links
    // would keep the new tag): it writes the file itself later.
    void refuses_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("message"); // @: the old path
        QTest::newRow("changed since") << "changed"
                                       << "changed since the run; left alone";
        QTest::newRow("old path taken") << "occupied"
                                        << "a file of that name exists";
        QTest::newRow("file gone") << "gone"
                                   << "Not found";
        QTest::newRow("a folder in its place") << "folder"
                                               << "is not a regular file; left alone";
        QTest::newRow("a FIFO in its place") << "fifo"
                                             << "is not a regular file; left alone";
        QTest::newRow("a dangling link in its place") << "dangling"
                                                      << "is a symbolic link";
        QTest::newRow("held by another writer throughout")
            << "held" << QString("Cannot restore @. Error %1").arg(EWOULDBLOCK);
        QTest::newRow("made unwritable") << "unwritable"
                                         << "Cannot restore @. Error";
        QTest::newRow("replaced by a link to it") << "link"
                                                  << "is a symbolic link";
        // The old tag would be written, and the file left under the run's
        // name: nothing is written.
        QTest::newRow("its folder may not be written") << "new"
                                                       << "Cannot restore @. Error";
        QTest::newRow("its old folder may not be written") << "."
                                                           << "Cannot restore @. Error";
    }
    void refuses() {
        QFETCH(QString, situation);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        const QString target = dir.filePath("new/b.mp3");
        const QByteArray head = tagRegion(43, 'o');
        const QByteArray original = head + audio(3000, 1);
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {head, tagRegion(43, 'n'), false, false, {}}, target, true);
        journal.finish();
        const QByteArray applied = readAll(target);
        QByteArray targetBytes = applied;
        struct stat written;
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &written), 0);
        int holder = -1;
        ImmutableFile guard;
        if (situation == QLatin1String("changed")) {
            targetBytes[10] = 'X';
            writeAll(target, targetBytes);
        } else if (situation == QLatin1String("occupied")) {
            writeAll(path, "someone else");
        } else if (situation == QLatin1String("held")) {
            holder = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC);
            QCOMPARE(::flock(holder, LOCK_EX), 0);
        } else if (situation == QLatin1String("unwritable")) {
            if (!guard.protect(target))
                QSKIP("this file system cannot make a file read-only for this user");
        } else if (situation == QLatin1String("new") || situation == QLatin1String(".")) {
            // For another user the folder's permissions would hide the file
            // from undo's first look too.
            if (::geteuid() != 0 || !guard.protect(dir.filePath(situation)))
                QSKIP("this file system cannot make a folder read-only for this user");
        } else if (situation == QLatin1String("link")) {
            QVERIFY(QDir().mkpath(dir.filePath("o")));
            QVERIFY(QFile::rename(target, dir.filePath("o/r.mp3")));
            QVERIFY(QFile::link("../o/r.mp3", target));
        } else {
            QVERIFY(QFile::remove(target));
            const QByteArray name = QFile::encodeName(target);
            if (situation == QLatin1String("folder"))
                QCOMPARE(::mkdir(name.constData(), 0755), 0);
            if (situation == QLatin1String("fifo"))
                QCOMPARE(::mkfifo(name.constData(), 0644), 0);
            if (situation == QLatin1String("dangling"))
                QVERIFY(QFile::link("nowhere.mp3", target));
        }
        const bool gone = situation == QLatin1String("gone");
        // The file is gone and something else stands at its path.
        const bool other = QStringList{"folder", "fifo", "dangling"}.contains(situation);

        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        QVERIFY(!report.ok);
        QCOMPARE(report.files.size(), 1);
        QVERIFY2(report.files[0].messages.join(' ').contains(message.replace('@', path)),
                 qPrintable(report.files[0].messages.join(' ')));
        if (other) {
            struct stat there;
            QCOMPARE(::lstat(QFile::encodeName(target).constData(), &there), 0); // left there
            QVERIFY(!QFileInfo::exists(path));
        } else if (!gone) {
            QCOMPARE(readAll(target), targetBytes); // left exactly as it was
            QVERIFY(QFileInfo(dir.filePath("new")).isDir());
        } else {
            QVERIFY(!QFileInfo::exists(dir.filePath("new"))); // emptied by the user: removed
        }
        if (situation == QLatin1String("occupied"))
            QCOMPARE(readAll(path), QByteArray("someone else"));
        struct stat st;
        if (situation == QLatin1String("link")) { // the link stays where it was
            QVERIFY(QFileInfo(target).isSymLink());
            QVERIFY(::lstat(QFile::encodeName(path).constData(), &st) != 0);
        }

        // The run stays undoable for the file left behind: once what stood
        // in the way is gone, undo takes it back.
        const JournalRun after = ReadJournalRuns().value(0);
        QCOMPARE(after.notRestored(), 1);
        QVERIFY(!after.fullyUndone());
        if (gone || other)
            return;
        if (situation == QLatin1String("changed"))
            writeAll(target, applied);
        else if (situation == QLatin1String("held"))
            ::close(holder);
        else if (situation == QLatin1String("unwritable") || situation == QLatin1String("new") ||
                 situation == QLatin1String("."))
            guard.release();
        else if (situation == QLatin1String("link"))
            QVERIFY(QFile::remove(target) && QFile::rename(dir.filePath("o/r.mp3"), target));
        else
            QVERIFY(QFile::remove(path));
        QVERIFY(UndoRun(after).ok);
        QCOMPARE(readAll(path), original);
        QVERIFY(ReadJournalRuns().value(0).fullyUndone());
        struct stat restored;
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &restored), 0);
        if (situation == QLatin1String("held") || situation == QLatin1String("unwritable"))
            QCOMPARE(restored.st_ino, written.st_ino); // the file itself, not a copy
    }

    // A full disk when undo marks its files taken back: they are taken back
    // all the same, the report says that the journal does not know it yet,
    // the journal keeps whole records only, and the next undo records them.
    void undoneMarksNotWritten() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"), target = dir.filePath("new/b.mp3");
        const QByteArray original = tagRegion(43, 'o') + audio(3000, 1);
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {tagRegion(43, 'o'), tagRegion(43, 'n'), false, false, {}}, target,
                 true);
        journal.finish();
        UndoneMarksFail ops;
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        setJournalFileOps(nullptr);
        QVERIFY(!report.ok);
        QCOMPARE(report.files.size(), 1);
        QVERIFY(report.files[0].ok);
        QCOMPARE(report.files[0].messages.size(), 1);
        QVERIFY2(report.files[0].messages[0].startsWith(path + " is taken back, but the undo "
                                                               "journal cannot record it"),
                 qPrintable(report.files[0].messages[0]));
        QCOMPARE(readAll(path), original);
        const JournalRun after = ReadJournalRuns().value(0);
        QVERIFY2(after.damage.isEmpty(), qPrintable(after.damage.join(' ')));
        QVERIFY(!after.fullyUndone());
        // No part of the failed marks stays behind.
        const QByteArray text = readAll(after.file);
        QVERIFY(text.endsWith('\n'));
        for (const QByteArray& line : text.trimmed().split('\n'))
            QVERIFY2(QJsonDocument::fromJson(line).isObject(), line.constData());
        const UndoReport again = UndoRun(after);
        QVERIFY(again.ok);
        QCOMPARE(readAll(path), original);
        const JournalRun recorded = ReadJournalRuns().value(0);
        QVERIFY(recorded.fullyUndone());
        QVERIFY2(recorded.damage.isEmpty(), qPrintable(recorded.damage.join(' ')));
    }

    // A file changed since the run, with its size and modification time put
    // back: undo refuses it when the change is in what it would write over
    // (the tag region, the ID3v1 block) or in the first or last block of the
    // audio; it never writes the audio, and a change in between is kept.
    void changedSinceTheRun_data() {
        QTest::addColumn<int>("at"); // negative: from the end
        QTest::addColumn<bool>("refused");
        // A 2,000-byte region, 40,000 bytes of audio, an ID3v1 block.
        QTest::newRow("tag region") << 700 << true;
        QTest::newRow("first audio block") << 2000 + 100 << true;
        QTest::newRow("last audio block") << -128 - 200 << true;
        QTest::newRow("ID3v1 block") << -5 << true;
        QTest::newRow("middle of the audio: kept") << 2000 + 20000 << false;
    }
    void changedSinceTheRun() {
        QFETCH(int, at);
        QFETCH(bool, refused);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"), target = dir.filePath("out/a.mp3");
        const QByteArray oldHead = tagRegion(2000, 'o'), newHead = tagRegion(2000, 'n');
        const QByteArray original = oldHead + audio(40000, 3) + v1Block();
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {oldHead, newHead, true, false, {}}, target, true);
        journal.finish();
        const FileDigest applied = PrintFileAt(target).digest;
        QByteArray edited = readAll(target);
        edited[at < 0 ? edited.size() + at : at] ^= 0x20;
        writeAll(target, edited);
        keepTime(target, applied);

        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        QCOMPARE(report.ok, !refused);
        if (refused) {
            QVERIFY(report.files.value(0).messages.join(' ').contains("changed since the run"));
            QCOMPARE(readAll(target), edited);
            return;
        }
        QByteArray expected = original;
        expected[at] = edited[at];
        QCOMPARE(readAll(path), expected);
    }

    // Several files, in several folders: all come back, newest change first,
    // including a chain where the second file took the first one's old name
    // (it has to move away before the first can come back), written in
    // place or rebuilt.
    void wholeRun_data() {
        QTest::addColumn<bool>("inPlace");
        QTest::addColumn<bool>("alike"); // the two files have the same bytes
        QTest::newRow("old tags written back in place") << true << false;
        QTest::newRow("files rebuilt") << false << false;
        QTest::newRow("old tags in place, two files alike") << true << true;
    }
    void wholeRun() {
        QFETCH(bool, inPlace);
        QFETCH(bool, alike);
        QTemporaryDir dir;
        // A region that reads as an ID3v2 tag can be written back in place.
        const QByteArray head = inPlace ? tagRegion(300, 'h') : "ID3" + QByteArray(30, 'h');
        const QByteArray newHead = inPlace ? tagRegion(300, 'm') : head + "more";
        const QString a = dir.filePath("in/a.mp3"), b = dir.filePath("in/b.mp3");
        QVERIFY(QDir().mkpath(dir.filePath("in")));
        const QByteArray aBytes = head + audio(2000, 5);
        const QByteArray bBytes = alike ? aBytes : head + audio(2100, 9);
        writeAll(a, aBytes);
        writeAll(b, bBytes);
        JournalWriter journal;
        simulate(journal, a, {head, newHead, false, false, {}}, dir.filePath("out/1/a.mp3"), true);
        simulate(journal, b, {head, head, false, false, {}}, a, true); // b takes a's old name
        journal.finish();
        // An undo killed while it rebuilt a file left its temporary file.
        const pid_t gone = ::fork();
        if (gone == 0)
            ::_exit(0);
        QCOMPARE(::waitpid(gone, nullptr, 0), gone);
        const QString leftover = dir.filePath(QString("out/1/.quorvel-%1-aB3dE6").arg(gone));
        writeAll(leftover, "ID3 and half a file"); // a rebuilt file begins with its tag

        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        QVERIFY(report.ok);
        QCOMPARE(report.files.size(), 2);
        QCOMPARE(report.files[0].restoredPath, b); // newest first
        QCOMPARE(readAll(a), aBytes);
        QCOMPARE(readAll(b), bBytes);
        QCOMPARE(report.foldersRemoved, (QStringList{dir.filePath("out/1"), dir.filePath("out")}));
        QVERIFY(!QFile::exists(leftover));
    }

    // A run that changes nothing leaves no journal; history lists newest first.
    void history() {
        {
            JournalWriter idle;
            idle.finish();
        }
        QCOMPARE(ReadJournalRuns().size(), 0);

        QTemporaryDir dir;
        QStringList ids;
        for (int i = 0; i < 3; ++i) {
            const QString path = dir.filePath(QString("f%1.mp3").arg(i));
            writeAll(path, "ID3xx" + audio(100, char(i)));
            JournalWriter journal;
            for (int n = 0; n <= i; ++n) {
                const QString p = dir.filePath(QString("f%1-%2.mp3").arg(i).arg(n));
                writeAll(p, "ID3xx" + audio(100, char(n)));
                simulate(journal, p, {"ID3xx", "ID3yy", false, false, {}}, p, true);
            }
            journal.finish();
            ids.prepend(journal.runId());
        }
        const QList<JournalRun> runs = ReadJournalRuns();
        // What the writers put in the index is what reading the runs gives.
        const QList<JournalRunSummary> indexed = ReadJournalSummaries();
        QCOMPARE(runs.size(), 3);
        QCOMPARE(indexed.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(runs[i].id, ids[i]);
            QCOMPARE(runs[i].changedFiles(), 3 - i);
            const JournalRunSummary read = SummaryOf(runs[i]);
            QCOMPARE(indexed[i].id, read.id);
            QCOMPARE(indexed[i].time, read.time);
            QCOMPARE(indexed[i].files, read.files);
            QCOMPARE(indexed[i].notRestored, read.notRestored);
            QCOMPARE(indexed[i].settled, read.settled);
            QCOMPARE(indexed[i].undoAttempted, read.undoAttempted);
            QCOMPARE(indexed[i].damage, read.damage);
        }
    }

    // history reads the summaries of runs from the folder's index, and
    // reads a run again whenever its journal changed since it was indexed,
    // by an undo or by hand, even with its size and time put back.
    void summariesFromIndex_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<int>("files"); // what the summary says
        QTest::addColumn<bool>("undone");
        QTest::addColumn<bool>("damaged");
        QTest::newRow("unchanged: from the index") << "none" << 99 << false << false;
        QTest::newRow("undone since") << "undo" << 2 << true << false;
        QTest::newRow("edited by hand, size and time put back") << "edit" << 2 << false << true;
        QTest::newRow("index removed") << "no index" << 2 << false << false;
        // What an older version found damaged may read soundly now.
        QTest::newRow("damaged in the index: read again") << "damage" << 2 << false << false;
    }
    void summariesFromIndex() {
        QFETCH(QString, change);
        QFETCH(int, files);
        QFETCH(bool, undone);
        QFETCH(bool, damaged);
        QTemporaryDir dir;
        JournalWriter journal;
        for (int i = 0; i < 2; ++i) {
            const QString p = dir.filePath(QString("f%1.mp3").arg(i));
            writeAll(p, "ID3xx" + audio(100, char(i)));
            simulate(journal, p, {"ID3xx", "ID3yy", false, false, {}}, p, true);
        }
        journal.finish();
        // The run as the index has it, made to say 99 files: the sign that
        // it was not read again.
        const QString index = JournalFolder() + "/.runs-index";
        QByteArray indexed = readAll(index);
        QVERIFY(indexed.contains("\"files\":2"));
        writeAll(index, indexed.replace("\"files\":2", "\"files\":99"));
        const QString file = journal.filePath();
        const FileDigest before = PrintFileAt(file).digest;
        if (change == "undo") {
            QVERIFY(RecordUndoAttempt(file));
        } else if (change == "edit") {
            writeAll(file, readAll(file).replace("\"seq\":2", "\"seq\":3"));
            keepTime(file, before);
            QCOMPARE(PrintFileAt(file).digest.size, before.size);
        } else if (change == "no index") {
            QVERIFY(QFile::remove(index));
        } else if (change == "damage") {
            QVERIFY(readAll(index).contains("\"damage\":[]"));
            writeAll(index, readAll(index).replace("\"damage\":[]", "\"damage\":[\"old\"]"));
        }
        const JournalRunSummary s = ReadJournalSummaries().value(0);
        QCOMPARE(s.id, journal.runId());
        QCOMPARE(s.files, files);
        QCOMPARE(s.undoAttempted, undone);
        QCOMPARE(!s.damage.isEmpty(), damaged);
        QCOMPARE(s.damage, ReadJournalRun(file).damage);
    }

    // Undo marks a group of files as being restored with one flush, writes
    // their old tags back, flushes the files together, and only then marks
    // them as taken back, in the flush that marks the next group as being
    // restored (or one of their own at the end). A file whose flush fails
    // is not marked: the next undo finds it restored and marks it.
    void undoFlushesInGroups_data() {
        QTest::addColumn<int>("whole"); // CountedOps::Whole
        QTest::addColumn<bool>("fileSyncFails");
        // Files restored at each journal flush; journal flushes before each
        // file flush, and before each flush of the whole file system. The
        // undo's start, groups of 128 and 6, then the undo's end.
        QTest::addColumn<QList<int>>("journalSyncs");
        QTest::addColumn<QList<int>>("fileSyncs");
        QTest::addColumn<QList<int>>("wholeSyncs");
        const QList<int> eachFile = QList<int>(128, 2) + QList<int>(6, 3);
        QTest::newRow("files flushed")
            << int(CountedOps::NotDone) << false << QList<int>{0, 0, 128, 134, 134} << eachFile
            << QList<int>{};
        QTest::newRow("file flushes fail: nothing marked")
            << int(CountedOps::NotDone) << true << QList<int>{0, 0, 128, 134} << eachFile
            << QList<int>{};
        QTest::newRow("file system flushed whole, then one file of it")
            << int(CountedOps::Flushed) << false << QList<int>{0, 0, 128, 134, 134}
            << QList<int>{2, 3} << QList<int>{2, 3};
        QTest::newRow("whole flush fails: each file flushed")
            << int(CountedOps::Fails) << false << QList<int>{0, 0, 128, 134, 134} << eachFile
            << QList<int>{2, 3};
        QTest::newRow("whole flush and file flushes fail: nothing marked")
            << int(CountedOps::Fails) << true << QList<int>{0, 0, 128, 134} << eachFile
            << QList<int>{2, 3};
    }
    void undoFlushesInGroups() {
        QFETCH(int, whole);
        QFETCH(bool, fileSyncFails);
        QFETCH(QList<int>, journalSyncs);
        QFETCH(QList<int>, fileSyncs);
        QFETCH(QList<int>, wholeSyncs);
        const RoomForFullGroups room;
        if (!room.enough)
            QSKIP("groups of 128 files need a higher limit of open files");
        QTemporaryDir dir;
        CountedOps ops;
        ops.whole = CountedOps::Whole(whole);
        ops.failFileSync = fileSyncFails;
        JournalWriter journal;
        retitledInPlace(dir, 134, journal, ops.files, ops.originals);
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRun(journal.filePath()));
        setJournalFileOps(nullptr);
        QCOMPARE(report.ok, !fileSyncFails);
        QCOMPARE(ops.journalSyncs, journalSyncs);
        QCOMPARE(ops.fileSyncs, fileSyncs);
        QCOMPARE(ops.wholeSyncs, wholeSyncs);
        QCOMPARE(ReadJournalRun(journal.filePath()).notRestored(), fileSyncFails ? 134 : 0);
        if (fileSyncFails)
            QVERIFY(UndoRun(ReadJournalRun(journal.filePath())).ok);
        QCOMPARE(ReadJournalRun(journal.filePath()).notRestored(), 0);
    }

    // The undone marks of a group go to the journal with the next group's
    // restore marks: when that write fails, the group before stays taken
    // back (and says the journal lacks it), and the next group is not
    // touched. A later undo finishes both.
    void undoneMarksFailBeforeNextGroup() {
        const RoomForFullGroups room;
        if (!room.enough)
            QSKIP("groups of 128 files need a higher limit of open files");
        QTemporaryDir dir;
        JournalWriter journal;
        QStringList files;
        QList<QByteArray> originals;
        retitledInPlace(dir, 134, journal, files, originals);
        UndoneMarksFail ops;
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRun(journal.filePath()));
        setJournalFileOps(nullptr);
        QVERIFY(!report.ok);
        QCOMPARE(report.files.size(), 134);
        // Undo goes from the last file of the run to the first.
        for (int k = 0; k < 134; ++k) {
            const UndoFileResult& r = report.files[k];
            const int i = 133 - k;
            const bool firstGroup = k < 128;
            QCOMPARE(r.ok, firstGroup);
            QCOMPARE(r.messages.size(), 1);
            QVERIFY2(r.messages[0].contains(firstGroup ? "is taken back, but the undo journal "
                                                         "cannot record it (" +
                                                             qt_error_string(ENOSPC) + ")"
                                                       : "the journal cannot be written"),
                     qPrintable(r.messages[0]));
            QCOMPARE(readAll(files[i]) == originals[i], firstGroup);
        }
        QVERIFY(UndoRun(ReadJournalRun(journal.filePath())).ok);
        for (int i = 0; i < 134; ++i)
            QCOMPARE(readAll(files[i]), originals[i]);
        QCOMPARE(ReadJournalRun(journal.filePath()).notRestored(), 0);
    }

    // Undo holds the files of a few groups open at once: under a low limit
    // of descriptors its groups get smaller, rather than files it cannot
    // open being reported as changed since the run; also where the process
    // holds many descriptors already (the window's, or a parent's).
    void undoWithinDescriptorLimit_data() {
        QTest::addColumn<int>("held"); // descriptors open before the undo
        QTest::newRow("few held") << 0;
        QTest::newRow("many held") << 300;
    }
    void undoWithinDescriptorLimit() {
        QFETCH(int, held);
        const RoomForFullGroups room; // for the descriptors held
        if (!room.enough)
            QSKIP("the test holds more descriptors than the limit of open files allows");
        QTemporaryDir dir;
        JournalWriter journal;
        QStringList files;
        QList<QByteArray> originals;
        retitledInPlace(dir, 300, journal, files, originals);
        std::vector<int> heldFds;
        for (int i = 0; i < held; ++i)
            heldFds.push_back(::open("/dev/null", O_RDONLY | O_CLOEXEC));
        const auto closeHeld = qScopeGuard([&heldFds] {
            for (const int fd : heldFds)
                ::close(fd);
        });
        QVERIFY(std::find(heldFds.begin(), heldFds.end(), -1) == heldFds.end());
        const qsizetype open = QDir("/proc/self/fd").count();
        struct rlimit was {};
        QCOMPARE(::getrlimit(RLIMIT_NOFILE, &was), 0);
        struct rlimit low = was;
        low.rlim_cur = std::min<rlim_t>(was.rlim_cur, rlim_t(open) + 150);
        QCOMPARE(::setrlimit(RLIMIT_NOFILE, &low), 0);
        const UndoReport report = UndoRun(ReadJournalRun(journal.filePath()));
        ::setrlimit(RLIMIT_NOFILE, &was);
        for (const UndoFileResult& r : report.files)
            QVERIFY2(r.ok, qPrintable(r.messages.join(u'\n')));
        QVERIFY(report.ok);
        for (int i = 0; i < 300; ++i)
            QCOMPARE(readAll(files[i]), originals[i]);
    }

    // Undo puts the run's summary into the index from the marks it wrote,
    // not by reading the journal again: it must be what reading it gives,
    // also when a flush failed or another undo appended meanwhile.
    void undoIndexesWhatItMarked_data() {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("notRestored");
        QTest::addColumn<bool>("settled");
        QTest::newRow("all taken back") << "plain" << 0 << true;
        QTest::newRow("one edited since: left alone") << "edited" << 1 << true;
        QTest::newRow("file flushes fail: marked restoring") << "file sync fails" << 3 << false;
        QTest::newRow("undone marks cut short") << "marks fail" << 3 << false;
        QTest::newRow("another undo appends meanwhile") << "other undo" << 0 << true;
        QTest::newRow("edited once marked restoring: mark taken back")
            << "edited while marked" << 1 << true;
    }
    void undoIndexesWhatItMarked() {
        QFETCH(QString, how);
        QFETCH(int, notRestored);
        QFETCH(bool, settled);
        QTemporaryDir dir;
        JournalWriter journal;
        QStringList files;
        QList<QByteArray> originals;
        retitledInPlace(dir, 3, journal, files, originals);
        const QString file = journal.filePath();
        if (how == "edited" || how == "other undo")
            writeAll(files[2], readAll(files[2]).replace(20, 1, "e"));
        // Another undo marks the edited file (the third) taken back at the
        // first flush: only reading the journal again tells.
        class OtherUndo : public JournalFileOps {
        public:
            QString journal;
            bool sync(int fd) override {
                if (!journal.isEmpty()) {
                    QFile f(journal);
                    f.open(QIODevice::Append);
                    f.write("{\"type\":\"undone\",\"seq\":3}\n");
                    journal.clear();
                }
                return JournalFileOps::sync(fd);
            }
        } other;
        CountedOps failing;
        failing.failFileSync = true;
        UndoneMarksFail marksFail;
        QByteArray theirs = readAll(files[0]);
        theirs[20] = 't';
        EditAtFirstSync editor(files[0], theirs);
        if (how == "edited while marked") {
            setJournalFileOps(&editor);
        } else if (how == "other undo") {
            other.journal = file;
            setJournalFileOps(&other);
        } else if (how == "file sync fails") {
            setJournalFileOps(&failing);
        } else if (how == "marks fail") {
            setJournalFileOps(&marksFail);
        }
        UndoRun(ReadJournalRun(file));
        setJournalFileOps(nullptr);
        const JournalRunSummary read = SummaryOf(ReadJournalRun(file));
        QCOMPARE(read.notRestored, notRestored);
        QCOMPARE(read.settled, settled);
        const QList<JournalRunSummary> indexed = ReadJournalSummaries();
        QCOMPARE(indexed.size(), 1);
        QCOMPARE(indexed[0].notRestored, read.notRestored);
        QCOMPARE(indexed[0].settled, read.settled);
        QCOMPARE(indexed[0].undoAttempted, read.undoAttempted);
        QCOMPARE(indexed[0].files, read.files);
        QCOMPARE(indexed[0].damage, read.damage);
    }

    // Marks wait for another undo that holds the journal while it appends:
    // when its write fails and it cuts the journal back to where it began,
    // marks appended meanwhile would go with it.
    void marksWaitForAnotherUndo() {
        QTemporaryDir dir;
        const QString p = dir.filePath("f.mp3");
        writeAll(p, "ID3xx" + audio(100, 1));
        JournalWriter journal;
        simulate(journal, p, {"ID3xx", "ID3yy", false, false, {}}, p, true);
        journal.finish();
        const QByteArray name = QFile::encodeName(journal.filePath());
        const int other = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX), 0);
        struct stat began {};
        QCOMPARE(::fstat(other, &began), 0);
        std::thread failing([&] {
            ::usleep(300'000);
            QByteArray half = "{\"type\":\"und";
            (void)!::write(other, half.constData(), size_t(half.size()));
            (void)!::ftruncate(other, began.st_size);
            ::close(other); // lets go of the lock
        });
        const bool recorded = RecordUndoAttempt(journal.filePath());
        failing.join();
        QVERIFY(recorded);
        QVERIFY(ReadJournalRun(journal.filePath()).undoAttempted);
    }

    // One undo of a run at a time: while another holds the run, nothing is
    // done; one that read the run before another undo took it back finds
    // nothing left to do, not files "changed since the run".
    void oneUndoOfARunAtATime() {
        QTemporaryDir dir;
        const QString p = dir.filePath("f.mp3"), moved = dir.filePath("out/f.mp3");
        const QByteArray before = "ID3xx" + audio(100, 1);
        writeAll(p, before);
        JournalWriter journal;
        simulate(journal, p, {"ID3xx", "ID3yy", false, false, {}}, moved, true);
        journal.finish();
        const JournalRun run = ReadJournalRun(journal.filePath());
        const QByteArray after = readAll(moved);

        const int other = ::open(QFile::encodeName(run.bytesFile).constData(), O_RDONLY);
        QVERIFY(other >= 0);
        QCOMPARE(::flock(other, LOCK_EX), 0);
        const UndoReport held = UndoRun(run);
        ::close(other);
        QVERIFY(!held.ok);
        QVERIFY(held.beingUndone);
        QVERIFY(held.files.isEmpty());
        QCOMPARE(readAll(moved), after);

        QVERIFY(UndoRun(run).ok);
        QCOMPARE(readAll(p), before);
        const UndoReport again = UndoRun(run); // the run as read before the undo
        QVERIFY(again.ok);
        QVERIFY(again.files.isEmpty());
        QCOMPARE(readAll(p), before);
    }

    // A file moved back by undo is taken back only once the folders that
    // hold its names are flushed too; when that fails, it is not marked, and
    // the next undo finds it restored.
    void movedNameFlushed_data() {
        QTest::addColumn<bool>("folderSyncFails");
        QTest::newRow("folders flushed") << false;
        QTest::newRow("folder flush fails") << true;
    }
    void movedNameFlushed() {
        QFETCH(bool, folderSyncFails);
        class FolderOps : public JournalFileOps {
        public:
            bool failFolders = false;
            bool syncFile(int fd) override {
                struct stat st;
                if (failFolders && ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
                    errno = EIO;
                    return false;
                }
                return JournalFileOps::syncFile(fd);
            }
            bool syncFileSystem(int) override {
                errno = EOPNOTSUPP; // so that the folder is flushed on its own
                return false;
            }
        } ops;
        ops.failFolders = folderSyncFails;
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        const QByteArray original = tagRegion(2000, 'o') + audio(5000, 3);
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {tagRegion(2000, 'o'), tagRegion(2000, 'n'), false, false, {}},
                 dir.filePath("moved/a.mp3"), true);
        journal.finish();
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRun(journal.filePath()));
        setJournalFileOps(nullptr);
        QCOMPARE(report.ok, !folderSyncFails);
        QCOMPARE(report.files.value(0).messages,
                 folderSyncFails ? QStringList{"Cannot restore " + path + ". Error 5"}
                                 : QStringList());
        QCOMPARE(readAll(path), original);
        QCOMPARE(ReadJournalRun(journal.filePath()).notRestored(), folderSyncFails ? 1 : 0);
        QVERIFY(UndoRun(ReadJournalRun(journal.filePath())).ok);
        QCOMPARE(ReadJournalRun(journal.filePath()).notRestored(), 0);
    }

    // Records are written straight into bytes; the reader gets every value
    // back, the names that are no UTF-8 too.
    void jsonLinesReadBack_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("plain") << "/music/a.mp3";
        QTest::newRow("quote, backslash, controls") << QString("a\"b\\c\nd\te\x01f");
        QTest::newRow("accents and an emoji") << QString::fromUtf8("Caf\xc3\xa9 \xf0\x9f\x8e\xb5");
        QTest::newRow("byte that is no UTF-8") << "caf" + QString(QChar(0xDCE9)) + ".mp3";
        QTest::newRow("lone high surrogate") << "x" + QString(QChar(0xD800)) + "y";
    }
    void jsonLinesReadBack() {
        QFETCH(QString, text);
        const QByteArray line =
            JsonLine().add("s", text).add("n", qint64(-5)).add("b", true).finish();
        QVERIFY(line.endsWith('\n'));
        QCOMPARE(line.count('\n'), 1);
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        QCOMPARE(o["s"].toString(), text);
        QCOMPARE(o["n"].toInteger(), -5);
        QCOMPARE(o["b"].toBool(), true);
    }

    // A journal whose last line was cut off by a kill still reads.
    void cutOffLine() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        const QByteArray original = "ID3" + QByteArray(20, 'o') + audio(800, 2);
        writeAll(path, original);
        QString file;
        {
            JournalWriter journal; // killed: gone without finish()
            simulate(journal, path,
                     {original.left(23), "ID3" + QByteArray(20, 'n'), false, false, {}},
                     dir.filePath("z/a.mp3"), true);
            file = journal.filePath();
        }
        QFile f(file);
        QVERIFY(f.open(QIODevice::Append));
        f.write("{\"type\":\"start\",\"seq\":2,\"orig");
        f.close();
        const JournalRun run = ReadJournalRun(file);
        QCOMPARE(run.entries.size(), 1);
        QVERIFY(UndoRun(run).ok);
        QCOMPARE(readAll(path), original);
    }

    // A journal with records missing or cut short in the middle cannot say
    // which files the run changed: undo refuses it as a whole and says what
    // it could not check. Only a last line cut off by a kill is expected.
    void damagedJournal_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("says"); // empty: not damaged
        QTest::addColumn<int>("files");
        QTest::newRow("start record deleted") << "delete start 2"
                                              << "no start record" << 3;
        QTest::newRow("all records of the last file deleted")
            << "delete all 3"
            << "the run recorded 3 files and the journal holds 2" << 3;
        QTest::newRow("line cut short in the middle")
            << "cut start 2"
            << "line 5 cannot be read and line 6 follows it" << 3;
        // Past the first thousand lines, which are read apart from the rest.
        QTest::newRow("line cut short in a long run")
            << "cut start 390"
            << "line 1169 cannot be read and line 1170 follows it" << 400;
        QTest::newRow("run record deleted") << "delete run 0"
                                            << "the run record is missing" << 3;
        QTest::newRow("last line cut by a kill") << "cut end 0"
                                                 << "" << 3;
        // A kill before the run record: no file begun, an empty run.
        QTest::newRow("killed before its run record") << "truncate 0"
                                                      << "" << 3;
        QTest::newRow("killed while writing its run record") << "truncate 20"
                                                             << "" << 3;
        // One whole record that is no run record is an edit, not a kill.
        QTest::newRow("only its end record left") << "keep end 0"
                                                  << "the run record is missing" << 3;
        // Numbers no run writes: refused, not followed into gigabytes.
        QTest::newRow("file numbered far beyond the others")
            << "set start 2 seq 2147483647"
            << "file 2147483647 is numbered beyond" << 3;
        QTest::newRow("files missing beyond the bound in all")
            << "set start 2 seq 40002 start 3 seq 80003"
            << "file 80003 is numbered beyond" << 3;
        QTest::newRow("saved head of exabytes") << "set start 2 headSize 9223372036854775807"
                                                << "start record of file 2" << 3;
        QTest::newRow("region of exabytes") << "set start 2 region 9223372036854775807"
                                            << "start record of file 2" << 3;
        QTest::newRow("reference past the region")
            << "set start 2 refs [[9223372036854775807,2000,0]]"
            << "start record of file 2" << 3;
        QTest::newRow("reference from past any tag")
            << "set start 2 refs [[0,20,9223372036854775800]]"
            << "start record of file 2" << 3;
    }
    void damagedJournal() {
        QFETCH(QString, edit);
        QFETCH(QString, says);
        QFETCH(int, files);
        QTemporaryDir dir;
        const QByteArray head = "ID3" + QByteArray(30, 'h');
        JournalWriter journal;
        QStringList targets;
        for (int i = 1; i <= files; ++i) {
            const QString path = dir.filePath(QString("f%1.mp3").arg(i));
            writeAll(path, head + audio(900, char(i)));
            targets << dir.filePath(QString("out/f%1.mp3").arg(i));
            simulate(journal, path, {head, "ID3" + QByteArray(30, 'n'), false, false, {}},
                     targets.last(), true);
        }
        journal.finish();
        const QString file = journal.filePath();
        const QStringList how = edit.split(' ');
        QList<QByteArray> lines = readAll(file).split('\n');
        lines.removeLast(); // after the last line break
        if (how[0] == "truncate")
            lines = {readAll(file).left(how[1].toInt())};
        if (how[0] == "keep")
            lines = {lines.last()};
        // set TYPE SEQ KEY JSON...: the value as written, numbers beyond
        // what a double holds included.
        for (qsizetype k = 1; how[0] == "set" && k + 3 < how.size(); k += 4) {
            const QString key = QStringLiteral("\"%1\":").arg(how[k + 2]);
            const QRegularExpression value(key + R"((\[(\[[^\]]*\],?)*\]|-?[0-9]+))");
            for (QByteArray& line : lines) {
                const QJsonObject r = QJsonDocument::fromJson(line).object();
                if (r["type"].toString() == how[k] && r["seq"].toInt() == how[k + 1].toInt())
                    line = QString::fromUtf8(line).replace(value, key + how[k + 3]).toUtf8();
            }
        }
        for (qsizetype i = lines.size() - 1; (how[0] == "cut" || how[0] == "delete") && i >= 0;
             --i) {
            const QJsonObject r = QJsonDocument::fromJson(lines[i]).object();
            const bool all = how[0] == "delete" && how[1] == "all";
            if (!all && r["type"].toString() != how[1])
                continue;
            if (how[2] != "0" && r["seq"].toInt() != how[2].toInt())
                continue;
            if (how[0] == "cut")
                lines[i].chop(lines[i].size() / 2);
            else
                lines.removeAt(i);
        }
        writeAll(file,
                 lines.join('\n') +
                     (how[0] == "truncate" || how == QStringList{"cut", "end", "0"} ? "" : "\n"));

        const JournalRun run = ReadJournalRun(file);
        QCOMPARE(run.damage.join(' ').contains(says), true);
        QCOMPARE(run.damage.isEmpty(), says.isEmpty());
        // From its id without the run record, so that history lists it in
        // its place and a plain undo meets it first.
        QVERIFY(run.time.isValid());
        QVERIFY(run.time.toString(Qt::ISODateWithMs).endsWith(u'Z'));
        QCOMPARE(run.entries.isEmpty(), how[0] == "truncate" || how[0] == "keep");
        const UndoReport report = UndoRun(run);
        QCOMPARE(report.ok, says.isEmpty());
        if (says.isEmpty()) {
            // What undo appended leaves the run as sound as it was.
            const JournalRun after = ReadJournalRun(file);
            QCOMPARE(after.damage, QStringList());
            QCOMPARE(after.time, run.time);
            return;
        }
        QCOMPARE(report.damage, run.damage);
        QCOMPARE(report.files.size(), 0);
        for (const QString& target : targets)
            QVERIFY(QFile::exists(target)); // nothing was undone
        QVERIFY(!ReadJournalRun(file).undoAttempted);
    }

    // An undo killed while it wrote the old tag back into the file leaves a
    // file that matches neither digest; its mark lets the next undo finish
    // the job, where any other such file is refused.
    void undoCutOffInPlace_data() {
        QTest::addColumn<bool>("marked");
        QTest::newRow("restore mark written") << true;
        QTest::newRow("no mark: someone else's edit") << false;
    }
    void undoCutOffInPlace() {
        QFETCH(bool, marked);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        const QByteArray head = "ID3" + QByteArray(60, 'o');
        const QByteArray original = head + audio(4000, 7);
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {head, "ID3" + QByteArray(60, 'n'), false, false, {}}, path, true);
        journal.finish();
        QByteArray half = readAll(path);
        half.replace(0, 30, original.left(30));
        writeAll(path, half);
        if (marked)
            QVERIFY(recordRestoring(journal.filePath(), 1));

        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        QCOMPARE(report.ok, marked);
        QCOMPARE(readAll(path), marked ? original : half);
    }

    // An undo cut off after it restored a file but before it marked it:
    // the next one finds the old print at the old path and counts the file
    // as taken back; a file someone else put there is still refused.
    // A move back to another file system cut off after the file stood at
    // its old path leaves the one it moved from too (left): the copy of the
    // restored file, or the run's file itself where the original was
    // rebuilt. Either goes; a file there that is neither stays.
    void restoredBeforeItsMark_data() {
        QTest::addColumn<QString>("target"); // "a.mp3": the file kept its path
        QTest::addColumn<bool>("ours");
        QTest::addColumn<QString>("left"); // at the target
        QTest::newRow("moved back") << "new/b.mp3" << true << "";
        QTest::newRow("kept its path") << "a.mp3" << true << "";
        QTest::newRow("someone else's file at the old path") << "new/b.mp3" << false << "";
        QTest::newRow("the run's file left behind") << "new/b.mp3" << true << "run's";
        QTest::newRow("old tag back, the copy left behind") << "new/b.mp3" << true << "copy";
        QTest::newRow("the old file, not marked as being restored")
            << "new/b.mp3" << true << "unmarked copy";
        QTest::newRow("the run's file, its audio edited") << "new/b.mp3" << true << "edited";
    }
    void restoredBeforeItsMark() {
        QFETCH(QString, target);
        QFETCH(bool, ours);
        QFETCH(QString, left);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"), final = dir.filePath(target);
        const QByteArray head = tagRegion(43, 'o');         // its audio starts after it
        const QByteArray original = head + audio(20000, 1); // more than the print covers
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {head, tagRegion(43, 'n'), false, false, {}}, final, true);
        journal.finish();
        QByteArray leftBytes = readAll(final);
        if (left == "edited")
            leftBytes[10000] = 'e';
        if (left.endsWith("copy"))
            leftBytes = original;
        if (left == "copy")
            QVERIFY(recordRestoring(journal.filePath(), 1));
        if (left.isEmpty() && final != path)
            QVERIFY(QFile::remove(final));
        else if (!left.isEmpty())
            writeAll(final, leftBytes);
        const QByteArray there = ours ? original : QByteArray("someone else");
        writeAll(path, there);
        if (left.endsWith("copy"))
            keepTime(path, PrintFileAt(final).digest);

        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        QCOMPARE(report.ok, ours);
        QCOMPARE(readAll(path), there);
        QCOMPARE(ReadJournalRuns().value(0).fullyUndone(), ours);
        const bool stays = left == "edited" || left == "unmarked copy";
        QCOMPARE(QFile::exists(final), stays || final == path);
        if (stays) {
            QCOMPARE(readAll(final), leftBytes);
            QCOMPARE(report.files.value(0).messages,
                     QStringList{final + " is not known as a copy of " + path + "; left alone"});
        }
    }

    // An undo killed after it put the file back at its old path (a new file
    // there, as a tag that cannot be restored in place needs) and before it
    // removed the run's file: the next undo removes that copy and ends the
    // run, on one file system as across two.
    void undoCutOffAfterPublishing() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"), final = dir.filePath("new/b.mp3");
        const QByteArray head = tagRegion(43, 'o');
        const QByteArray original = head + audio(20000, 1);
        writeAll(path, original);
        JournalWriter journal;
        simulate(journal, path, {head, tagRegion(43, 'n'), false, false, {}}, final, true);
        journal.finish();
        writeAll(path, original);
        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        QVERIFY(report.ok);
        QVERIFY(!QFileInfo::exists(final));
        QVERIFY(!QFileInfo::exists(dir.filePath("new")));
        QCOMPARE(readAll(path), original);
        QVERIFY(ReadJournalRuns().value(0).fullyUndone());
    }

    // Apply cut off in a move to another file system, after the copy stood
    // at the target and before the file left its old path: undo removes that
    // copy (and the folder made for it) and takes the file back. A file at
    // the target that is not provably the copy stays.
    void cutOffAfterItsCopy_data() {
        QTest::addColumn<QString>("atTarget");
        QTest::newRow("the run's copy") << "copy";
        QTest::newRow("a copy with another time") << "other time";
        QTest::newRow("a copy, its audio edited") << "edited";
        QTest::newRow("a copy of the file the run never wrote") << "unwritten";
    }
    void cutOffAfterItsCopy() {
        QFETCH(QString, atTarget);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"), target = dir.filePath("new/b.mp3");
        const QByteArray head = tagRegion(43, 'o');
        const QByteArray original = head + audio(20000, 4);
        writeAll(path, original);
        const FileDigest before = PrintFileAt(path).digest;
        QString file;
        {
            JournalWriter journal; // killed: gone without finish()
            simulate(journal, path, {head, tagRegion(63, 'n'), false, false, {}}, target, false);
            file = journal.filePath();
        }
        if (atTarget == "unwritten") {
            writeAll(path, original);
            keepTime(path, before);
        }
        QByteArray copy = readAll(path);
        if (atTarget == "edited")
            copy[10000] = 'e';
        QVERIFY(QDir().mkpath(dir.filePath("new")));
        writeAll(target, copy);
        if (atTarget != "other time")
            keepTime(target, PrintFileAt(path).digest);

        const UndoReport report = UndoRun(ReadJournalRun(file));
        QVERIFY(report.ok);
        QCOMPARE(readAll(path), original);
        if (atTarget == "copy") {
            QVERIFY(!QFileInfo::exists(dir.filePath("new")));
            QCOMPARE(report.files.value(0).messages, QStringList());
        } else {
            QCOMPARE(readAll(target), copy);
            QCOMPARE(report.files.value(0).messages,
                     QStringList{target + " is not known as a copy of " + path + "; left alone"});
        }
    }

    // Another program edits a file while undo flushes the restore marks of
    // its group: undo leaves it alone, and a later undo does too (the mark
    // that lets the bytes decide is taken back).
    void editedWhileMarked() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        const QByteArray head = tagRegion(300, 'o'); // a tag undo writes back in place
        writeAll(path, head + audio(4000, 3));
        JournalWriter journal;
        simulate(journal, path, {head, tagRegion(300, 'n'), false, false, {}}, path, true);
        journal.finish();
        QByteArray theirs = readAll(path);
        theirs[20] = 't';
        EditAtFirstSync ops(path, theirs);
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        setJournalFileOps(nullptr);
        QVERIFY(ops.edited);
        QVERIFY(!report.ok);
        QCOMPARE(readAll(path), theirs);
        QVERIFY(!UndoRun(ReadJournalRuns().value(0)).ok);
        QCOMPARE(readAll(path), theirs);
    }

    // A file edited after undo took its print is left alone: the files of
    // the next group are printed and locked before a group is written (and
    // its restore marks flushed), so the edit comes under the lock, and is
    // found by the write's own check; or, where another program held the
    // file then, before the lock, and is found when it is locked.
    void editedAfterItsCheck_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("heldWhileReadAhead");
        QTest::newRow("rewritten") << int(EditAtFirstSync::Rewrite) << false;
        QTest::newRow("rewritten, time put back") << int(EditAtFirstSync::KeepTimes) << false;
        QTest::newRow("a new file saved over it") << int(EditAtFirstSync::Replace) << false;
        QTest::newRow("held while read ahead, then rewritten")
            << int(EditAtFirstSync::Rewrite) << true;
    }
    void editedAfterItsCheck() {
        QFETCH(int, kind);
        QFETCH(bool, heldWhileReadAhead);
        QTemporaryDir dir;
        const QByteArray head = tagRegion(300, 'o');
        JournalWriter journal;
        QStringList paths;
        for (int i = 0; i < 65; ++i) { // one more than a group
            paths << dir.filePath(QString("%1.mp3").arg(i));
            writeAll(paths.last(), head + audio(1000, i));
            simulate(journal, paths.last(), {head, tagRegion(300, 'n'), false, false, {}},
                     paths.last(), true);
        }
        journal.finish();
        // Undone newest first: the first file is the next group's.
        QByteArray theirs = readAll(paths[0]);
        theirs[20] = 't';
        EditAtFirstSync ops(paths[0], theirs, EditAtFirstSync::Kind(kind));
        if (heldWhileReadAhead) {
            ops.heldLock = ::open(QFile::encodeName(paths[0]).constData(), O_RDONLY | O_CLOEXEC);
            QCOMPARE(::flock(ops.heldLock, LOCK_EX), 0);
        }
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        setJournalFileOps(nullptr);
        QVERIFY(ops.edited);
        QCOMPARE(report.files.size(), 65);
        QCOMPARE(report.files.last().messages,
                 QStringList{paths[0] + " changed since the run; left alone"});
        QCOMPARE(readAll(paths[0]), theirs);
        for (int i = 1; i < 65; ++i)
            QCOMPARE(readAll(paths[i]), head + audio(1000, i));
    }

    // A file whose old tag is shorter or longer than the run's goes back as a
    // copy; another program that writes it while the copy is made keeps its
    // edit, and the copy goes.
    void editedWhileCopied_data() {
        QTest::addColumn<QString>("target"); // where the run left the file
        QTest::addColumn<int>("kind");
        QTest::newRow("kept its path, rewritten") << "a.mp3" << int(EditAtFirstSync::Rewrite);
        QTest::newRow("kept its path, time put back") << "a.mp3" << int(EditAtFirstSync::KeepTimes);
        QTest::newRow("kept its path, a new file saved over it")
            << "a.mp3" << int(EditAtFirstSync::Replace);
        QTest::newRow("moved, rewritten") << "out/a.mp3" << int(EditAtFirstSync::Rewrite);
        QTest::newRow("moved, time put back") << "out/a.mp3" << int(EditAtFirstSync::KeepTimes);
    }
    void editedWhileCopied() {
        QFETCH(QString, target);
        QFETCH(int, kind);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"), final = dir.filePath(target);
        writeAll(path, tagRegion(300, 'o') + audio(5000, 3));
        JournalWriter journal;
        simulate(journal, path, {tagRegion(300, 'o'), tagRegion(2000, 'n'), false, false, {}},
                 final, true);
        journal.finish();
        QByteArray theirs = readAll(final);
        theirs[20] = 't';
        EditAtFirstSync ops(final, theirs, EditAtFirstSync::Kind(kind));
        ops.atFileSync = true;
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRun(journal.filePath()));
        setJournalFileOps(nullptr);
        QVERIFY(ops.edited);
        QCOMPARE(report.files.value(0).messages,
                 QStringList{final + " changed since the run; left alone"});
        QCOMPARE(readAll(final), theirs);
        // No copy left, under the old name or a temporary one.
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                 final == path ? QStringList{"a.mp3"} : QStringList());
    }

    // In one group, files that stayed where they are (their old tags go back
    // together, ahead of their turn), files that move back (one at a time),
    // a file edited before undo (found so by its print) and one edited while
    // undo held it (found by the write) keep their order in the report,
    // newest first, and each gets its own outcome; the ones restored get
    // their old times back and are marked undone.
    void stayedAndMovedInOneGroup() {
        QTemporaryDir dir;
        const QByteArray head = tagRegion(300, 'o');
        JournalWriter journal;
        QStringList paths, finals;
        QList<QByteArray> originals;
        QList<qint64> times;
        for (int i = 0; i < 6; ++i) {
            paths << dir.filePath(QString("%1.mp3").arg(i));
            originals << head + audio(900, char(i));
            writeAll(paths.last(), originals.last());
            times << PrintFileAt(paths.last()).digest.mtimeNs;
            finals << (i % 3 == 1 ? dir.filePath(QString("out/%1.mp3").arg(i)) : paths.last());
            simulate(journal, paths.last(), {head, tagRegion(300, 'n'), false, false, {}},
                     finals.last(), true);
        }
        journal.finish();
        QList<QByteArray> theirs{readAll(paths[2]), readAll(paths[3])};
        theirs[0][20] = 't';
        theirs[1][20] = 't';
        writeAll(paths[2], theirs[0]);
        EditAtFirstSync ops(paths[3], theirs[1]);
        setJournalFileOps(&ops);
        const UndoReport report = UndoRun(ReadJournalRuns().value(0));
        setJournalFileOps(nullptr);
        QVERIFY(ops.edited);
        QVERIFY(!report.ok);
        QCOMPARE(report.files.size(), 6);
        for (int i = 0; i < 6; ++i) {
            const UndoFileResult& r = report.files[5 - i];
            const bool edited = i == 2 || i == 3;
            QCOMPARE(r.path, finals[i]);
            QCOMPARE(r.restoredPath, paths[i]);
            QCOMPARE(r.ok, !edited);
            QCOMPARE(r.messages, edited
                                     ? QStringList{paths[i] + " changed since the run; left alone"}
                                     : QStringList());
            QCOMPARE(readAll(paths[i]), edited ? theirs[i - 2] : originals[i]);
            if (!edited)
                QCOMPARE(PrintFileAt(paths[i]).digest.mtimeNs, times[i]);
        }
        QVERIFY(!QFile::exists(dir.filePath("out")));
        // The two left alone stay undoable.
        QCOMPARE(ReadJournalRuns().value(0).notRestored(), 2);
    }

    // An outcome without a print (the file was gone when the run printed
    // it) makes the run damaged when it is read, and the writer's own entry
    // in the index says the same.
    void outcomeWithoutPrint() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        writeAll(path, "ID3xx" + audio(100, 1));
        const FileDigest before = PrintFileAt(path).digest;
        JournalWriter journal;
        JournalEntry e;
        e.originalPath = e.targetPath = path;
        e.head = "ID3xx";
        e.originalSize = before.size;
        e.originalDigest = before.digest;
        e.originalMtimeNs = before.mtimeNs;
        QString error;
        QVERIFY2(journal.recordStart(e, &error), qPrintable(error));
        QVERIFY(journal.recordBegin(e.seq, &error));
        e.done = e.changed = true;
        e.finalPath = path; // no final print
        QVERIFY(journal.recordOutcome(e, &error));
        journal.finish();
        const JournalRunSummary s = ReadJournalSummaries().value(0);
        QVERIFY(!s.damage.isEmpty());
        QCOMPARE(s.damage, ReadJournalRun(journal.filePath()).damage);
    }

    // Forgetting old runs keeps what undo may still need: a run cut off
    // while a file was handled, and a damaged one, stay however old.
    void forgetOldRuns() {
        QTemporaryDir dir;
        const QByteArray head = "ID3" + QByteArray(30, 'h');
        QStringList ids;
        for (const bool complete : {true, false, true}) {
            const QString path = dir.filePath(QString("f%1.mp3").arg(ids.size()));
            writeAll(path, head + audio(700, char(ids.size())));
            JournalWriter journal;
            simulate(journal, path, {head, "ID3" + QByteArray(30, 'n'), false, false, {}},
                     dir.filePath(QString("out%1.mp3").arg(ids.size())), complete);
            journal.finish();
            ids << journal.runId();
        }
        QFile damaged(JournalFolder() + '/' + ids[2] + ".jsonl");
        QVERIFY(damaged.open(QIODevice::Append));
        damaged.write("not a record\n{\"type\":\"undo\"}\n{\"type\":\"end\",\"files\":1}\n");
        damaged.close();

        const QDateTime now = QDateTime::currentDateTimeUtc();
        QCOMPARE(forgetRuns(3, now.addDays(2)).runs, QStringList{});
        const ForgetReport report = forgetRuns(1, now.addDays(2));
        QCOMPARE(report.runs, QStringList{ids[0]});
        QVERIFY(report.bytes > head.size());
        QStringList left;
        for (const JournalRun& run : ReadJournalRuns())
            left << run.id;
        QCOMPARE(left, (QStringList{ids[2], ids[1]}));
        QVERIFY(!QFile::exists(JournalFolder() + '/' + ids[0] + ".bytes"));
    }

    // A batch records a group of files with one flush before touching the
    // first. A kill part way leaves files that were begun and files that
    // never were: history counts the begun ones, undo restores them and
    // passes quietly over the untouched rest. A file changed without its
    // begin mark (the mark is not flushed, so a power cut may lose it) is
    // still restored: undo never trusts a missing mark.
    void groupCutOff_data() {
        QTest::addColumn<QList<bool>>("begun");   // a begin record was written
        QTest::addColumn<QList<bool>>("changed"); // the bytes were changed
        QTest::addColumn<int>("counted");
        QTest::addColumn<int>("reported");
        QTest::newRow("first of three")
            << QList<bool>{true, false, false} << QList<bool>{true, false, false} << 1 << 1;
        QTest::newRow("none reached")
            << QList<bool>{false, false, false} << QList<bool>{false, false, false} << 0 << 0;
        QTest::newRow("mark lost")
            << QList<bool>{true, false, false} << QList<bool>{true, true, false} << 1 << 2;
    }
    void groupCutOff() {
        QFETCH(QList<bool>, begun);
        QFETCH(QList<bool>, changed);
        QFETCH(int, counted);
        QFETCH(int, reported);
        QTemporaryDir dir;
        const QByteArray head = "ID3" + QByteArray(50, 'o');
        QList<JournalEntry> entries(begun.size());
        QList<QByteArray> originals;
        auto journal = std::make_unique<JournalWriter>();
        for (int i = 0; i < begun.size(); ++i) {
            const QString path = dir.filePath(QString("f%1.mp3").arg(i));
            originals << head + audio(1500, char(i));
            writeAll(path, originals.last());
            const FileDigest before = PrintFileAt(path).digest;
            JournalEntry& e = entries[i];
            e.originalPath = e.targetPath = path;
            e.head = head;
            e.originalSize = before.size;
            e.originalDigest = before.digest;
            e.originalMtimeNs = before.mtimeNs;
            QString error;
            QVERIFY2(journal->recordStart(e, &error, JournalWriter::Flush::Later),
                     qPrintable(error));
        }
        QString error;
        QVERIFY2(journal->makeDurable(int(entries.size()), &error), qPrintable(error));
        for (int i = 0; i < begun.size(); ++i) {
            if (begun[i])
                QVERIFY(journal->recordBegin(entries[i].seq, &error));
            if (changed[i])
                writeAll(entries[i].originalPath,
                         "ID3" + QByteArray(50, 'n') + originals[i].mid(head.size()));
        }
        const QString file = journal->filePath();
        journal.reset(); // a kill: the writer is gone without finish()
        const JournalRun run = ReadJournalRun(file);
        QVERIFY(run.marksBegin);
        QCOMPARE(run.changedFiles(), counted);

        const UndoReport report = UndoRun(run);
        QVERIFY(report.ok);
        QCOMPARE(report.files.size(), reported);
        for (int i = 0; i < begun.size(); ++i)
            QCOMPARE(readAll(entries[i].originalPath), originals[i]);
    }

    // The original tag regions live in the run's byte file. When it is gone
    // or cut short, undo says so and leaves the file alone.
    void savedBytesLost_data() {
        QTest::addColumn<bool>("removed"); // else cut short
        QTest::newRow("removed") << true;
        QTest::newRow("cut short") << false;
    }
    void savedBytesLost() {
        QFETCH(bool, removed);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        const QByteArray head = "ID3" + QByteArray(70, 'o');
        writeAll(path, head + audio(900, 4));
        JournalWriter journal;
        simulate(journal, path, {head, "ID3" + QByteArray(70, 'n'), false, false, {}},
                 dir.filePath("b.mp3"), true);
        journal.finish();
        const JournalRun run = ReadJournalRuns().value(0);
        QVERIFY(QFile::exists(run.bytesFile));
        if (removed) {
            QVERIFY(QFile::remove(run.bytesFile));
        } else {
            QFile bytes(run.bytesFile);
            QVERIFY(bytes.resize(10));
        }
        const QByteArray changed = readAll(dir.filePath("b.mp3"));
        const UndoReport report = UndoRun(run);
        QVERIFY(!report.ok);
        QCOMPARE(report.files.size(), 1);
        QCOMPARE(report.files[0].messages,
                 QStringList{"Cannot read the saved tag of " + path + " from the journal"});
        QCOMPARE(readAll(dir.filePath("b.mp3")), changed);
        QVERIFY(!QFile::exists(path));
    }

    // Records a full disk took half of are cut off again: the records
    // written after them read, and their numbers are given again. Where
    // they cannot be cut off, nothing more is recorded or begun.
    void failedWriteLeavesNoRecord_data() {
        QTest::addColumn<bool>("uncuttable");
        QTest::newRow("cut off") << false;
        QTest::newRow("cannot be cut off") << true;
    }
    void failedWriteLeavesNoRecord() {
        QFETCH(bool, uncuttable);
        QTemporaryDir dir;
        const QString a = dir.filePath("a.mp3"), b = dir.filePath("b.mp3");
        const QByteArray original = "ID3" + QByteArray(20, 'o') + audio(800, 2);
        writeAll(a, original);
        writeAll(b, original);
        const Edit edit{original.left(23), "ID3" + QByteArray(20, 'n'), false, false, {}};
        HalfWritten ops;
        setJournalFileOps(&ops);
        JournalWriter journal;
        simulate(journal, a, edit, dir.filePath("z/a.mp3"), true);
        JournalEntry lost;
        lost.originalPath = lost.targetPath = b;
        lost.head = original.left(23);
        const FileDigest found = PrintFileAt(b).digest;
        lost.originalSize = found.size;
        lost.originalDigest = found.digest;
        lost.originalMtimeNs = found.mtimeNs;
        JournalEntry alsoLost = lost;
        ops.armed = true;
        ops.uncuttable = uncuttable;
        QString error;
        QVERIFY(!journal.recordStarts({&lost, &alsoLost}, &error));
        QVERIFY(error.contains(journal.filePath()));
        if (uncuttable) {
            JournalEntry next = lost;
            QVERIFY(!journal.recordStarts({&next}, &error));
            QVERIFY(!journal.recordBegins({1}, &error));
        } else {
            simulate(journal, b, edit, dir.filePath("z/b.mp3"), true);
        }
        journal.finish();
        setJournalFileOps(nullptr);
        ops.release();
        const JournalRun run = ReadJournalRun(journal.filePath());
        QCOMPARE(run.damage, QStringList());
        // Where the cut failed, the first record stands (a file never
        // begun) and the run has no end record.
        QCOMPARE(run.entries.size(), 2);
        QCOMPARE(run.entries[1].seq, 2);
        QCOMPARE(run.entries[1].begun, !uncuttable);
        QCOMPARE(run.complete, !uncuttable);
        QVERIFY(UndoRun(run).ok);
        QCOMPARE(readAll(a), original);
        QCOMPARE(readAll(b), original);
    }

    // A run that records files but changes none leaves neither of its files.
    void unchangedRunLeavesNothing() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        writeAll(path, "ID3" + audio(300, 1));
        JournalWriter journal;
        JournalEntry e;
        e.originalPath = e.targetPath = e.finalPath = path;
        e.head = "ID3";
        QString error;
        QVERIFY(journal.recordStart(e, &error));
        e.done = true;
        QVERIFY(journal.recordOutcome(e, &error));
        journal.finish();
        QCOMPARE(QDir(JournalFolder()).entryList(QDir::Files), QStringList());
    }

    // Journals of earlier versions: the region inline as base64, BLAKE2b
    // digests of the whole file, no begin marks and no byte file. Undo
    // takes them back as before and still refuses a file changed since.
    void earlierJournal_data() {
        QTest::addColumn<bool>("changedSince");
        QTest::addColumn<bool>("stays"); // the run left the file at its path
        QTest::newRow("restored") << false << false;
        QTest::newRow("changed since") << true << false;
        QTest::newRow("restored where it stayed") << false << true;
        QTest::newRow("changed since where it stayed") << true << true;
    }
    void earlierJournal() {
        QFETCH(bool, changedSince);
        QFETCH(bool, stays);
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3"),
                      target = stays ? path : dir.filePath("out/a.mp3");
        const QByteArray head = "ID3" + QByteArray(40, 'o');
        const QByteArray original = head + audio(2000, 6);
        const QByteArray applied = "ID3" + QByteArray(90, 'n') + original.mid(head.size());
        QVERIFY(QDir().mkpath(dir.filePath("out")));
        writeAll(target, applied);
        auto blake = [](const QByteArray& b) {
            return QString::fromLatin1(
                QCryptographicHash::hash(b, QCryptographicHash::Blake2b_256).toHex());
        };
        const QList<QJsonObject> records{
            {{"type", "run"}, {"id", "20260101-000000-000"}, {"time", "2026-01-01T00:00:00.000Z"}},
            {{"type", "start"},
             {"seq", 1},
             {"original", path},
             {"target", target},
             {"head", QString::fromLatin1(head.toBase64())},
             {"tail", ""},
             {"size", original.size()},
             {"digest", blake(original)},
             {"mtimeNs", 0},
             {"folders", QJsonArray{dir.filePath("out")}}},
            {{"type", "outcome"},
             {"seq", 1},
             {"changed", true},
             {"final", target},
             {"size", applied.size()},
             {"digest", blake(applied)}}};
        QVERIFY(QDir().mkpath(JournalFolder()));
        QByteArray lines;
        for (const QJsonObject& r : records)
            lines += QJsonDocument(r).toJson(QJsonDocument::Compact) + '\n';
        writeAll(JournalFolder() + "/20260101-000000-000.jsonl", lines);
        if (changedSince)
            writeAll(target, QByteArray(applied).replace(5, 1, "X"));

        const JournalRun run = ReadJournalRuns().value(0);
        QCOMPARE(run.changedFiles(), 1);
        QVERIFY(!run.marksBegin);
        const UndoReport report = UndoRun(run);
        QCOMPARE(report.ok, !changedSince);
        if (changedSince) {
            QVERIFY(report.files[0].messages.join(' ').contains("changed since the run"));
            QCOMPARE(QFile::exists(path), stays);
        } else {
            QCOMPARE(readAll(path), original);
            QVERIFY(!QFileInfo::exists(dir.filePath("out")));
        }
    }
};

QTEST_GUILESS_MAIN(TestJournalUndo)
#include "test_journal_undo.moc"
