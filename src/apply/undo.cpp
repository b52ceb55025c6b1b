#include "undo.h"

#include "copyfile.h"
#include "filedigest.h"
#include "movefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool samePath(const QString& a, const QString& b) {
    return QDir::cleanPath(a) == QDir::cleanPath(b);
}

// The same path, or two spellings of one entry on a file system that
// ignores letter case ("Song.MP3" and "Song.mp3").
bool sameEntry(const QString& a, const QString& b) {
    if (samePath(a, b))
        return true;
    if (QDir::cleanPath(a).compare(QDir::cleanPath(b), Qt::CaseInsensitive) != 0)
        return false;
    struct stat sa, sb;
    return ::lstat(QFile::encodeName(a).constData(), &sa) == 0 &&
           ::lstat(QFile::encodeName(b).constData(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

// Builds, in a temporary file beside target, the original bytes: the saved
// head, the last `middle` bytes of the current file and, when withTail, the
// saved ID3v1 block. Keeps it only when it hashes to the original digest.
// Returns the temporary path, or an empty string with err set (0 when the
// bytes did not match).
QString rebuild(const JournalEntry& e, int current, qint64 currentSize, qint64 middle,
                bool withTail, const QString& target, int& err) {
    err = 0;
    QString temporary;
    const int out = CreateTemporaryBeside(target, temporary);
    if (out < 0) {
        err = errno;
        return {};
    }
    ContentHash hash(e.originalDigest.size());
    err = WriteAllBytes(out, e.head.constData(), e.head.size());
    hash.addData(e.head);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (qint64 at = currentSize - middle; err == 0 && at < currentSize;) {
        const ssize_t got = ::pread(current, buffer.data(),
                                    size_t(std::min<qint64>(buffer.size(), currentSize - at)), at);
        if (got <= 0) {
            err = got < 0 ? errno : EIO; // shorter than it was a moment ago
            break;
        }
        hash.addData(QByteArrayView(buffer.constData(), got));
        err = WriteAllBytes(out, buffer.constData(), got);
        at += got;
    }
    if (err == 0 && withTail) {
        hash.addData(e.tail);
        err = WriteAllBytes(out, e.tail.constData(), e.tail.size());
    }
    const bool matches = err == 0 && hash.result() == e.originalDigest;
    if (matches) {
        struct stat st;
        if (::fstat(current, &st) == 0)
            ::fchmod(out, st.st_mode & 07777);
        const struct timespec times[2] = {
            {0, UTIME_OMIT},
            {time_t(e.originalMtimeNs / 1000000000), long(e.originalMtimeNs % 1000000000)}};
        ::futimens(out, times);
        if (::fsync(out) != 0)
            err = errno;
    }
    ::close(out);
    if (!matches || err != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        return {};
    }
    return temporary;
}

// Restores the file found at path to the entry's original path and bytes.
// Returns false with a message when it is left alone.
bool restore(const JournalEntry& e, const QString& path, QString& message) {
    if (e.head.size() != e.headSize) {
        message =
            QStringLiteral("Cannot read the saved tag of %1 from the journal").arg(e.originalPath);
        return false;
    }
    const int current = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st;
    if (current < 0 || ::fstat(current, &st) != 0) {
        message = QStringLiteral("Cannot read %1. Error %2").arg(path).arg(errno);
        if (current >= 0)
            ::close(current);
        return false;
    }
    // The audio in between is what no write changes: its length follows from
    // the original size, with or without the ID3v1 block that was removed.
    QString temporary;
    int err = 0;
    for (const bool withTail : {true, false}) {
        if (withTail && e.tail.isEmpty())
            continue;
        const qint64 middle = e.originalSize - e.head.size() - (withTail ? e.tail.size() : 0);
        if (middle < 0 || middle > st.st_size)
            continue;
        temporary = rebuild(e, current, st.st_size, middle, withTail, e.originalPath, err);
        if (!temporary.isEmpty() || err != 0)
            break;
    }
    ::close(current);
    if (temporary.isEmpty()) {
        message = err != 0
                      ? QStringLiteral("Cannot restore %1. Error %2").arg(e.originalPath).arg(err)
                      : QStringLiteral("%1 does not match the journal; left alone").arg(path);
        return false;
    }
    const bool inPlace = sameEntry(path, e.originalPath);
    if (inPlace) {
        // Over the file itself, under its old spelling.
        if (::rename(QFile::encodeName(temporary).constData(),
                     QFile::encodeName(e.originalPath).constData()) != 0)
            err = errno;
    } else {
        err = PublishNoReplace(temporary, e.originalPath);
        if (err == 0)
            ::unlink(QFile::encodeName(path).constData());
    }
    if (err != 0) {
        ::unlink(QFile::encodeName(temporary).constData());
        message = err == EEXIST
                      ? QStringLiteral("Cannot restore %1: a file of that name exists")
                            .arg(e.originalPath)
                      : QStringLiteral("Cannot restore %1. Error %2").arg(e.originalPath).arg(err);
        return false;
    }
    SyncFolderOf(e.originalPath);
    if (!inPlace)
        SyncFolderOf(path);
    return true;
}

UndoFileResult undoEntry(const JournalEntry& e) {
    UndoFileResult r;
    r.restoredPath = e.originalPath;
    QString message;
    if (e.done) {
        r.path = e.finalPath;
        const FileDigest now = DigestFile(e.finalPath, e.finalDigest.size());
        if (!now.ok)
            r.messages << QStringLiteral("Not found: %1").arg(e.finalPath);
        else if (now.size != e.finalSize || now.digest != e.finalDigest)
            r.messages << QStringLiteral("%1 changed since the run; left alone").arg(e.finalPath);
        else if (!(r.ok = restore(e, e.finalPath, message)))
            r.messages << message;
        return r;
    }
    // Cut off while being handled: the file is at its target or still at its
    // old path, with or without its new tags. Only bytes that rebuild the
    // original exactly are taken as ours.
    QStringList places{e.targetPath};
    if (!samePath(e.targetPath, e.originalPath))
        places << e.originalPath;
    r.path = e.originalPath;
    for (const QString& place : places) {
        if (!QFileInfo::exists(place))
            continue;
        r.path = place;
        const FileDigest now = DigestFile(place, e.originalDigest.size());
        if (samePath(place, e.originalPath) && now.ok && now.size == e.originalSize &&
            now.digest == e.originalDigest) {
            r.ok = r.untouched = true;
            return r;
        }
        if ((r.ok = restore(e, place, message)))
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
    QStringList folders;
    for (auto e = run.entries.crbegin(); e != run.entries.crend(); ++e) {
        folders += e->plannedFolders;
        if (e->undone || (e->done && !e->changed))
            continue;
        JournalEntry entry = *e;
        if (!LoadSavedHead(run, entry))
            entry.head.clear(); // restore refuses; an untouched file is still found
        UndoFileResult r = undoEntry(entry);
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
        if (QFileInfo(folder).isDir() && QDir().rmdir(folder))
            report.foldersRemoved.append(folder);
    }
    RecordUndoAttempt(run.file);
    return report;
}
