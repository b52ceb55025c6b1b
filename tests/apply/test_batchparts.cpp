#include "apply/absolutepath.h"
#include "apply/batchapply.h"
#include "apply/batchplan.h"
#include "apply/compactplan.h"
#include "apply/inorder.h"
#include "apply/journal.h"
#include "apply/journalfileops.h"
#include "apply/parallelfor.h"
#include "apply/planfile.h"
#include "apply/preflight.h"
#include "apply/syncfiles.h"
#include "apply/undo.h"
#include "fixtures.h"
#include "immutablefile.h"
#include "profiles/profile.h"
#include "progressbar.h"

#include <QDir>
#include <QMutex>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <initializer_list>
#include <linux/magic.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>

namespace {

// padding 0: a longer title does not fit, and the file is written anew.
QByteArray song(const QString& title, int padding = 2000) {
    fixture::Tag tag;
    tag.frames = {{"TPE1", fixture::TextBody(0, "Artist")}, {"TIT2", fixture::TextBody(0, title)}};
    tag.padding = padding; // the new tag fits: written in place
    return fixture::BuildFile(&tag, 4);
}

// Songs written as <folder>/<name>.mp3, each with its padding.
struct Songs {
    QStringList paths;
    QList<QByteArray> originals;
    bool written = true;
};
Songs writeSongs(const QDir& folder, std::initializer_list<std::pair<const char*, int>> names) {
    Songs songs;
    for (const auto& [name, padding] : names) {
        songs.paths << folder.filePath(QString("%1.mp3").arg(name));
        songs.originals << song(name, padding);
        songs.written =
            fixture::WriteFile(songs.paths.last(), songs.originals.last()) && songs.written;
    }
    return songs;
}

// Every file goes to <folder>/<its name>.mp3 with a new title.
Profile sortInto(const QString& folder) {
    Profile p = Profile::withDefaults(QStringLiteral("test"));
    p.caseMode = CaseKeep;
    p.create[FieldLocation] = folder;
    p.create[FieldTitle] = QStringLiteral("New %T");
    p.create[FieldTrack] = QString(); // an empty value sets nothing
    return p;
}

// Applies plans as one run of the journal; each file's result, in order.
QList<ApplyResult> applyAll(std::vector<FilePlan>& plans, const Profile& profile,
                            BatchHooks hooks = {}) {
    JournalWriter journal;
    QList<ApplyResult> results;
    hooks.finished = [&](int, const ApplyResult& r) { results << r; };
    ApplyBatch(plans, profile, journal, hooks);
    journal.finish();
    return results;
}

// Asks atSync at every flush of the journal (the journal's files are
// flushed together, on several threads); false makes the flush fail.
class WatchedJournalOps : public JournalFileOps {
public:
    explicit WatchedJournalOps(std::function<bool()> atSync) : m_atSync(std::move(atSync)) {}
    bool sync(int fd) override {
        const QMutexLocker lock(&m_lock);
        if (!m_atSync()) {
            errno = EIO;
            return false;
        }
        return JournalFileOps::sync(fd);
    }

private:
    std::function<bool()> m_atSync;
    QMutex m_lock;
};

} // namespace

class TestBatchParts : public QObject {
    Q_OBJECT
private slots:
    void sharedTargets_data() {
        QTest::addColumn<QStringList>("targets");
        QTest::addColumn<QList<QList<int>>>("shared");
        using L = QList<int>;
        QTest::newRow("all different") << QStringList{"/m/a.mp3", "/m/b.mp3"} << QList<L>{{}, {}};
        QTest::newRow("same") << QStringList{"/m/a.mp3", "/m/b.mp3", "/m/a.mp3"}
                              << QList<L>{{2}, {}, {0}};
        QTest::newRow("same after cleaning")
            << QStringList{"/m//a.mp3", "/m/./a.mp3"} << QList<L>{{1}, {0}};
        // Apply makes x before the move, and ".." then leads out of it.
        QTest::newRow("folding through a folder still to be made")
            << QStringList{"/m/a.mp3", "/m/x/y/../../a.mp3"} << QList<L>{{1}, {0}};
        QTest::newRow("case differs") << QStringList{"/m/A.mp3", "/m/a.mp3"} << QList<L>{{}, {}};
        QTest::newRow("three alike")
            << QStringList{"/a.mp3", "/a.mp3", "/a.mp3"} << QList<L>{{1, 2}, {0, 2}, {0, 1}};
        // Each names the first three others, and counts all five.
        QTest::newRow("six alike")
            << QStringList(6, "/a.mp3")
            << QList<L>{{1, 2, 3}, {0, 2, 3}, {0, 1, 3}, {0, 1, 2}, {0, 1, 2}, {0, 1, 2}};
        QTest::newRow("failed files ignored")
            << QStringList{"", "", "/a.mp3"} << QList<L>{{}, {}, {}};
    }
    void sharedTargetsThroughLinks() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("real/sub"));
        QVERIFY(QFile::link(dir.filePath("real"), dir.filePath("link")));
        QVERIFY(QFile::link(dir.filePath("real/sub"), dir.filePath("deep")));
        // A file that is a link itself leads elsewhere than its folder.
        QVERIFY(QFile(dir.filePath("real/d.mp3")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(dir.filePath("real/d.mp3"), dir.filePath("real/sub/alias.mp3")));
        const QStringList targets{
            dir.filePath("link/a.mp3"),           dir.filePath("real/a.mp3"),
            dir.filePath("real/sub/../b.mp3"),    dir.filePath("link/sub/../b.mp3"),
            dir.filePath("real/new/c.mp3"),       dir.filePath("link/new/c.mp3"),
            dir.filePath("link/sub/alias.mp3"),   dir.filePath("link/d.mp3"),
            dir.filePath("deep/new/../../e.mp3"), dir.filePath("real/e.mp3")};
        // Targets known to be no link themselves still go through their
        // folders' links.
        QList<bool> noLink(targets.size(), true);
        noLink[6] = false;
        for (const QList<bool>& known : {QList<bool>(), noLink}) {
            QList<QList<int>> named;
            for (const SharedTarget& s : SharedTargets(targets, known))
                named << s.named;
            QCOMPARE(named, (QList<QList<int>>{{1}, {0}, {3}, {2}, {5}, {4}, {7}, {6}, {9}, {8}}));
        }
    }

    // Paths reach the file system as the kernel resolves them: "." and
    // doubled "/" go, ".." after a link leads where the link is, ".." after a
    // folder still to be made leads back out of it, and ".." after a file
    // stays for the kernel to refuse.
    void absolutePath() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("deep/inner"));
        QVERIFY(QFile::link(dir.filePath("deep/inner"), dir.filePath("link")));
        QVERIFY(QFile(dir.filePath("file")).open(QIODevice::WriteOnly));
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QString cwd = QDir::currentPath();
        const QStringList got{AbsolutePath("a.mp3"),         AbsolutePath("./x//a.mp3"),
                              AbsolutePath("/m/./n//a.mp3"), AbsolutePath("link/../f.mp3"),
                              AbsolutePath("gone/../f.mp3"), AbsolutePath("link/new/../../f.mp3"),
                              AbsolutePath("file/../f.mp3"), AbsolutePath("/")};
        QDir::setCurrent(old);
        QCOMPARE(got,
                 (QStringList{cwd + "/a.mp3", cwd + "/x/a.mp3", "/m/n/a.mp3", cwd + "/deep/f.mp3",
                              cwd + "/f.mp3", cwd + "/deep/f.mp3", cwd + "/file/../f.mp3", "/"}));
    }

    // Results come back in the order of the items, however the threads
    // finish, with no more than `ahead` waiting; a stop ends the run early.
    void produceInOrder() {
        std::atomic<int> inFlight{0}, mostInFlight{0};
        QList<int> order;
        const int consumed = ProduceInOrder<int>(
            200,
            [&](int i) {
                const int now = ++inFlight;
                int seen = mostInFlight;
                while (now > seen && !mostInFlight.compare_exchange_weak(seen, now)) {
                }
                std::this_thread::sleep_for(std::chrono::microseconds((i * 7919) % 500));
                --inFlight;
                return i * 2;
            },
            [&](int i, int&& v) {
                QCOMPARE(v, i * 2);
                order << i;
            },
            {}, 4, 8);
        QCOMPARE(consumed, 200);
        QCOMPARE(order.size(), 200);
        for (int i = 0; i < order.size(); ++i)
            QCOMPARE(order[i], i);
        QVERIFY(mostInFlight <= 4);

        std::atomic<int> produced{0};
        int seen = 0;
        const int early = ProduceInOrder<int>(
            1000, [&](int i) { return ++produced, i; }, [&](int, int&&) { ++seen; },
            [&] { return produced >= 10; }, 3, 8);
        QVERIFY(early >= 10 && early < 1000);
        QCOMPARE(seen, early);
        QCOMPARE(early, produced.load()); // everything started was handed over
        QCOMPARE(ProduceInOrder<int>(
                     0, [](int i) { return i; }, [](int, int&&) {}),
                 0);
    }

    // The helper threads are kept between calls: every item runs exactly
    // once, call after call of any size, from two threads at once, and from
    // within an item (those calls start threads of their own).
    void parallelForHelpers() {
        auto runOnce = [](int count) {
            std::vector<std::atomic<int>> runs(size_t(std::max(count, 1)));
            ParallelFor(count, [&](int i) { ++runs[size_t(i)]; });
            for (int i = 0; i < count; ++i) {
                if (runs[size_t(i)] != 1)
                    return false;
            }
            return true;
        };
        for (int round = 0; round < 300; ++round)
            QVERIFY(runOnce(round % 9));
        std::atomic<bool> otherOk{true};
        std::thread other([&] {
            for (int round = 0; round < 200; ++round)
                otherOk = otherOk && runOnce(1 + round % 7);
        });
        for (int round = 0; round < 200; ++round)
            QVERIFY(runOnce(2 + round % 5));
        other.join();
        QVERIFY(otherOk);
        std::atomic<int> inner{0};
        ParallelFor(4, [&](int) { ParallelFor(3, [&](int) { ++inner; }); });
        QCOMPARE(inner.load(), 12);
    }
    // Files flushed a file system at a time: one whole flush for the files
    // of each, then the flush of one of them (the disk's write cache); where
    // either fails or the first is not done, each of its files is flushed
    // and keeps its own outcome. /dev/null lies on another file system than
    // the temporary folder.
    void syncByFileSystem_data() {
        QTest::addColumn<bool>("folderWhole");  // the whole flush of the folder's file system
        QTest::addColumn<bool>("devWhole");     // that of /dev/null's
        QTest::addColumn<bool>("devFileFails"); // the first flush of /dev/null itself (told once)
        QTest::addColumn<QList<int>>("errors"); // a.mp3, /dev/null, b.mp3, a closed fd
        QTest::addColumn<int>("each");          // flushes of one file
        QTest::newRow("both whole") << true << true << false << QList<int>{0, 0, 0, EBADF} << 3;
        QTest::newRow("one fails") << true << false << true << QList<int>{0, EIO, 0, EBADF} << 3;
        QTest::newRow("both fail") << false << false << true << QList<int>{0, EIO, 0, EBADF} << 4;
        QTest::newRow("whole, but its file's flush fails")
            << true << true << true << QList<int>{0, EIO, 0, EBADF} << 3;
    }
    void syncByFileSystem() {
        QFETCH(bool, folderWhole);
        QFETCH(bool, devWhole);
        QFETCH(bool, devFileFails);
        QFETCH(QList<int>, errors);
        QFETCH(int, each);
        QTemporaryDir dir;
        const QList<int> fds{
            ::open(QFile::encodeName(dir.filePath("a.mp3")), O_RDWR | O_CREAT, 0644),
            ::open("/dev/null", O_RDWR),
            ::open(QFile::encodeName(dir.filePath("b.mp3")), O_RDWR | O_CREAT, 0644),
            ::open("/dev/null", O_RDONLY)};
        ::close(fds[3]);
        struct stat devNull {};
        QCOMPARE(::fstat(fds[1], &devNull), 0);
        QMutex lock;
        QList<int> whole;
        int flushed = 0;
        const QList<int> got = SyncByFileSystem(
            fds,
            [&](int fd) {
                whole << fd;
                struct stat st {};
                ::fstat(fd, &st);
                errno = EIO;
                return st.st_dev == devNull.st_dev ? devWhole : folderWhole;
            },
            [&](int fd) {
                const QMutexLocker locked(&lock);
                ++flushed;
                if (fd == fds[1]) {
                    errno = EIO;
                    return !std::exchange(devFileFails, false);
                }
                return ::fsync(fd) == 0;
            });
        for (const int fd : fds)
            ::close(fd);
        QCOMPARE(got, errors);
        QCOMPARE(whole.size(), 2);
        QCOMPARE(flushed, each);
    }

    // syncfs stands for an fsync of each file only on a local disk file
    // system, on a kernel whose syncfs reports failures, while little else
    // waits to be written (which syncfs would wait for too).
    void syncfsFlushesFiles_data() {
        QTest::addColumn<long>("type");
        QTest::addColumn<qint64>("unwritten");
        QTest::addColumn<QByteArray>("release");
        QTest::addColumn<bool>("flushes");
        const qint64 little = 1 << 20, much = qint64(1) << 30;
        const QByteArray now = "6.1.0-13-amd64";
        QTest::newRow("ext4") << long(EXT4_SUPER_MAGIC) << little << now << true;
        QTest::newRow("XFS, nothing unwritten") << long(XFS_SUPER_MAGIC) << 0LL << now << true;
        QTest::newRow("Btrfs on 5.17")
            << long(BTRFS_SUPER_MAGIC) << little << QByteArray("5.17.0") << true;
        QTest::newRow("much unwritten") << long(EXT4_SUPER_MAGIC) << much << now << false;
        QTest::newRow("unwritten not known") << long(EXT4_SUPER_MAGIC) << -1LL << now << false;
        QTest::newRow("5.16") << long(EXT4_SUPER_MAGIC) << little << QByteArray("5.16.20") << false;
        QTest::newRow("5.10") << long(EXT4_SUPER_MAGIC) << little << QByteArray("5.10.0-28-amd64")
                              << false;
        QTest::newRow("4.18") << long(XFS_SUPER_MAGIC) << little
                              << QByteArray("4.18.0-553.el8_10.x86_64") << false;
        QTest::newRow("release not known")
            << long(EXT4_SUPER_MAGIC) << little << QByteArray() << false;
        for (const auto& [name, type] :
             std::vector<std::pair<const char*, long>>{{"NFS", long(NFS_SUPER_MAGIC)},
                                                       {"SMB2", long(SMB2_SUPER_MAGIC)},
                                                       {"CIFS", long(CIFS_SUPER_MAGIC)},
                                                       {"FUSE", long(FUSE_SUPER_MAGIC)},
                                                       {"overlay", long(OVERLAYFS_SUPER_MAGIC)},
                                                       {"F2FS", long(F2FS_SUPER_MAGIC)}})
            QTest::newRow(name) << type << little << now << false;
    }
    void syncfsFlushesFiles() {
        QFETCH(long, type);
        QFETCH(qint64, unwritten);
        QFETCH(QByteArray, release);
        QFETCH(bool, flushes);
        QCOMPARE(SyncfsFlushesFiles(type, unwritten, release.constData()), flushes);
    }
    // The real whole flush refuses on a file system that is no local disk
    // one (procfs here, as NFS or FUSE), so that each file is flushed on its
    // own; what waits to be written is read.
    void realWholeFlushRefusesElsewhere() {
        QVERIFY(UnwrittenBytes() >= 0);
        const int proc = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
        QVERIFY(proc >= 0);
        errno = 0;
        const bool flushed = JournalFileOps().syncFileSystem(proc);
        const int err = errno;
        ::close(proc);
        QVERIFY(!flushed);
        QCOMPARE(err, EOPNOTSUPP);
    }

    // Refusals that need the file system: a folder that cannot take new
    // names, on the way in or out, and a path over the system's limit.
    void folderRefusals_data() {
        QTest::addColumn<QString>("file");    // in "in": a.mp3, or link.mp3 that leads to it
        QTest::addColumn<QString>("protect"); // made unwritable: "in" or "out"
        QTest::addColumn<QString>("location");
        QTest::addColumn<QString>("status");
        QTest::newRow("source folder") << "a.mp3"
                                       << "in"
                                       << "@/out"
                                       << "source folder not writable";
        QTest::newRow("target folder") << "a.mp3"
                                       << "out"
                                       << "@/out"
                                       << "target folder not writable";
        QTest::newRow("deepest existing level") << "a.mp3"
                                                << "out"
                                                << "@/out/new/levels"
                                                << "cannot create folder";
        QTest::newRow("path over 4095 bytes")
            << "a.mp3"
            << ""
            << "@/" + (QString(200, 'p') + "/").repeated(21) << "path too long";
        QTest::newRow("file itself") << "a.mp3"
                                     << "in/a.mp3"
                                     << "@/out"
                                     << "cannot write tags: Operation not permitted";
        QTest::newRow("symbolic link") << "link.mp3"
                                       << ""
                                       << "@/out"
                                       << "symbolic link";
        QTest::newRow("link to a folder on the way is fine") << "a.mp3"
                                                             << ""
                                                             << "@/linked/deeper"
                                                             << "";
        QTest::newRow("own path through a link to its folder") << "a.mp3"
                                                               << ""
                                                               << "@/inlinked"
                                                               << "";
        QTest::newRow("existing file behind a folder still to be made") << "a.mp3"
                                                                        << ""
                                                                        << "@/new/../out"
                                                                        << "target exists";
    }
    void folderRefusals() {
        QFETCH(QString, file);
        QFETCH(QString, protect);
        QFETCH(QString, location);
        QFETCH(QString, status);
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath("in") && QDir(dir.path()).mkpath("out"));
        QVERIFY(QFile::link(dir.filePath("out"), dir.filePath("linked")));
        QVERIFY(QFile::link(dir.filePath("in"), dir.filePath("inlinked")));
        QVERIFY(QFile::link("a.mp3", dir.filePath("in/link.mp3")));
        const QString path = dir.filePath("in/" + file);
        QVERIFY(fixture::WriteFile(dir.filePath("in/a.mp3"), song("A")));
        QVERIFY(fixture::WriteFile(dir.filePath("out/a.mp3"), "another file"));
        ImmutableFile guard;
        if (!protect.isEmpty() && !guard.protect(dir.filePath(protect)))
            QSKIP("this file system cannot make a folder read-only for this user");
        FieldValues out;
        out[FieldLocation] = location.replace('@', dir.path());
        out[FieldFilename] = QStringLiteral("a");
        const std::optional<Refusal> refusal = CheckBeforeApply(path, out);
        QCOMPARE(refusal.has_value(), !status.isEmpty());
        if (!refusal)
            return;
        QCOMPARE(refusal->status, status);
        QVERIFY(!refusal->message.isEmpty());
        if (file == "link.mp3")
            QCOMPARE(refusal->message, "Not applied to " + path + ": it is a symbolic link to " +
                                           dir.filePath("in/a.mp3") + " (give that file instead)");
        if (status == "cannot create folder")
            QCOMPARE(refusal->message, QString("Cannot create folder"));
        if (status == "target folder not writable") // EACCES, or EPERM where immutable
            QVERIFY2(refusal->message.startsWith("Cannot move file as " +
                                                 dir.filePath("out/a.mp3") + ". Error "),
                     qPrintable(refusal->message));
    }

    // The checks before a run (a dry run, a preview) leave the file as it
    // was for a program that watches it too: no close after writing.
    void preflightOpensNothingForWriting() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.mp3");
        QVERIFY(fixture::WriteFile(path, song("A")));
        const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        QVERIFY(watch >= 0);
        QVERIFY(::inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(),
                                    IN_CLOSE_WRITE | IN_MODIFY | IN_ATTRIB) >= 0);
        FieldValues out;
        out[FieldLocation] = dir.filePath("out");
        out[FieldFilename] = QStringLiteral("a");
        QVERIFY(!CheckBeforeApply(path, out));
        char events[4096];
        const ssize_t got = ::read(watch, events, sizeof events);
        const int err = errno;
        ::close(watch);
        QCOMPARE(got, ssize_t(-1));
        QCOMPARE(err, EAGAIN);
    }

    // What a plan says about a file decides, and a file that changed after
    // it was planned is left alone; compact plans applied in parts (as
    // quorvel-cli keeps a large batch) come to the same.
    void planAndApply_data() {
        QTest::addColumn<bool>("compact");
        QTest::newRow("plans") << false;
        QTest::newRow("compact plans in parts of two") << true;
    }
    void planAndApply() {
        QFETCH(bool, compact);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath("in") && root.mkpath("out"));
        for (const char* name : {"a", "b", "c", "d"})
            QVERIFY(fixture::WriteFile(root.filePath(QString("in/%1.mp3").arg(name)), song(name)));
        QVERIFY(fixture::WriteFile(root.filePath("in/flac.mp3"),
                                   QByteArray("fLaC") + QByteArray(4000, 'x')));
        QVERIFY(fixture::WriteFile(root.filePath("out/d.mp3"), "taken"));
        const QStringList paths{root.filePath("in/a.mp3"), root.filePath("in/b.mp3"),
                                root.filePath("in/flac.mp3"), root.filePath("in/c.mp3"),
                                root.filePath("in/d.mp3")};
        const Profile profile = sortInto(root.filePath("out"));
        std::vector<FilePlan> plans(size_t(paths.size()));
        std::vector<CompactPlan> compactPlans(paths.cbegin(), paths.cend());
        QCOMPARE(PlanFiles(paths, profile,
                           [&](int i, FilePlan&& p) {
                               if (compact)
                                   compactPlans[size_t(i)] = CompactPlan(std::move(p));
                               else
                                   plans[size_t(i)] = std::move(p);
                           }),
                 5);
        QStringList statuses;
        if (compact) {
            MarkSharedTargets(compactPlans);
            for (const CompactPlan& p : compactPlans)
                statuses << p.plan().status();
        } else {
            MarkSharedTargets(plans);
            for (const FilePlan& p : plans)
                statuses << p.status();
            QCOMPARE(plans[0].tagChanges(), QStringList{"Title: a -> New a"});
        }
        QCOMPARE(statuses, (QStringList{"ready", "ready", "not read: not MPEG audio (FLAC audio)",
                                        "ready", "target exists"}));

        // Another program writes b after the plan.
        const QByteArray changedB = song("b edited elsewhere");
        QVERIFY(fixture::WriteFile(paths[1], changedB));
        QDir(JournalFolder()).removeRecursively();
        JournalWriter journal;
        QList<int> started, finished, between;
        QList<ApplyResult> results;
        BatchHooks hooks;
        hooks.starting = [&](int i) { started << i; };
        hooks.finished = [&](int i, const ApplyResult& r) {
            finished << i;
            results << r;
        };
        // Another program edits c after its group was read and recorded,
        // before it is written: only the write itself can see it.
        QByteArray editedC = fixture::ReadFile(paths[3]);
        editedC[editedC.size() - 1] = '\x55';
        hooks.betweenFiles = [&](int i) {
            between << i;
            if (i == 0)
                QVERIFY(fixture::EditInPlace(paths[3], editedC));
        };
        if (compact)
            ApplyBatch(compactPlans, profile, journal, hooks, 2);
        else
            ApplyBatch(plans, profile, journal, hooks);
        journal.finish();
        QCOMPARE(started, (QList<int>{0, 1, 2, 3, 4}));
        QCOMPARE(finished, (QList<int>{0, 1, 2, 3, 4}));
        QCOMPARE(between.value(0), 0);
        QVERIFY(results[0].ok);
        QVERIFY(!results[1].ok && !results[1].tagsWritten);
        QCOMPARE(results[1].messages,
                 QStringList{paths[1] + " changed since it was read; left alone"});
        QCOMPARE(fixture::ReadFile(paths[1]), changedB);
        QCOMPARE(results[2].messages,
                 QStringList{"Cannot read " + paths[2] + ": not MPEG audio (FLAC audio)"});
        QCOMPARE(fixture::ReadFile(paths[2]), QByteArray("fLaC") + QByteArray(4000, 'x'));
        QVERIFY(!results[3].ok && !results[3].tagsWritten);
        QCOMPARE(results[3].messages,
                 QStringList{paths[3] + " changed since it was read; left alone"});
        QCOMPARE(fixture::ReadFile(paths[3]), editedC);
        QCOMPARE(fixture::ReadFile(root.filePath("out/d.mp3")), QByteArray("taken"));
        QVERIFY(QFile::exists(root.filePath("out/a.mp3")));
        QVERIFY(!QFile::exists(root.filePath("out/c.mp3")));
        QCOMPARE(ReadJournalRuns().size(), 1);
        QCOMPARE(ReadJournalRuns().value(0).changedFiles(), 1);
    }

    // What stands at a planned path when its group is read decides: another
    // kind of file is no file to write, a link to the file planned (moved
    // away meanwhile) is refused as it is when planned, a path with
    // nothing there fails as the move of a missing file does. The file
    // itself is left as it was.
    void changedAfterPlanning_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("message"); // %1: the path planned, %2: where the file went
        // Else right before its write: after its group was read and recorded.
        QTest::addColumn<bool>("whenRead");
        QTest::newRow("a folder in its place") << "folder"
                                               << "Cannot read %1: not a regular file" << true;
        QTest::newRow("a FIFO in its place") << "fifo"
                                             << "Cannot read %1: not a regular file" << true;
        QTest::newRow("moved, a link to it in its place")
            << "link"
            << "Not applied to %1: it is a symbolic link to %2 (give that file instead)" << true;
        QTest::newRow("moved away") << "gone"
                                    << "Cannot move file as %1. Error 2" << true;
        QTest::newRow("moved before its write, a link to it in its place")
            << "link"
            << "Not applied to %1: it is a symbolic link to %2 (give that file instead)" << false;
        QTest::newRow("moved away before its write") << "gone"
                                                     << "Cannot move file as %1. Error 2" << false;
    }
    void changedAfterPlanning() {
        QFETCH(QString, change);
        QFETCH(QString, message);
        QFETCH(bool, whenRead);
        QTemporaryDir dir;
        const QString first = dir.filePath("first.mp3");
        const QString path = dir.filePath("a.mp3"), moved = dir.filePath("moved.mp3");
        QVERIFY(fixture::WriteFile(first, song("first")));
        QVERIFY(fixture::WriteFile(path, song("a")));
        // The tag fits and the file keeps its path: a write in place.
        const Profile profile = sortInto(dir.path());
        std::vector<FilePlan> plans{PlanFile(first, profile), PlanFile(path, profile)};
        QCOMPARE(plans[1].status(), QString("ready"));
        QCOMPARE(plans[1].target, path);
        const auto changeIt = [&] {
            QVERIFY(QFile::rename(path, moved));
            if (change == "folder")
                QVERIFY(QDir().mkdir(path));
            else if (change == "fifo")
                QCOMPARE(::mkfifo(path.toLocal8Bit().constData(), 0644), 0);
            else if (change == "link")
                QVERIFY(QFile::link(moved, path));
        };
        BatchHooks hooks;
        if (whenRead)
            changeIt();
        else // the files are written one at a time, this one after the first
            hooks.betweenFiles = [&](int i) {
                if (i == 0)
                    changeIt();
            };
        QDir(JournalFolder()).removeRecursively();
        const QList<ApplyResult> results = applyAll(plans, profile, hooks);
        QCOMPARE(results.size(), 2);
        QVERIFY(results[0].ok);
        QVERIFY(!results[1].ok && !results[1].tagsWritten);
        QCOMPARE(results[1].messages, QStringList{message.arg(path, moved)});
        QCOMPARE(fixture::ReadFile(moved), song("a"));
    }

    // A file that keeps its path is not looked at again when files with one
    // target are sought: a link put at its path after planning, to another
    // file of the batch, is refused when the batch reads the file again
    // instead, and that other file, alone at its target now, is written.
    void linkPutInPlaceBeforeSharedTargets() {
        QTemporaryDir dir;
        const QString a = dir.filePath("a.mp3"), b = dir.filePath("b.mp3");
        const QString aMoved = dir.filePath("a-moved.mp3");
        QVERIFY(fixture::WriteFile(a, song("a")));
        QVERIFY(fixture::WriteFile(b, song("b")));
        const Profile profile = sortInto(dir.path());
        const QStringList paths{a, b};
        std::vector<CompactPlan> plans(paths.cbegin(), paths.cend());
        PlanFiles(paths, profile,
                  [&](int i, FilePlan&& p) { plans[size_t(i)] = CompactPlan(std::move(p)); });
        QVERIFY(QFile::rename(a, aMoved));
        QVERIFY(QFile::link(b, a));
        MarkSharedTargets(plans);
        QDir(JournalFolder()).removeRecursively();
        JournalWriter journal;
        QList<ApplyResult> results;
        BatchHooks hooks;
        hooks.finished = [&](int, const ApplyResult& r) { results << r; };
        ApplyBatch(plans, profile, journal, hooks);
        journal.finish();
        QCOMPARE(results.size(), 2);
        QVERIFY(!results[0].ok && !results[0].tagsWritten);
        QCOMPARE(results[0].messages,
                 QStringList{"Not applied to " + a + ": it is a symbolic link to " + b +
                             " (give that file instead)"});
        QVERIFY(results[1].ok);
        QCOMPARE(fixture::ReadFile(aMoved), song("a"));
        QVERIFY(fixture::ReadFile(b).contains("New b"));
    }

    // No file of a group is touched before the journal records of the group
    // are on disk; when they cannot be put there, no file is touched at all.
    // Files that keep their path and whose tag fits are written together.
    void flushBeforeFirstWrite_data() {
        QTest::addColumn<bool>("flushFails");
        QTest::addColumn<QString>("into");
        QTest::newRow("flush works") << false << "out";
        QTest::newRow("flush fails") << true << "out";
        QTest::newRow("in place, flush works") << false << "in";
        QTest::newRow("in place, flush fails") << true << "in";
    }
    void flushBeforeFirstWrite() {
        QFETCH(bool, flushFails);
        QFETCH(QString, into);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath("in"));
        const Songs songs =
            writeSongs(root.filePath("in"), {{"a", 2000}, {"b", 2000}, {"c", 2000}});
        QVERIFY(songs.written);
        const QStringList& paths = songs.paths;
        const QList<QByteArray>& originals = songs.originals;
        const auto untouched = [&] {
            for (int i = 0; i < paths.size(); ++i) {
                if (fixture::ReadFile(paths[i]) != originals[i])
                    return false;
            }
            return true;
        };
        std::vector<FilePlan> plans;
        const Profile profile = sortInto(root.filePath(into));
        PlanFiles(paths, profile, [&](int, FilePlan&& p) { plans.push_back(std::move(p)); });
        QCOMPARE(plans[0].target == paths[0], into == "in");
        QList<bool> untouchedAtSync;
        WatchedJournalOps ops([&] {
            untouchedAtSync << untouched();
            return !flushFails;
        });
        setJournalFileOps(&ops);
        const QList<ApplyResult> results = applyAll(plans, profile);
        setJournalFileOps(nullptr);
        QVERIFY(!untouchedAtSync.isEmpty());
        QVERIFY(untouchedAtSync.first());
        QCOMPARE(results.size(), 3);
        for (const ApplyResult& r : results) {
            QCOMPARE(r.ok, !flushFails);
            if (flushFails)
                QVERIFY2(r.messages.value(0).startsWith("Cannot write the undo journal: "),
                         qPrintable(r.messages.join('\n')));
        }
        QCOMPARE(untouched(), flushFails);
    }

    // The journal folder cleared between two files (by hand, or by another
    // program): the files after are not touched, and say why. They had been
    // written with no undo to find their records.
    void journalRemovedBetweenFiles() {
        QTemporaryDir dir;
        const QDir root(dir.path());
        const Songs songs = writeSongs(root, {{"a", 2000}, {"b", 2000}, {"c", 2000}});
        QVERIFY(songs.written);
        const QStringList& paths = songs.paths;
        const QList<QByteArray>& originals = songs.originals;
        const Profile profile = sortInto(root.filePath("out"));
        std::vector<FilePlan> plans;
        PlanFiles(paths, profile, [&](int, FilePlan&& p) { plans.push_back(std::move(p)); });
        BatchHooks hooks;
        hooks.betweenFiles = [](int) { QDir(JournalFolder()).removeRecursively(); };
        const QList<ApplyResult> results = applyAll(plans, profile, hooks);
        QCOMPARE(results.size(), 3);
        QVERIFY(results[0].ok);
        for (int i = 1; i < 3; ++i) {
            QVERIFY(!results[i].ok && !results[i].tagsWritten);
            QVERIFY2(results[i].messages.value(0).startsWith("Cannot write the undo journal: "),
                     qPrintable(results[i].messages.join('\n')));
            QCOMPARE(fixture::ReadFile(paths[i]), originals[i]);
        }
    }

    // A stop asked for in the middle of a group: the files the group wrote
    // together stay written, are reported so and undone with the run; a
    // file still to be written in its turn is not begun.
    void stopInGroup() {
        QTemporaryDir dir;
        const QDir root(dir.path());
        const Songs songs = writeSongs(root, {{"a", 2000}, {"b", 0}, {"c", 2000}});
        QVERIFY(songs.written);
        const QStringList& paths = songs.paths;
        const QList<QByteArray>& originals = songs.originals;
        const Profile profile = sortInto(dir.path());
        std::vector<FilePlan> plans;
        PlanFiles(paths, profile, [&](int, FilePlan&& p) { plans.push_back(std::move(p)); });
        QDir(JournalFolder()).removeRecursively();
        BatchHooks hooks;
        // Asked for once the group has written the first file.
        hooks.stopRequested = [&] { return fixture::ReadFile(paths[0]) != originals[0]; };
        const QList<ApplyResult> results = applyAll(plans, profile, hooks);
        QCOMPARE(results.size(), 3);
        QVERIFY(results[0].ok && results[2].ok);
        QCOMPARE(results[1].messages, QStringList{"Not applied: the run was stopped"});
        QCOMPARE(fixture::ReadFile(paths[1]), originals[1]);
        QVERIFY(fixture::ReadFile(paths[2]) != originals[2]);

        const QList<JournalRun> runs = ReadJournalRuns();
        QCOMPARE(runs.size(), 1);
        const JournalRun& run = runs[0];
        QVERIFY(run.damage.isEmpty());
        QCOMPARE(run.changedFiles(), 2);
        // Every file has its outcome: a and c changed, b not.
        QCOMPARE(run.entries.size(), 3);
        for (const JournalEntry& e : run.entries)
            QVERIFY(e.done);
        QVERIFY(run.entries[0].changed && !run.entries[1].changed && run.entries[2].changed);
        QVERIFY(UndoRun(run).ok);
        for (int i = 0; i < paths.size(); ++i)
            QCOMPARE(fixture::ReadFile(paths[i]), originals[i]);
    }

    // One file spelt through a link to its folder is given twice, not two
    // files with one target, in plans kept whole or compact.
    void sameFileTwice_data() {
        QTest::addColumn<bool>("compact");
        QTest::newRow("plans") << false;
        QTest::newRow("compact plans") << true;
    }
    void sameFileTwice() {
        QFETCH(bool, compact);
        QTemporaryDir dir;
        const QDir root(dir.path());
        QVERIFY(root.mkpath("in"));
        QVERIFY(fixture::WriteFile(root.filePath("in/a.mp3"), song("a")));
        QVERIFY(QFile::link(root.filePath("in"), root.filePath("via")));
        const QStringList paths{root.filePath("in/a.mp3"), root.filePath("via/a.mp3")};
        std::vector<FilePlan> plans(2);
        std::vector<CompactPlan> compactPlans(paths.cbegin(), paths.cend());
        PlanFiles(paths, sortInto(root.filePath("out")), [&](int i, FilePlan&& p) {
            if (compact)
                compactPlans[size_t(i)] = CompactPlan(std::move(p));
            else
                plans[size_t(i)] = std::move(p);
        });
        if (compact) {
            MarkSharedTargets(compactPlans);
            for (const CompactPlan& p : compactPlans)
                plans[size_t(&p - compactPlans.data())] = p.plan();
        } else {
            MarkSharedTargets(plans);
        }
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(plans[size_t(i)].status(), QString("given more than once"));
            QCOMPARE(plans[size_t(i)].allMessages(),
                     QStringList{paths[i] + " is given more than once"});
        }
    }

    void sharedTargets() {
        QFETCH(QStringList, targets);
        QFETCH(QList<QList<int>>, shared);
        QList<QList<int>> named;
        for (const SharedTarget& s : SharedTargets(targets)) {
            named << s.named;
            // Every other file with the target counts, named or not: five
            // where three are named (the only such row).
            QCOMPARE(s.others, s.named.size() < SharedTarget::Named ? int(s.named.size()) : 5);
        }
        QCOMPARE(named, shared);
    }

    void barLine_data() {
        QTest::addColumn<int>("done");
        QTest::addColumn<int>("total");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("line");
        QTest::newRow("start") << 0 << 4 << "a.mp3" << 80 << "[....................] 1/4 a.mp3";
        QTest::newRow("half") << 2 << 4 << "c.mp3" << 80 << "[##########..........] 3/4 c.mp3";
        QTest::newRow("long name cut from the left")
            << 1 << 10 << "abcdefghijklmnopqrstuvwxyz.mp3" << 40
            << "[##..................] 2/10 ...wxyz.mp3";
        QTest::newRow("no half emoji") << 0 << 1 << QString::fromUtf8("abx\U0001F600yz.mp3") << 38
                                       << "[....................] 1/1 ...yz.mp3";
        QTest::newRow("narrow terminal")
            << 0 << 1 << "a.mp3" << 20 << "[....................] 1/1 ";
    }
    void barLine() {
        QFETCH(int, done);
        QFETCH(int, total);
        QFETCH(QString, name);
        QFETCH(int, width);
        QFETCH(QString, line);
        const QString got = ProgressBar::line(done, total, name, width);
        QCOMPARE(got, line);
    }
};

QTEST_GUILESS_MAIN(TestBatchParts)
#include "test_batchparts.moc"
