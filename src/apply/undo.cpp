#include "undo.h"

#include "absolutepath.h"
#include "contentprint.h"
#include "copyfile.h"
#include "foldercreation.h"
#include "movefile.h"
#include "runindex.h"
#include "tags/pathbytes.h"
#include "tags/rewritetemp.h"
#include "tags/tagregion.h"
#include "tags/userattributes.h"

#include <QSet>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool samePath(const QString& a, const QString& b) {
    return AbsolutePath(a) == AbsolutePath(b);
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

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

// Writes all of bytes at offset; false with errno set.
bool writeAt(int fd, const QByteArray& bytes, qint64 offset) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::pwrite(fd, bytes.constData() + done, size_t(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

struct timespec timeOf(qint64 ns) {
    return {time_t(ns / 1000000000), long(ns % 1000000000)};
}

// The digest of the content that is e.head, the bytes [from, to) of the
// open file current and, when withTail, e.tail: the original when the
// bytes in between are the audio the run never wrote. Made as the entry's
// original digest was made (a print, or a hash of every byte). Empty when
// the file cannot be read there, with err set.
QByteArray rebuiltDigest(const JournalEntry& e, int current, qint64 from, qint64 to, bool withTail,
                         int& err) {
    err = 0;
    const QByteArray tail = withTail ? e.tail : QByteArray();
    const qint64 head = e.head.size();
    const qint64 size = head + (to - from) + tail.size();
    // Offsets of the rebuilt content, served from the three pieces.
    const ContentReader read = [&](qint64 at, qint64 count, char* out) {
        while (count > 0) {
            qint64 n = 0;
            if (at < head) {
                n = std::min(count, head - at);
                std::memcpy(out, e.head.constData() + at, size_t(n));
            } else if (at < head + (to - from)) {
                n = std::min(count, head + (to - from) - at);
                const ssize_t got = ::pread(current, out, size_t(n), from + at - head);
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
    if (!e.wholeFileDigests)
        return PrintOfReader(size, read);
    ContentHash hash(e.originalDigest.size());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 at = 0; at < size;) {
        const qint64 n = std::min<qint64>(buffer.size(), size - at);
        if (!read(at, n, buffer.data()))
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
// when the bytes did not match).
QString rebuild(const JournalEntry& e, int current, qint64 currentSize, qint64 middle,
                bool withTail, const QString& target, int& err) {
    err = 0;
    QString temporary;
    const int out = CreateTemporaryBeside(target, temporary);
    if (out < 0) {
        err = errno;
        return {};
    }
    err = WriteAllBytes(out, e.head.constData(), e.head.size());
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 at = currentSize - middle; err == 0 && at < currentSize;) {
        const ssize_t got = ::pread(current, buffer.data(),
                                    size_t(std::min<qint64>(buffer.size(), currentSize - at)), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            err = got < 0 ? errno : EIO; // shorter than it was a moment ago
        else
            err = WriteAllBytes(out, buffer.constData(), got);
        at += got;
    }
    if (err == 0 && withTail)
        err = WriteAllBytes(out, e.tail.constData(), e.tail.size());
    // What was written is what gets published: its digest decides.
    const bool matches = err == 0 && digestOfOpen(e, out) == e.originalDigest;
    if (matches) {
        // What a rename of the file itself would have kept: its mode and its
        // user extended attributes (where the target's file system has any).
        struct stat st;
        if (::fstat(current, &st) == 0)
            ::fchmod(out, st.st_mode & 07777);
        err = copyUserAttributes(current, out);
        if (err == ENOTSUP)
            err = 0;
        const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(e.originalMtimeNs)};
        ::futimens(out, times);
        if (err == 0 && ::fsync(out) != 0)
            err = errno;
    }
    ::close(out);
    if (!matches || err != 0) {
        ::unlink(pathBytes(temporary).constData());
        return {};
    }
    return temporary;
}

// Where Apply wrote the tag into the space of the old one, the audio never
// moved: the old tag (and the removed ID3v1 block) go back into the file
// itself, so that it keeps its inode, its hard links and everything else
// about it. Returns 1 when done, 0 when the file is not such a file (the
// caller rebuilds it), -1 on a failure with err set.
int restoreInPlace(const JournalRun& run, const JournalEntry& e, const QString& path, int& err) {
    err = 0;
    if (e.head.isEmpty())
        return 0; // there was no tag: Apply had to move the audio
    Descriptor file;
    file.fd = ::open(pathBytes(path).constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (file.fd < 0 || ::flock(file.fd, LOCK_EX | LOCK_NB) != 0)
        return 0; // not writable here: a rebuilt copy takes its place
    struct stat before;
    QByteArray start(10, '\0');
    if (::fstat(file.fd, &before) != 0 || ::pread(file.fd, start.data(), 10, 0) != 10 ||
        Id3v2RegionSize(start, before.st_size) != e.head.size())
        return 0;
    for (const bool withTail : {true, false}) {
        if (withTail && e.tail.isEmpty())
            continue;
        const qint64 tail = withTail ? e.tail.size() : 0;
        if (before.st_size + tail != e.originalSize)
            continue;
        const QByteArray rebuilt =
            rebuiltDigest(e, file.fd, e.head.size(), before.st_size, withTail, err);
        if (err != 0)
            return -1;
        struct stat now;
        if (rebuilt != e.originalDigest || ::fstat(file.fd, &now) != 0 ||
            now.st_size != before.st_size || now.st_mtim.tv_nsec != before.st_mtim.tv_nsec ||
            now.st_mtim.tv_sec != before.st_mtim.tv_sec)
            continue;
        // A cut-off undo leaves the mark: the next one then knows that a
        // file matching neither digest may be half restored by it.
        if (!recordRestoring(run.file, e.seq)) {
            err = EIO;
            return -1;
        }
        if (!writeAt(file.fd, e.head, 0) ||
            (withTail && !writeAt(file.fd, e.tail, before.st_size))) {
            err = errno;
            return -1;
        }
        const struct timespec times[2] = {{0, UTIME_OMIT}, timeOf(e.originalMtimeNs)};
        ::futimens(file.fd, times);
        if (::fsync(file.fd) != 0) {
            err = errno;
            return -1;
        }
        return 1;
    }
    return 0;
}

// Restores the file found at path to the entry's original path and bytes.
// Returns false with a message when it is left alone.
bool restore(const JournalRun& run, const JournalEntry& saved, const QString& path,
             QString& message) {
    if (saved.headSize < 0) {
        message = QStringLiteral("Cannot read the saved tag of %1 from the journal")
                      .arg(saved.originalPath);
        return false;
    }
    // The parts of the old tag that the journal did not keep come from the
    // file, which must hold them.
    JournalEntry e = saved;
    {
        Descriptor file;
        file.fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
        if (file.fd < 0 || !RestoreSavedHead(e, file.fd)) {
            message = QStringLiteral("%1 does not match the journal; left alone").arg(path);
            return false;
        }
    }
    const bool samePlace = sameEntry(path, e.originalPath);
    struct stat st;
    if (!samePlace && ::lstat(pathBytes(e.originalPath).constData(), &st) == 0) {
        message =
            QStringLiteral("Cannot restore %1: a file of that name exists").arg(e.originalPath);
        return false;
    }
    // The user may have removed the folder the run emptied.
    QStringList madeFolders;
    if (!CreateFolderLevels(folderOfPath(e.originalPath), &madeFolders)) {
        message =
            QStringLiteral("Cannot restore %1: its folder cannot be made").arg(e.originalPath);
        return false;
    }
    const auto fail = [&](const QString& text) {
        for (auto f = madeFolders.crbegin(); f != madeFolders.crend(); ++f)
            ::rmdir(pathBytes(*f).constData());
        message = text;
        return false;
    };

    int err = 0;
    const int inPlace = restoreInPlace(run, e, path, err);
    if (inPlace < 0)
        return fail(QStringLiteral("Cannot restore %1. Error %2").arg(e.originalPath).arg(err));
    if (inPlace > 0) {
        if (samePlace && !samePath(path, e.originalPath) &&
            ::rename(pathBytes(path).constData(), pathBytes(e.originalPath).constData()) != 0)
            err = errno; // a change of letter case only
        else if (!samePlace)
            err = MoveFileNoReplace(path, e.originalPath);
        if (err != 0)
            return fail(
                err == EEXIST
                    ? QStringLiteral("Cannot restore %1: a file of that name "
                                     "exists")
                          .arg(e.originalPath)
                    : QStringLiteral("Cannot restore %1. Error %2").arg(e.originalPath).arg(err));
        SyncFolderOf(e.originalPath);
        return true;
    }

    Descriptor current;
    current.fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (current.fd < 0 || ::fstat(current.fd, &st) != 0)
        return fail(QStringLiteral("Cannot read %1. Error %2").arg(path).arg(errno));
    // The audio in between is what no write changes: its length follows from
    // the original size, with or without the ID3v1 block that was removed.
    QString temporary;
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
        temporary = rebuild(e, current.fd, st.st_size, middle, withTail, e.originalPath, err);
        if (!temporary.isEmpty() || err != 0)
            break;
    }
    if (temporary.isEmpty()) {
        return fail(err != 0
                        ? QStringLiteral("Cannot restore %1. Error %2").arg(e.originalPath).arg(err)
                        : QStringLiteral("%1 does not match the journal; left alone").arg(path));
    }
    if (samePlace) {
        // Over the file itself, under its old spelling.
        if (::rename(pathBytes(temporary).constData(), pathBytes(e.originalPath).constData()) != 0)
            err = errno;
    } else {
        err = PublishNoReplace(temporary, e.originalPath);
        if (err == 0)
            ::unlink(pathBytes(path).constData());
    }
    if (err != 0) {
        ::unlink(pathBytes(temporary).constData());
        return fail(
            err == EEXIST
                ? QStringLiteral("Cannot restore %1: a file of that name exists")
                      .arg(e.originalPath)
                : QStringLiteral("Cannot restore %1. Error %2").arg(e.originalPath).arg(err));
    }
    SyncFolderOf(e.originalPath);
    if (!samePlace)
        SyncFolderOf(path);
    return true;
}

bool exists(const QString& path) {
    struct stat st;
    return ::lstat(pathBytes(path).constData(), &st) == 0;
}

UndoFileResult undoEntry(const JournalRun& run, const JournalEntry& e) {
    UndoFileResult r;
    r.restoredPath = e.originalPath;
    QString message;
    if (e.done) {
        r.path = e.finalPath;
        const FileDigest now = digestOf(e, e.finalPath);
        if (now.ok && now.size == e.finalSize && now.digest == e.finalDigest) {
            if (!(r.ok = restore(run, e, e.finalPath, message)))
                r.messages << message;
            return r;
        }
        // A file that an undo was restoring when it was cut off may hold
        // part of the old tag: the bytes decide, as for a cut-off apply.
        if (!e.restoring) {
            r.messages
                << (now.ok ? QStringLiteral("%1 changed since the run; left alone").arg(e.finalPath)
                           : QStringLiteral("Not found: %1").arg(e.finalPath));
            return r;
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
    for (const QString& place : places) {
        if (!exists(place))
            continue;
        r.path = place;
        const FileDigest now = digestOf(e, place);
        if (samePath(place, e.originalPath) && now.ok && now.size == e.originalSize &&
            now.digest == e.originalDigest) {
            r.ok = r.untouched = true;
            return r;
        }
        if ((r.ok = restore(run, e, place, message)))
            return r;
    }
    r.messages << (message.isEmpty() ? QStringLiteral("Not found: %1").arg(e.originalPath)
                                     : message);
    return r;
}

} // namespace

UndoReport UndoRun(const JournalRun& run) {
    UndoReport report;
    report.runId = run.id;
    if (!run.damage.isEmpty()) {
        report.ok = false;
        report.damage = run.damage;
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
    QStringList folders;
    for (auto e = run.entries.crbegin(); e != run.entries.crend(); ++e) {
        folders += e->plannedFolders;
        if (e->undone || (e->done && !e->changed))
            continue;
        JournalEntry entry = *e;
        if (!LoadSavedHead(run, entry))
            entry.headSize = -1; // restore refuses; an untouched file is still found
        UndoFileResult r = undoEntry(run, entry);
        if (r.ok)
            RecordUndone(run.file, e->seq);
        // A file of a group recorded before a kill that the run never reached:
        // nothing to report.
        if (r.untouched && !run.mayHaveTouched(*e))
            continue;
        report.ok = report.ok && r.ok;
        report.files.append(r);
    }
    // Deepest first; a folder that still holds anything stays.
    folders.removeDuplicates();
    std::sort(folders.begin(), folders.end(),
              [](const QString& a, const QString& b) { return a.size() > b.size(); });
    for (const QString& folder : folders) {
        if (::rmdir(pathBytes(folder).constData()) == 0)
            report.foldersRemoved.append(folder);
    }
    RecordUndoAttempt(run.file);
    IndexJournalRun(run.file);
    return report;
}
