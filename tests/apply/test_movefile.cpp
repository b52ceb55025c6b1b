#include "apply/copyfile.h"
#include "apply/movefile.h"
#include "tags/rewritefileops.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace {

void put(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray get(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

dev_t deviceOf(const QString& path) {
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_dev : dev_t(-1);
}

} // namespace

class TestMoveFile : public QObject {
    Q_OBJECT
private slots:
    // Each row: the name moved, the target name (relative to the folder), an
    // optional file already at the target, and what must be true afterwards.
    void moves_data() {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QByteArray>("existing"); // content already at "to", or null
        QTest::addColumn<int>("result");
        QTest::addColumn<bool>("sourceStays");
        // The check before a move sees the same, except a missing folder.

        QTest::newRow("plain rename") << "a.mp3"
                                      << "b.mp3" << QByteArray() << 0 << false;
        QTest::newRow("into a subfolder") << "a.mp3"
                                          << "sub/a.mp3" << QByteArray() << 0 << false;
        QTest::newRow("own path") << "a.mp3"
                                  << "a.mp3" << QByteArray() << 0 << true;
        QTest::newRow("own path, doubled separator")
            << "a.mp3"
            << "sub/..//a.mp3" << QByteArray() << 0 << true;
        QTest::newRow("own path through a link to its folder")
            << "a.mp3"
            << "here/a.mp3" << QByteArray() << 0 << true;
        QTest::newRow("own path, the link in the source") << "here/a.mp3"
                                                          << "a.mp3" << QByteArray() << 0 << true;
        QTest::newRow("case only, case-sensitive") << "Song.MP3"
                                                   << "Song.mp3" << QByteArray() << 0 << false;
        QTest::newRow("target exists") << "a.mp3"
                                       << "b.mp3" << QByteArray("other") << EEXIST << true;
        QTest::newRow("target is a folder") << "a.mp3"
                                            << "sub" << QByteArray() << EEXIST << true;
        QTest::newRow("source gone") << "gone.mp3"
                                     << "b.mp3" << QByteArray() << ENOENT << false;
        QTest::newRow("target folder missing") << "a.mp3"
                                               << "nowhere/b.mp3" << QByteArray() << ENOENT << true;
    }
    void moves() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QByteArray, existing);
        QFETCH(int, result);
        QFETCH(bool, sourceStays);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir("sub"));
        QVERIFY(QFile::link(dir.path(), dir.filePath("here")));
        const QByteArray content("audio-bytes");
        if (from != QLatin1String("gone.mp3"))
            put(dir.filePath(from), content);
        if (!existing.isNull())
            put(dir.filePath(to), existing);

        const int precheck = to.startsWith(QLatin1String("nowhere/")) ? 0 : result;
        QCOMPARE(CheckMoveNoReplace(dir.filePath(from), dir.filePath(to)), precheck);
        QCOMPARE(MoveFileNoReplace(dir.filePath(from), dir.filePath(to)), result);

        QCOMPARE(QFile::exists(dir.filePath(from)), sourceStays);
        if (result == 0)
            QCOMPARE(get(dir.filePath(to)), content);
        if (!existing.isNull())
            QCOMPARE(get(dir.filePath(to)), existing); // never replaced
    }

    // Another hard link of the same file is another entry: it is not
    // replaced, also when its name differs only by case (a rename between
    // two links of one file would do nothing).
    void hardLinkIsAnotherPath_data() {
        QTest::addColumn<QString>("link");
        QTest::newRow("unrelated name") << "b.mp3";
        QTest::newRow("name differs only by case") << "A.mp3";
    }
    void hardLinkIsAnotherPath() {
        QFETCH(QString, link);
        QTemporaryDir dir;
        put(dir.filePath("a.mp3"), "x");
        QCOMPARE(::link(QFile::encodeName(dir.filePath("a.mp3")).constData(),
                        QFile::encodeName(dir.filePath(link)).constData()),
                 0);
        QCOMPARE(CheckMoveNoReplace(dir.filePath("a.mp3"), dir.filePath(link)), EEXIST);
        QCOMPARE(MoveFileNoReplace(dir.filePath("a.mp3"), dir.filePath(link)), EEXIST);
        QVERIFY(QFile::exists(dir.filePath("a.mp3")));
    }

    // /dev/shm is a memory file system: a move there crosses file systems and
    // must copy, keep the permissions and times, and remove the source.
    void acrossFileSystems() {
        QTemporaryDir here;
        QTemporaryDir there(QStringLiteral("/dev/shm/quorvel-move-XXXXXX"));
        if (!there.isValid() || deviceOf(here.path()) == deviceOf(there.path()))
            QSKIP("no second file system to move across");
        const QByteArray content = QByteArray(3 * 1024 * 1024 + 7, 'a') + "end";
        put(here.filePath("a.mp3"), content);
        QFile::setPermissions(here.filePath("a.mp3"), QFile::ReadOwner | QFile::WriteOwner);
        struct stat before;
        QCOMPARE(::stat(QFile::encodeName(here.filePath("a.mp3")).constData(), &before), 0);

        // A second name of the file stays with the old file, and is counted.
        QVERIFY(::link(QFile::encodeName(here.filePath("a.mp3")).constData(),
                       QFile::encodeName(here.filePath("seed.mp3")).constData()) == 0);
        int otherNames = -1;
        QCOMPARE(MoveFileNoReplace(here.filePath("a.mp3"), there.filePath("b.mp3"), nullptr,
                                   &otherNames),
                 0);
        QCOMPARE(otherNames, 1);
        QCOMPARE(get(here.filePath("seed.mp3")), content);
        QVERIFY(QFile::remove(here.filePath("seed.mp3")));
        QVERIFY(!QFile::exists(here.filePath("a.mp3")));
        QCOMPARE(get(there.filePath("b.mp3")), content);
        struct stat after;
        QCOMPARE(::stat(QFile::encodeName(there.filePath("b.mp3")).constData(), &after), 0);
        QCOMPARE(after.st_mode & 07777, before.st_mode & 07777);
        QCOMPARE(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
        // No temporary file is left behind.
        QCOMPARE(
            QDir(there.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"b.mp3"});

        // And back, onto a name that exists: refused, both files kept.
        put(here.filePath("c.mp3"), "other");
        QCOMPARE(MoveFileNoReplace(there.filePath("b.mp3"), here.filePath("c.mp3")), EEXIST);
        QCOMPARE(get(here.filePath("c.mp3")), QByteArray("other"));
        QCOMPARE(get(there.filePath("b.mp3")), content);
        QCOMPARE(
            QDir(here.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"c.mp3"});
    }

    // The copy's temporary file is locked while it is written, so that a
    // run elsewhere (another PID namespace or computer) does not sweep it.
    void copyHoldsItsTemporaryFile() {
        QTemporaryDir here;
        const QString from = here.filePath("a.mp3");
        put(from, QByteArray(70000, 'a'));
        QVERIFY(QDir(here.path()).mkpath("to"));
        class LockProbe : public RewriteFileOps {
        public:
            QString folder;
            QStringList locked;
            bool Flush(int fd) override {
                for (const QString& name :
                     QDir(folder).entryList({".quorvel-*"}, QDir::Hidden | QDir::Files)) {
                    const int probe = ::open(QFile::encodeName(folder + '/' + name).constData(),
                                             O_RDONLY | O_CLOEXEC);
                    if (probe >= 0 && ::flock(probe, LOCK_EX | LOCK_NB) != 0 &&
                        errno == EWOULDBLOCK)
                        locked << name;
                    ::close(probe);
                }
                return RewriteFileOps::Flush(fd);
            }
        } ops;
        ops.folder = here.filePath("to");
        SetRewriteFileOps(&ops);
        const int err = CopyThenDelete(from, here.filePath("to/b.mp3"));
        SetRewriteFileOps(nullptr);
        QCOMPARE(err, 0);
        QCOMPARE(ops.locked.size(), 1);
        QCOMPARE(get(here.filePath("to/b.mp3")), QByteArray(70000, 'a'));
    }

    // Another program writes the file while it is copied to the other file
    // system: the copy would lack its edit, so the move fails and the file
    // stays where it was, edited.
    void editedWhileCopied_data() {
        QTest::addColumn<bool>("timePutBack");
        QTest::newRow("rewritten") << false;
        QTest::newRow("rewritten, its time put back") << true;
    }
    void editedWhileCopied() {
        QFETCH(bool, timePutBack);
        QTemporaryDir here;
        QTemporaryDir there(QStringLiteral("/dev/shm/quorvel-move-XXXXXX"));
        if (!there.isValid() || deviceOf(here.path()) == deviceOf(there.path()))
            QSKIP("no second file system to move across");
        const QString from = here.filePath("a.mp3");
        put(from, QByteArray(70000, 'a'));
        const QByteArray theirs = QByteArray(70000, 'a') + "theirs";
        class EditAtFlush : public RewriteFileOps {
        public:
            std::function<void()> edit;
            bool Flush(int fd) override {
                if (edit)
                    std::exchange(edit, nullptr)();
                return RewriteFileOps::Flush(fd);
            }
        } ops;
        ops.edit = [&] {
            struct stat was {};
            ::stat(QFile::encodeName(from).constData(), &was);
            put(from, theirs);
            if (timePutBack) {
                const struct timespec times[2] = {was.st_atim, was.st_mtim};
                ::utimensat(AT_FDCWD, QFile::encodeName(from).constData(), times, 0);
            }
        };
        SetRewriteFileOps(&ops);
        const int err = MoveFileNoReplace(from, there.filePath("b.mp3"));
        SetRewriteFileOps(nullptr);
        QCOMPARE(err, ChangedWhileCopied);
        QCOMPARE(get(from), theirs);
        QCOMPARE(
            QDir(there.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
    }
};

QTEST_GUILESS_MAIN(TestMoveFile)
#include "test_movefile.moc"
