#include "undo.h"

#include "absolutepath.h"
#include "contentprint.h"
#include "copyfile.h"
#include "foldercreation.h"
#include "journalfileops.h"
#include "movefile.h"
#include "parallelfor.h"
#include "preflight.h"
#include "runindex.h"
#include "syncfiles.h"
#include "tags/changedbytes.h"
#include "tags/descriptorio.h"
#include "tags/pathbytes.h"
#include "tags/rewritefileops.h"
#include "tags/rewritetemp.h"
#include "tags/tagregion.h"
#include "tags/tagrewrite.h"
#include "tags/userattributes.h"

#include <QMultiHash>
#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <future>
#include <optional>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

// The same path, also when spelt through a link to its folder (Apply takes
// a file's own path reached so as its own).
bool samePath(const QString& a, const QString& b) {
    if (AbsolutePath(a) == AbsolutePath(b))
        return true;
    const QString entry = ResolvedEntryPath(a);
    return !entry.isEmpty() && entry == ResolvedEntryPath(b);
}

// The same path, or two spellings of one entry on a file system that
// ignores letter case ("Song.MP3" and "Song.mp3").
bool sameEntry(const QString& a, const QString& b) {
    if (samePath(a, b))
        return true;
    if (AbsolutePath(a).compare(AbsolutePath(b), Qt::CaseInsensitive) != 0)
        return false;
    struct stat sa, sb;
    return ::lstat(pathBytes(a).constData(), &sa) == 0 &&
           ::lstat(pathBytes(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

bool isFolder(const QString& path) {
    struct stat st;
    return ::stat(pathBytes(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct timespec timeOf(qint64 ns) {
    return {time_t(ns / 1000000000), long(ns % 1000000000)};
}

// The digest of the content that is e.head, the bytes [from, to) of the
// open file current and, when withTail, e.tail: the original when the
// bytes in between are the audio the run never wrote. Made as the entry's
// original digest was made (a print, or a hash of every byte). Empty when
// the file cannot be read there, with err set. read: the parts of current
// that its print read, if at hand; bytes they hold are not read again.
QByteArray rebuiltDigest(const JournalEntry& e, int current, qint64 from, qint64 to, bool withTail,
                         int& err, const PrintedFile* read = nullptr) {
    err = 0;
    const QByteArray tail = withTail ? e.tail : QByteArray();
    const qint64 head = e.head.size();
    const qint64 size = head + (to - from) + tail.size();
    // Offsets of the rebuilt content, served from the three pieces.
    const ContentReader reader = [&](qint64 at, qint64 count, char* out) {
        while (count > 0) {
            qint64 n = 0;
            if (at < head) {
                n = std::min(count, head - at);
                std::memcpy(out, e.head.constData() + at, size_t(n));
            } else if (at < head + (to - from)) {
                n = std::min(count, head + (to - from) - at);
                const qint64 offset = from + at - head;
                if (read && read->copyOut(offset, n, out)) {
                    at += n, out += n, count -= n;
                    continue;
                }
                const ssize_t got = ::pread(current, out, size_t(n), offset);
                if (got < 0 && errno == EINTR)
                    continue;
                if (got <= 0) {
                    err = got < 0 ? errno : EIO; // shorter than it was a moment ago
                    return false;
                }
                n = got;
            } else {
                n = std::min(count, size - at);
                std::memcpy(out, tail.constData() + (at - head - (to - from)), size_t(n));
            }
            at += n, out += n, count -= n;
        }
        return true;
    };
    if (!e.wholeFileDigests) {
        // The old head is the rebuilt content's ID3v2 region, covers and
        // all: hashed where it lies rather than copied out first.
        const PrintSpan span = PrintSpanOf(size, head);
        if (head == 0 || Id3v2RegionSize(e.head.first(std::min<qint64>(head, 10)), size) != head)
            return PrintOfReader(size, reader);
        QByteArray after(span.frontEnd - head, Qt::Uninitialized);
        QByteArray back(size - span.backStart, Qt::Uninitialized);
        if (!reader(head, after.size(), after.data()) ||
            !reader(span.backStart, back.size(), back.data()))
            return {};
        return PrintWithRegion(size, e.head, after, back, e.headDigests);
    }
    ContentHash hash(e.originalDigest.size());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 at = 0; at < size;) {
        const qint64 n = std::min<qint64>(buffer.size(), size - at);
        if (!reader(at, n, buffer.data()))
            return {};
        hash.addData(QByteArrayView(buffer.constData(), n));
        at += n;
    }
    return hash.result();
}

// The digest of the file at path made as the entry's digests were.
FileDigest digestOf(const JournalEntry& e, const QString& path) {
    return e.wholeFileDigests ? DigestFile(path, e.originalDigest.size())
                              : PrintFileAt(path).digest;
}

// The digest of a finished file open as fd, made as the entry's were.
QByteArray digestOfOpen(const JournalEntry& e, int fd) {
    if (!e.wholeFileDigests)
        return PrintOpenFile(fd).digest.digest;
    struct stat st;
    int err = 0;
    if (::fstat(fd, &st) != 0)
        return {};
    JournalEntry whole = e;
    whole.head.clear();
    whole.tail.clear();
    return rebuiltDigest(whole, fd, 0, st.st_size, false, err);
}

// Builds, in a temporary file beside target, the original bytes: the saved
// head, the last `middle` bytes of the current file and, when withTail, the
// saved ID3v1 block. Keeps it only when what it wrote has the original
// digest. Returns the temporary path, or an empty string with err set (0
// when the bytes did not match); held keeps the file locked as being
// written until the caller publishes it.
QString rebuild(const JournalEntry& e, int current, qint64 currentSize, qint64 middle,
                bool withTail, const QString& target, int& err, Descriptor& held) {
    err = 0;
    QString temporary;
    const int out = CreateTemporaryBeside(target, temporary, held);
    if (out < 0) {
        err = errno;
        return {};
    }
    err = WriteAllBytes(out, e.head.constData(), e.head.size());
    // The audio as Apply copied it: inside the kernel where it can.
    if (err == 0 &&
        !CopyRange(CurrentRewriteFileOps(), current, out, currentSize - middle, currentSize))
        err = errno ? errno : EIO;
    if (err == 0 && withTail)
        err = WriteAllBytes(out, e.tail.constData(), e.tail.size());
    // What was written is what gets published: its digest decides.
    const bool matches = err == 0 && digestOfOpen(e, out) == e.originalDigest;
    if (matches) {
        // What a rename of the file itself would have kept: its owner, mode,
        // access list and user extended attributes (where the target's file
        // system has any).
        err = copyFileAttributes(current, out);
        if (err == ENOTSUP)
            err = 0;
        const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(e.originalMtimeNs)};
        ::futimens(out, times);
        if (err == 0 && !currentJournalFileOps().syncFile(out))
            err = errno;
    }
    ::close(out);
    if (!matches || err != 0) {
        ::unlink(pathBytes(temporary).constData());
        ::close(held.fd);
        held.fd = -1;
        return {};
    }
    return temporary;
}

// A file whose old tag goes back into it where it stands, once the restore
// marks of its group are on disk. Holds the file open and locked.
struct InPlace {
    int fd = -1;
    int seq = 0;
    qsizetype result = 0; // its place in the group's results
    QByteArray head;      // the old tag's bytes from headAt on that the file lacks
    qint64 headAt = 0;
    QByteArray tail;     // empty unless the ID3v1 block goes back too
    FileIdentity before; // as it was found, under the lock
    qint64 originalMtimeNs = 0;
    QString path;         // where it stands
    QString originalPath; // where it goes back
    bool samePlace = false;
    QStringList madeFolders;
};

// The files of a run undone together: restore marks flushed once before any
// of them is written in place, the files flushed together, then their undo
// marks flushed once, with the next group's restore marks. A crash in
// between leaves files that are marked as being restored (the next undo
// lets their bytes decide) or restored and unmarked (the next undo finds
// them as they were). The flush of a group's files runs while the next
// group is read; the group is settled (marked and reported) before the next
// one writes any file in place, and at the end.
class UndoGroup {
public:
    static constexpr int MostFiles = 128;

    explicit UndoGroup(const JournalRun& run) : m_marks(run) {}

    // How many files a group takes. Its files stay open from their read
    // ahead until their flush is done, with those of the group flushed
    // before and of the group read ahead next, and a moved file keeps its
    // two folders open too: within the process's limit of descriptors
    // (1,024 by default, less where a user lowered it), less those the
    // process holds already (the window's, or ones a parent left open), with
    // some spare for the rest of the program.
    static int files() {
        struct rlimit limit {};
        if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
            return MostFiles;
        constexpr rlim_t Spare = 64;
        const rlim_t used = Spare + openDescriptors();
        const rlim_t free = limit.rlim_cur > used ? limit.rlim_cur - used : 0;
        return int(std::clamp<rlim_t>(free / 5, 1, MostFiles));
    }

    // The descriptors open now (0 where that is not known).
    static rlim_t openDescriptors() {
        DIR* dir = ::opendir("/proc/self/fd");
        if (!dir)
            return 0;
        rlim_t count = 0;
        while (const dirent* entry = ::readdir(dir))
            count += entry->d_name[0] != '.';
        ::closedir(dir);
        return count > 0 ? count - 1 : 0; // not the one that read them
    }

    int size() const { return m_files; }
    bool hasPending() const { return !m_inPlace.empty(); }
    bool full() const { return m_results.size() >= m_files; }
    // Takes the result of a file handled now; r.ok files are marked undone
    // at the end of the group.
    void add(int seq, const UndoFileResult& r, bool report) { m_results.append({seq, r, report}); }
    // Takes a file to restore in place at the end of the group; its result
    // is added now and settled then.
    void add(InPlace&& file, const UndoFileResult& r, bool report) {
        file.result = m_results.size();
        m_results.append({file.seq, r, report});
        m_inPlace.push_back(std::move(file));
    }
    // Restores the pending files and starts their flush; the group before
    // is settled first.
    void commit(UndoReport& report);
    // Waits for the flush of the group committed last, marks its restored
    // files undone and puts its results into report, in the order they
    // were added.
    void settle(UndoReport& report);
    JournalMarks& marks() { return m_marks; }

private:
    struct Result {
        int seq = 0;
        UndoFileResult file;
        bool report = true;
    };
    // A group written, its files and folders being flushed.
    struct Flushing {
        QList<Result> results;
        std::vector<InPlace> inPlace;
        QList<int> written; // indices into inPlace, in the order of the flush
        // For each written file, the folders that hold the names its move
        // changed: it is taken back only once they are on disk too.
        QList<QStringList> movedIn;
        QStringList folders;
        QList<int> folderFds;    // of folders, -1 where it could not be opened
        QList<int> folderErrors; // of folders: the open's errno, else 0
        std::future<QList<int>> errors;
    };
    bool write(InPlace& f, QString& message, QStringList& folders, bool& untouched);
    // settle in two steps, so that the undone marks can reach the disk with
    // the next group's restore marks, in one flush: waits for the flush of
    // the group committed last and marks its restored files undone (false
    // when there is none); then, once the marks were flushed (or not, with
    // the flush's errno), puts its results into report.
    bool markSettled();
    void reportSettled(UndoReport& report, bool marksFlushed, int err);

    JournalMarks m_marks;
    const int m_files = files();
    QList<Result> m_results;
    std::vector<InPlace> m_inPlace;
    std::optional<Flushing> m_flushing;
};

QString changedSinceTheRun(const QString& path) {
    return QStringLiteral("%1 changed since the run; left alone").arg(path);
}

QString linkInsteadOfFile(const QString& path) {
    return QStringLiteral("%1 is a symbolic link, not the run's file; left alone").arg(path);
}

// Why the run's file at path has no print: gone, or something else there.
QString noPrintAt(const QString& path) {
    struct stat st;
    const QByteArray name = pathBytes(path);
    if (::lstat(name.constData(), &st) != 0)
        return QStringLiteral("Not found: %1").arg(path);
    if (S_ISLNK(st.st_mode))
        return linkInsteadOfFile(path);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("%1 is not a regular file; left alone").arg(path);
    Descriptor file;
    file.fd = ::open(name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0)
        return QStringLiteral("Cannot read %1. Error %2").arg(path).arg(errno);
    return changedSinceTheRun(path); // readable now: it changed while it was read
}

QString cannotRestore(const QString& path, int err) {
    if (err == EEXIST)
        return QStringLiteral("Cannot restore %1: a file of that name exists").arg(path);
    return QStringLiteral("Cannot restore %1. Error %2").arg(path).arg(err);
}

// Writes the old tag (and the removed ID3v1 block) into a pending file, if
// it is still as it was found, and moves it back to its old path. untouched:
// its restore mark is to be taken back, because nothing was written (it was
// not as found, or its move back cannot happen) or because another program
// wrote it while it was copied to another file system. The file was checked
// when it was locked, a group or so ago: nothing may have touched it since.
// Its change time moves even where an editor puts the modification time
// back, and where one saves a new file over it (this one loses its name).
bool UndoGroup::write(InPlace& f, QString& message, QStringList& folders, bool& untouched) {
    struct stat now;
    untouched = ::fstat(f.fd, &now) != 0 || FileIdentity::of(now) != f.before;
    if (untouched) {
        message = changedSinceTheRun(f.path);
        return false;
    }
    const auto removeMadeFolders = [&f] {
        for (auto d = f.madeFolders.crbegin(); d != f.madeFolders.crend(); ++d)
            ::rmdir(pathBytes(*d).constData());
    };
    // A move back that the folders do not allow is found before the old tag
    // goes in: the file would hold it under the run's name.
    if (!samePath(f.path, f.originalPath)) {
        if (const int err = CheckMayMove(f.path, f.originalPath)) {
            untouched = true;
            removeMadeFolders();
            message = cannotRestore(f.originalPath, err);
            return false;
        }
    }
    // The ID3v1 block first: it grows the file, which a full disk refuses
    // (an overwrite in place needs no room, but on a copy-on-write file
    // system). Cut back off, it leaves the file as the run left it, for a
    // later undo to take back whole, rather than with the old tag and
    // without the block.
    if (!f.tail.isEmpty() && !WriteAllAt(f.fd, f.tail.constData(), f.tail.size(), f.before.size)) {
        const int err = errno;
        untouched = ::ftruncate(f.fd, f.before.size) == 0;
        if (untouched)
            removeMadeFolders();
        message = cannotRestore(f.originalPath, err);
        return false;
    }
    if (!WriteAllAt(f.fd, f.head.constData(), f.head.size(), f.headAt)) {
        message = cannotRestore(f.originalPath, errno);
        return false;
    }
    const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(f.originalMtimeNs)};
    ::futimens(f.fd, times);
    // The disk starts on the restored bytes now, while the rest of the group
    // is written; the group's flush then waits for less.
    ::sync_file_range(f.fd, 0, 0, SYNC_FILE_RANGE_WRITE);
    int err = 0;
    if (f.samePlace && !samePath(f.path, f.originalPath)) {
        // A change of letter case only.
        if (::rename(pathBytes(f.path).constData(), pathBytes(f.originalPath).constData()) != 0)
            err = errno;
        else
            folders << folderOfPath(f.originalPath);
    } else if (!f.samePlace) {
        err = MoveFileNoReplace(f.path, f.originalPath, &folders);
    }
    if (err == ChangedWhileCopied) {
        // On its way to another file system: the file stays, with its old
        // tag and the other program's edit, and its restore mark goes, as
        // for an edit before the write.
        untouched = true;
        removeMadeFolders();
        message = QStringLiteral("Cannot restore %1: another program wrote the file while it was "
                                 "copied there; it stays at %2")
                      .arg(f.originalPath, f.path);
        return false;
    }
    if (err != 0) {
        removeMadeFolders();
        message = cannotRestore(f.originalPath, err);
        return false;
    }
    return true;
}

void UndoGroup::commit(UndoReport& report) {
    // With files to restore in place, the undone marks of the group before
    // are flushed with their restore marks: the group before is on disk
    // already, and no file of this one is touched before the flush.
    bool settling = false;
    if (m_inPlace.empty())
        settle(report);
    else
        settling = markSettled();
    Flushing group;
    group.results = std::move(m_results);
    m_results.clear();
    if (!m_inPlace.empty()) {
        // A cut-off undo leaves the marks: the next one then knows that a
        // file matching neither print may be half restored by it.
        for (const InPlace& f : m_inPlace)
            m_marks.restoring(f.seq);
        const bool marked = m_marks.flush();
        if (settling)
            reportSettled(report, marked, errno);
        // Files that stay where they are change their own bytes only: they
        // are written together, in parallel; the others move, one at a
        // time, in their order.
        struct Written {
            bool ok = false;
            bool untouched = false;
            QString message;
        };
        std::vector<std::optional<Written>> stayed(m_inPlace.size());
        if (marked) {
            ParallelFor(int(m_inPlace.size()), [&](int i) {
                InPlace& f = m_inPlace[size_t(i)];
                if (!f.samePlace || !samePath(f.path, f.originalPath))
                    return;
                Written& w = stayed[size_t(i)].emplace();
                QStringList none;
                w.ok = write(f, w.message, none, w.untouched);
            });
        }
        QList<int> fds;
        QStringList folders;
        for (qsizetype i = 0; i < qsizetype(m_inPlace.size()); ++i) {
            InPlace& f = m_inPlace[size_t(i)];
            UndoFileResult& r = group.results[f.result].file;
            QString message = QStringLiteral("Cannot restore %1: the journal cannot be written")
                                  .arg(f.originalPath);
            bool untouched = false;
            const qsizetype foldersBefore = folders.size();
            bool ok = false;
            if (std::optional<Written>& w = stayed[size_t(i)]) {
                ok = w->ok;
                untouched = w->untouched;
                if (!ok)
                    message = w->message;
            } else {
                ok = marked && write(f, message, folders, untouched);
            }
            if (ok) {
                group.written << int(i);
                group.movedIn << folders.mid(foldersBefore);
                fds << f.fd;
            } else {
                r.ok = false;
                r.messages << message;
                // Its restore mark is taken back (see write): a later undo
                // must not take its bytes for a restore that was cut off.
                if (untouched)
                    m_marks.notRestoring(f.seq);
            }
        }
        // The restored bytes and the moved names on disk before any file
        // is marked as taken back.
        folders.removeDuplicates();
        QList<int> toSync = fds;
        for (const QString& folder : folders) {
            const int fd =
                ::open(pathBytes(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            group.folders << folder;
            group.folderFds << fd;
            group.folderErrors << (fd >= 0 ? 0 : errno);
            if (fd >= 0)
                toSync << fd;
        }
        group.inPlace = std::move(m_inPlace);
        m_inPlace.clear();
        JournalFileOps& ops = currentJournalFileOps();
        // On this thread when no other can be started: later, in settle.
        group.errors = std::async(std::launch::async | std::launch::deferred, [toSync, &ops] {
            return SyncByFileSystem(
                toSync, [&ops](int fd) { return ops.syncFileSystem(fd); },
                [&ops](int fd) { return ops.syncFile(fd); });
        });
    }
    if (!group.results.isEmpty())
        m_flushing = std::move(group);
}

void UndoGroup::settle(UndoReport& report) {
    if (!markSettled())
        return;
    const bool flushed = m_marks.flush();
    reportSettled(report, flushed, errno);
}

bool UndoGroup::markSettled() {
    if (!m_flushing)
        return false;
    Flushing& group = *m_flushing;
    if (group.errors.valid()) {
        const QList<int> errors = group.errors.get();
        // The folders' outcomes follow the files' in errors.
        qsizetype synced = group.written.size();
        for (qsizetype j = 0; j < group.folders.size(); ++j) {
            if (group.folderFds[j] >= 0)
                group.folderErrors[j] = errors[synced++];
        }
        for (qsizetype k = 0; k < group.written.size(); ++k) {
            int err = errors[k];
            for (qsizetype j = 0; err == 0 && j < group.folders.size(); ++j) {
                if (group.folderErrors[j] != 0 && group.movedIn[k].contains(group.folders[j]))
                    err = group.folderErrors[j];
            }
            if (err == 0)
                continue;
            const InPlace& f = group.inPlace[size_t(group.written[k])];
            UndoFileResult& r = group.results[f.result].file;
            r.ok = false;
            r.messages << cannotRestore(f.originalPath, err);
        }
    }
    for (const int fd : group.folderFds) {
        if (fd >= 0)
            ::close(fd);
    }
    for (InPlace& f : group.inPlace)
        ::close(f.fd);
    for (const Result& r : group.results) {
        if (r.file.ok)
            m_marks.undone(r.seq);
    }
    return true;
}

void UndoGroup::reportSettled(UndoReport& report, bool marksFlushed, int err) {
    Flushing& group = *m_flushing;
    if (!marksFlushed) {
        // Taken back all the same; the next undo finds them so and records
        // it (history counts them as not taken back until then).
        const QString reason = qt_error_string(err);
        report.ok = false;
        for (Result& r : group.results) {
            if (r.file.ok)
                r.file.messages << QStringLiteral("%1 is taken back, but the undo journal cannot "
                                                  "record it (%2): undo again to record it")
                                       .arg(r.file.restoredPath, reason);
        }
    }
    for (const Result& r : group.results) {
        if (!r.report)
            continue;
        report.ok = report.ok && r.file.ok;
        report.files.append(r.file);
    }
    m_flushing.reset();
}

// The file open as fd and locked, found as before: takes it as f when the
// old tag goes back into it in place (1), else 0, or -1 with err set.
// read: what its print read under the lock, if it was taken so.
int takeInPlace(const JournalEntry& e, Descriptor& file, const FileIdentity& before, InPlace& f,
                int& err, const PrintedFile* read = nullptr) {
    QByteArray start(10, '\0');
    if (read && read->front.size() >= 10)
        start = read->front.first(10);
    else if (::pread(file.fd, start.data(), 10, 0) != 10)
        return 0;
    if (Id3v2RegionSize(start, before.size) != e.head.size())
        return 0;
    for (const bool withTail : {true, false}) {
        if (withTail && e.tail.isEmpty())
            continue;
        const qint64 tail = withTail ? e.tail.size() : 0;
        if (before.size + tail != e.originalSize)
            continue;
        const QByteArray rebuilt =
            rebuiltDigest(e, file.fd, e.head.size(), before.size, withTail, err, read);
        if (err != 0)
            return -1;
        if (rebuilt != e.originalDigest)
            continue;
        f.fd = file.fd;
        file.fd = -1;
        f.seq = e.seq;
        // Only what differs from the file's bytes goes back: where a title
        // changed beside a cover of 100 KB, the cover stays as it lies,
        // unwritten and not sent to the disk again. The bytes are those the
        // print read under the lock, or read now under it; the write checks
        // that the file did not change since.
        const qint64 head = e.head.size();
        QByteArray readNow;
        QByteArrayView now;
        if (read && read->front.size() >= head) {
            now = QByteArrayView(read->front).first(head);
        } else {
            readNow = ReadAt(f.fd, 0, head);
            now = readNow;
        }
        f.head = e.head;
        if (now.size() == head) {
            const ChangedBytes changed = ChangedBytesOf(e.head, now);
            f.headAt = changed.first;
            f.head = e.head.sliced(changed.first, changed.end - changed.first);
        }
        f.tail = withTail ? e.tail : QByteArray();
        f.before = before;
        f.originalMtimeNs = e.originalMtimeNs;
        return 1;
    }
    return 0;
}

// Where Apply wrote the tag into the space of the old one, the audio never
// moved: the old tag (and the removed ID3v1 block) go back into the file
// itself, so that it keeps its inode, its hard links and everything else
// about it. Returns 1 with f filled (the write waits for the group), 0 when
// the file is not such a file (the caller rebuilds it), -1 on a failure
// with err set, -2 when the file is no longer the one found (checked).
// Like Apply, undo writes only a file that it may write and that no other
// writer holds: one that it may not, or that stays locked, is left alone
// rather than replaced by a copy (which would part it from its hard links).
int prepareInPlace(const JournalEntry& e, const QString& path, int& err, InPlace& f,
                   const FileIdentity& checked) {
    err = 0;
    Descriptor file;
    file.fd = ::open(pathBytes(path).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0 || !LockForWriting(file.fd)) {
        err = errno;
        // Open but not lockable, or not to be written: left alone. Gone, or
        // no regular file: the caller tells.
        if (file.fd >= 0 || err == EACCES || err == EPERM || err == EROFS || err == ETXTBSY)
            return -1;
        err = 0;
        return 0;
    }
    if (e.head.isEmpty())
        return 0; // there was no tag: Apply had to move the audio
    struct stat before;
    if (::fstat(file.fd, &before) != 0)
        return 0;
    if (checked.isKnown() && FileIdentity::of(before) != checked)
        return -2; // written since its print was taken, now under the lock
    return takeInPlace(e, file, FileIdentity::of(before), f, err);
}

// A print that is the one given: the file as a run left it, or as it was.
bool hasPrint(const FileDigest& d, qint64 size, const QByteArray& digest) {
    return d.ok && d.size == size && d.digest == digest;
}

// Fills in the parts of the old tag that the journal did not keep from the
// file at path, which must hold them.
bool headFromFile(JournalEntry& e, const QString& path) {
    Descriptor file;
    file.fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return file.fd >= 0 && RestoreSavedHead(e, file.fd);
}

// What restore did with a file.
enum class Restored { No, Done, Pending };

// Restores the file found at path to the entry's original path and bytes:
// at once where a rebuilt copy takes its place, at the end of the group
// where the old tag goes back into the file (Pending, f filled). Returns No
// with a message when it is left alone. checked: the file as it was when
// its print was taken; one that changed since is left alone.
Restored restore(const JournalEntry& saved, const QString& path, QString& message, InPlace& f,
                 const FileIdentity& checked) {
    // As Apply refuses a file named by a link: undo would write the old tag
    // through it into a file outside the run and move the link itself.
    struct stat st;
    if (::lstat(pathBytes(path).constData(), &st) == 0 && S_ISLNK(st.st_mode)) {
        message = linkInsteadOfFile(path);
        return Restored::No;
    }
    if (saved.headSize < 0) {
        message = QStringLiteral("Cannot read the saved tag of %1 from the journal")
                      .arg(saved.originalPath);
        return Restored::No;
    }
    JournalEntry e = saved;
    if (!headFromFile(e, path)) {
        message = QStringLiteral("%1 does not match the journal; left alone").arg(path);
        return Restored::No;
    }
    const bool samePlace = sameEntry(path, e.originalPath);
    if (!samePlace && ::lstat(pathBytes(e.originalPath).constData(), &st) == 0) {
        message = cannotRestore(e.originalPath, EEXIST);
        return Restored::No;
    }
    // The user may have removed the folder the run emptied. One that stands
    // needs nothing made, however long its path (folder creation refuses a
    // path of over MaxFolderPathLength, where the file was all the same).
    QStringList madeFolders;
    const QString folder = folderOfPath(e.originalPath);
    if (!isFolder(folder) && !CreateFolderLevels(folder, &madeFolders)) {
        message =
            QStringLiteral("Cannot restore %1: its folder cannot be made").arg(e.originalPath);
        return Restored::No;
    }
    const auto fail = [&](const QString& text) {
        for (auto d = madeFolders.crbegin(); d != madeFolders.crend(); ++d)
            ::rmdir(pathBytes(*d).constData());
        message = text;
        return Restored::No;
    };

    const QString changed = changedSinceTheRun(path);
    int err = 0;
    const int inPlace = prepareInPlace(e, path, err, f, checked);
    if (inPlace == -2)
        return fail(changed);
    if (inPlace < 0)
        return fail(cannotRestore(e.originalPath, err));
    if (inPlace > 0) {
        f.path = path;
        f.originalPath = e.originalPath;
        f.samePlace = samePlace;
        f.madeFolders = madeFolders;
        return Restored::Pending;
    }

    // The copy back is of no use when the run's file cannot then leave its
    // folder: found before anything is written, or there would be two.
    if (!samePlace) {
        if (const int denied = CheckMayMove(path, e.originalPath))
            return fail(cannotRestore(e.originalPath, denied));
    }
    Descriptor current;
    current.fd =
        ::open(pathBytes(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (current.fd < 0 || ::fstat(current.fd, &st) != 0)
        return fail(QStringLiteral("Cannot read %1. Error %2").arg(path).arg(errno));
    if (checked.isKnown() && FileIdentity::of(st) != checked)
        return fail(changed);
    // The audio in between is what no write changes: its length follows from
    // the original size, with or without the ID3v1 block that was removed.
    QString temporary;
    Descriptor held; // the temporary file, locked until published
    for (const bool withTail : {true, false}) {
        if (withTail && e.tail.isEmpty())
            continue;
        const qint64 middle = e.originalSize - e.head.size() - (withTail ? e.tail.size() : 0);
        if (middle < 0 || middle > st.st_size)
            continue;
        // Only the variant whose bytes rebuild the original is written out.
        if (rebuiltDigest(e, current.fd, st.st_size - middle, st.st_size, withTail, err) !=
            e.originalDigest) {
            if (err != 0)
                break;
            continue;
        }
        temporary = rebuild(e, current.fd, st.st_size, middle, withTail, e.originalPath, err, held);
        if (!temporary.isEmpty() || err != 0)
            break;
    }
    if (temporary.isEmpty()) {
        return fail(err != 0
                        ? cannotRestore(e.originalPath, err)
                        : QStringLiteral("%1 does not match the journal; left alone").arg(path));
    }
    // Another program that wrote the file while it was copied, or moved it
    // away (either moves its change time): the copy would drop its edit.
    struct stat now;
    if (::fstat(current.fd, &now) != 0 || FileIdentity::of(now) != FileIdentity::of(st)) {
        ::unlink(pathBytes(temporary).constData());
        return fail(changed);
    }
    if (samePlace) {
        // Over the file itself, under its old spelling.
        if (::rename(pathBytes(temporary).constData(), pathBytes(e.originalPath).constData()) != 0)
            err = errno;
    } else {
        err = PublishNoReplace(temporary, e.originalPath);
        if (err == 0 && ::unlink(pathBytes(path).constData()) != 0) {
            // The run's file stays: the copy just put back goes again.
            err = errno;
            ::unlink(pathBytes(e.originalPath).constData());
        }
    }
    if (err != 0) {
        ::unlink(pathBytes(temporary).constData());
        return fail(cannotRestore(e.originalPath, err));
    }
    SyncFolderOf(e.originalPath);
    if (!samePlace)
        SyncFolderOf(path);
    return Restored::Done;
}

// A file that kept its path, found as the run left it, made ready to take
// its old tag back in place, as restore would (no folder to make, no name
// to free): on a worker thread, ahead of its turn. It is opened once, for
// writing, and its print taken under the lock (found); the old tag's parts
// kept by reference come from the bytes that print read. Empty when its
// turn decides: a file that cannot be opened so or is locked (not waited
// for here), one that changed, or one whose old tag does not go back in
// place.
std::optional<InPlace> inPlaceAhead(const JournalEntry& saved, std::optional<FileDigest>& found) {
    const QString& path = saved.finalPath;
    Descriptor file;
    if (!saved.wholeFileDigests)
        file.fd = ::open(pathBytes(path).constData(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0 || ::flock(file.fd, LOCK_EX | LOCK_NB) != 0) {
        found = digestOf(saved, path);
        return std::nullopt;
    }
    const PrintedFile printed = PrintOpenFile(file.fd);
    found = printed.digest;
    JournalEntry e = saved;
    if (!hasPrint(*found, saved.finalSize, saved.finalDigest) || saved.headSize < 0 ||
        !RestoreSavedHead(e, file.fd, printed.front) || e.head.isEmpty())
        return std::nullopt;
    InPlace f;
    int err = 0;
    // Identity and bytes as the print found them: a write that came
    // between the two changed the identity, which the write checks again.
    if (takeInPlace(e, file, found->identity, f, err, &printed) != 1)
        return std::nullopt;
    f.path = path;
    f.originalPath = saved.originalPath;
    f.samePlace = true;
    return f;
}

bool exists(const QString& path) {
    struct stat st;
    return ::lstat(pathBytes(path).constData(), &st) == 0;
}

// Opens the regular file at path, not through a symbolic link.
bool openPlain(const QString& path, Descriptor& file, struct stat& st) {
    file.fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    return file.fd >= 0 && ::fstat(file.fd, &st) == 0 && S_ISREG(st.st_mode);
}

// Whether count bytes of a from offset at are those of b from offset bt.
bool sameBytes(int a, qint64 at, int b, qint64 bt, qint64 count) {
    QByteArray x(1 << 20, Qt::Uninitialized), y(x.size(), Qt::Uninitialized);
    for (qint64 done = 0; done < count;) {
        const qint64 n = std::min<qint64>(x.size(), count - done);
        if (!ReadAllAt(a, x.data(), n, at + done) || !ReadAllAt(b, y.data(), n, bt + done) ||
            std::memcmp(x.constData(), y.constData(), size_t(n)) != 0)
            return false;
        done += n;
    }
    return true;
}

// Where the audio of an open file starts: after its ID3v2 region.
qint64 audioStart(int fd, qint64 size) {
    QByteArray start(10, '\0');
    return ReadAllAt(fd, start.data(), 10, 0) ? Id3v2RegionSize(start, size) : 0;
}

// Whether the file at copy is the second one that a move to another file
// system leaves when it is cut off after the copy stood at its new path
// and before the file left its old one, kept (copyfile.h): two regular
// files under two names, none a link, the copy with kept's bytes and
// modification time. With retagged the copy is the run's file, which an
// undo rebuilt at kept: only its audio is kept's, less the ID3v1 block that
// the run removed (tail); the caller knows its tag by its print. Every byte
// is compared, not the print only: what goes is gone for good.
bool isSecondCopy(const QString& copy, const QString& kept, bool retagged = false,
                  const QByteArray& tail = {}) {
    Descriptor c, k;
    struct stat cs, ks;
    if (!openPlain(copy, c, cs) || !openPlain(kept, k, ks) || sameEntry(copy, kept))
        return false;
    if (!retagged) {
        return cs.st_size == ks.st_size && cs.st_mtim.tv_sec == ks.st_mtim.tv_sec &&
               cs.st_mtim.tv_nsec == ks.st_mtim.tv_nsec && sameBytes(c.fd, 0, k.fd, 0, cs.st_size);
    }
    const qint64 from = audioStart(c.fd, cs.st_size), keptFrom = audioStart(k.fd, ks.st_size);
    const qint64 audio = cs.st_size - from, removed = ks.st_size - keptFrom - audio;
    if (removed != 0 &&
        (removed != tail.size() || ReadAt(k.fd, ks.st_size - removed, removed) != tail))
        return false;
    return sameBytes(c.fd, from, k.fd, keptFrom, audio);
}

QString notASecondCopy(const QString& copy, const QString& kept) {
    return QStringLiteral("%1 is not known as a copy of %2; left alone").arg(copy, kept);
}

// Removes a second copy; false with err set when it stays.
bool removeSecondCopy(const QString& path, int& err) {
    if (::unlink(pathBytes(path).constData()) != 0) {
        err = errno;
        return false;
    }
    SyncFolderOf(path);
    return true;
}

QString cannotRemove(const QString& path, int err) {
    return QStringLiteral("Cannot remove %1. Error %2").arg(path).arg(err);
}

// Takes back one file: r says how; when it is to be restored in place, f
// holds it and the result is Pending. retry is set when its old path is
// taken while files of the group wait to move away (another file of the run
// may stand there until then).
// found: the print of its final path, taken a moment ago; else it is taken now.
// endedAt: the final paths of the run's changed files, with their final prints.
Restored undoEntry(const JournalEntry& e, const UndoGroup& group,
                   const QMultiHash<QString, QByteArray>& endedAt, UndoFileResult& r, InPlace& f,
                   bool& retry, const FileDigest* found = nullptr) {
    r = UndoFileResult();
    r.restoredPath = e.originalPath;
    retry = false;
    QString message;
    const auto attempt = [&](const QString& place, const FileIdentity& checked) {
        const Restored done = restore(e, place, message, f, checked);
        retry = done == Restored::No && group.hasPending() &&
                message == cannotRestore(e.originalPath, EEXIST);
        r.ok = done != Restored::No;
        return done;
    };
    if (e.done) {
        r.path = e.finalPath;
        const FileDigest now = found ? *found : digestOf(e, e.finalPath);
        // An undo cut off while it moved the file back to another file
        // system, once the file stood at its old path with its old print,
        // leaves the copy it moved from here too: the file is taken back
        // (restoring it from here again can only fail, the old path being
        // taken), and the copy goes. Unless another file of the run stands
        // at the old path with that print: it moves away in its turn.
        if (now.ok && !sameEntry(e.finalPath, e.originalPath)) {
            const FileDigest old = digestOf(e, e.originalPath);
            if (hasPrint(old, e.originalSize, e.originalDigest) &&
                !endedAt.contains(AbsolutePath(e.originalPath), old.digest)) {
                r.path = r.restoredPath = e.originalPath;
                // It left as the run's file (an undo that rebuilt the original
                // at the old path) or with its old tag back in it (marked as
                // being restored).
                const bool retagged = hasPrint(now, e.finalSize, e.finalDigest);
                int err = 0;
                if ((!retagged && !e.restoring) ||
                    !isSecondCopy(e.finalPath, e.originalPath, retagged, e.tail))
                    r.messages << notASecondCopy(e.finalPath, e.originalPath);
                else if (!removeSecondCopy(e.finalPath, err))
                    r.messages << cannotRemove(e.finalPath, err);
                r.ok = err == 0; // else the run stays undoable for the copy
                return Restored::Done;
            }
        }
        if (hasPrint(now, e.finalSize, e.finalDigest)) {
            const Restored done = attempt(e.finalPath, now.identity);
            if (done == Restored::No)
                r.messages << message;
            return done;
        }
        // An undo cut off before it marked the files it had restored leaves
        // them at their old path with their old print: taken back already.
        const FileDigest old = digestOf(e, e.originalPath);
        if (hasPrint(old, e.originalSize, e.originalDigest)) {
            r.path = r.restoredPath = e.originalPath;
            r.ok = true;
            return Restored::Done;
        }
        // A file that an undo was restoring when it was cut off may hold
        // part of the old tag: the bytes decide, as for a cut-off apply.
        if (!e.restoring) {
            r.messages << (now.ok ? changedSinceTheRun(e.finalPath) : noPrintAt(e.finalPath));
            return Restored::No;
        }
    }
    // Cut off while being handled: the file is at its target or still at its
    // old path, with or without its new tags. Only bytes that rebuild the
    // original exactly are taken as ours.
    const QString reached = e.done ? e.finalPath : e.targetPath;
    QStringList places{reached};
    if (!samePath(reached, e.originalPath))
        places << e.originalPath;
    r.path = e.originalPath;
    // A move to another file system cut off after the copy stood at the
    // target and before the file left its old path leaves it in both places:
    // the copy goes, and the file at the old path is taken back below. The
    // copy is the run's when the file at the old path was written by the run
    // (no write puts its modification time back) and the copy holds its
    // bytes and time.
    if (!e.done && !sameEntry(reached, e.originalPath) && exists(reached) &&
        exists(e.originalPath)) {
        const FileDigest source = digestOf(e, e.originalPath);
        int err = 0;
        if (!source.ok || source.mtimeNs == e.originalMtimeNs ||
            !isSecondCopy(reached, e.originalPath)) {
            r.messages << notASecondCopy(reached, e.originalPath);
        } else if (!removeSecondCopy(reached, err)) {
            r.messages << cannotRemove(reached, err);
            return Restored::No;
        }
    }
    for (const QString& place : places) {
        if (!exists(place))
            continue;
        r.path = place;
        const FileDigest now = digestOf(e, place);
        if (samePath(place, e.originalPath) && hasPrint(now, e.originalSize, e.originalDigest)) {
            r.ok = r.untouched = true;
            return Restored::Done;
        }
        const Restored done = attempt(place, now.identity);
        if (done != Restored::No || retry)
            return done;
    }
    r.messages << (message.isEmpty() ? QStringLiteral("Not found: %1").arg(e.originalPath)
                                     : message);
    return Restored::No;
}

} // namespace

UndoReport UndoRun(const JournalRun& given) {
    UndoReport report;
    report.runId = given.id;
    // One undo of a run at a time, held by a lock of its byte file (apply
    // writes the byte file without one; the journal's own lock is the
    // writer's while the run is applied).
    Descriptor held;
    held.fd = ::open(pathBytes(given.bytesFile).constData(), O_RDONLY | O_CLOEXEC);
    if (held.fd >= 0 && ::flock(held.fd, LOCK_EX | LOCK_NB) != 0) {
        report.ok = false;
        report.beingUndone = true;
        return report;
    }
    // Journals only grow: one as long as when it was read holds no record
    // of an undo since.
    struct stat now {};
    const bool grown = held.fd >= 0 && (::stat(pathBytes(given.file).constData(), &now) != 0 ||
                                        now.st_size != given.journalBytes);
    const JournalRun run = grown ? ReadJournalRun(given.file) : given;
    if (!run.damage.isEmpty()) {
        report.ok = false;
        report.damage = run.damage;
        return report;
    }
    // Its files are still being written, temporary ones among them.
    if (RunBeingWritten(run.file)) {
        report.ok = false;
        report.stillApplying = true;
        return report;
    }
    // Temporary files of an undo (or apply) of this run that was killed.
    QSet<QString> swept;
    for (const JournalEntry& e : run.entries) {
        for (const QString& path : {e.originalPath, e.targetPath, e.finalPath}) {
            const QString folder = folderOfPath(path);
            if (!folder.isEmpty() && !swept.contains(folder)) {
                swept.insert(folder);
                RemoveAbandonedRewriteTemps(folder);
            }
        }
    }
    UndoGroup group(run);
    // Made durable before the first file goes back, so that history keeps
    // an undo cut off before its first marks as unfinished. Without it the
    // next undo still finds the files taken back by their prints.
    group.marks().undoBegins();
    group.marks().flush();
    QStringList folders;
    // Read ahead in parallel, a group's worth at a time: each file's saved
    // tag from the byte file and, for a file that kept its path, its print
    // (no other file of the run goes back there; a moved file is checked at
    // its turn, after the files before it went back).
    struct Ahead {
        JournalEntry entry;
        std::optional<FileDigest> found;
        std::optional<InPlace> inPlace; // open and locked: its result is Pending
    };
    const auto undoable = [](const JournalEntry& e) {
        return !e.undone && !(e.done && !e.changed);
    };
    QMultiHash<QString, QByteArray> endedAt;
    for (const JournalEntry& e : run.entries) {
        if (e.done && e.changed)
            endedAt.insert(AbsolutePath(e.finalPath), e.finalDigest);
    }
    std::vector<Ahead> ahead;
    qsizetype aheadFrom = 0;
    const qsizetype count = run.entries.size();
    const auto readAhead = [&](qsizetype from) {
        if (from < aheadFrom + qsizetype(ahead.size()) || from >= count)
            return;
        aheadFrom = from;
        ahead.assign(size_t(std::min<qsizetype>(group.size(), count - from)), Ahead());
        Descriptor bytesFile;
        bytesFile.fd = ::open(pathBytes(run.bytesFile).constData(), O_RDONLY | O_CLOEXEC);
        ParallelFor(int(ahead.size()), [&](int k) {
            const JournalEntry& a = run.entries[count - 1 - (from + k)];
            if (!undoable(a))
                return;
            Ahead& x = ahead[size_t(k)];
            x.entry = a;
            if (!LoadSavedHead(run, x.entry, bytesFile.fd))
                x.entry.headSize = -1; // restore refuses; an untouched file is still found
            if (a.done && samePath(a.finalPath, a.originalPath))
                x.inPlace = inPlaceAhead(x.entry, x.found);
        });
    };
    for (qsizetype n = 0; n < count; ++n) {
        const JournalEntry* e = &run.entries[count - 1 - n];
        folders += e->plannedFolders;
        if (!undoable(*e)) {
            if (e->undone) {
                UndoFileResult& before = report.takenBackBefore.emplace_back();
                before.path = e->done ? e->finalPath : e->targetPath;
                before.restoredPath = e->originalPath;
                before.ok = true;
            }
            continue;
        }
        readAhead(n);
        Ahead& x = ahead[size_t(n - aheadFrom)];
        const JournalEntry entry = std::move(x.entry);
        UndoFileResult r;
        InPlace f;
        bool retry = false;
        Restored done = Restored::Pending;
        if (x.inPlace) {
            // As undoEntry finds it: restored in place at the end of the group.
            r.path = entry.finalPath;
            r.restoredPath = entry.originalPath;
            r.ok = true;
            f = std::move(*x.inPlace);
        } else {
            done = undoEntry(entry, group, endedAt, r, f, retry, x.found ? &*x.found : nullptr);
        }
        if (retry) {
            // Its old path may be freed by the files waiting in the group.
            group.commit(report);
            done = undoEntry(entry, group, endedAt, r, f, retry);
        }
        // A file of a group recorded before a kill that the run never reached:
        // nothing to report.
        const bool reported = !(r.untouched && !run.mayHaveTouched(*e));
        if (done == Restored::Pending)
            group.add(std::move(f), r, reported);
        else
            group.add(e->seq, r, reported);
        if (group.full()) {
            // The next files' prints are taken before this group is written:
            // each is checked again under its lock, as always.
            readAhead(n + 1);
            group.commit(report);
        }
    }
    group.commit(report);
    group.settle(report);
    // Deepest first; a folder that still holds anything stays.
    folders.removeDuplicates();
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders) {
        if (::rmdir(pathBytes(folder).constData()) == 0)
            report.foldersRemoved.append(folder);
    }
    group.marks().undoAttempt();
    group.marks().flush();
    // Known without reading the journal again (a tenth of a second for
    // 10,000 files), unless another program wrote it meanwhile.
    if (const JournalRun* now = group.marks().runNow())
        IndexJournalRun(run.file, SummaryOf(*now), group.marks().journalBytes());
    else
        IndexJournalRun(run.file);
    return report;
}
