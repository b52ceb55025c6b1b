#include "tags/tagrewrite.h"

#include "tags/pathbytes.h"
#include "tags/rewritefileops.h"
#include "tags/rewritetemp.h"
#include "tags/userattributes.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() { Close(); }
    bool Close() {
        const bool ok = fd < 0 || ::close(fd) == 0;
        fd = -1;
        return ok;
    }
};

} // namespace

bool CopyRange(RewriteFileOps& ops, int from, int to, qint64 start, qint64 end) {
    qint64 offset = start;
    // In the kernel where it copies; the rest, if any, through a buffer (a
    // copy that stops short is tried again that way, which reads the end of
    // a file that shrank as a failure).
    while (offset < end) {
        const qint64 got = ops.Copy(from, to, std::min<qint64>(end - offset, 1 << 30), offset);
        if (got == 0 || got == RewriteFileOps::CannotCopy)
            break;
        if (got < 0)
            return false;
        offset += got;
    }
    if (offset == end)
        return true;
    std::vector<char> buffer(1 << 16);
    while (offset < end) {
        const qint64 want = std::min<qint64>(qint64(buffer.size()), end - offset);
        const qint64 got = ops.Read(from, buffer.data(), want, offset);
        if (got == 0)
            errno = EIO; // shorter than it was a moment ago
        if (got <= 0 || !ops.Write(to, buffer.data(), got))
            return false;
        offset += got;
    }
    return true;
}

namespace {

bool SameInode(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Whether the entry name of folder is the original, unchanged since it was
// read (source is still open on it). A rename moves the file's change time:
// once renamed, only the rest of its identity can be compared.
bool IsOriginal(int folder, const QByteArray& name, int source, const FileIdentity& identity,
                bool renamed = false) {
    struct stat entry, now;
    if (::fstatat(folder, name.constData(), &entry, AT_SYMLINK_NOFOLLOW) != 0 ||
        ::fstat(source, &now) != 0 || !SameInode(entry, now))
        return false;
    FileIdentity expected = identity;
    if (renamed)
        expected.ctimeNs = FileIdentity::of(now).ctimeNs;
    return FileIdentity::of(now) == expected;
}

// Whether the open original is still as it was read.
bool Unchanged(int source, const FileIdentity& identity) {
    struct stat now;
    return ::fstat(source, &now) == 0 && FileIdentity::of(now) == identity;
}

// Puts the finished temporary file in the original's place and removes
// whatever then stands under the temporary name: the original (Written) or,
// when nothing changed, the new file.
RewriteOutcome Publish(RewriteFileOps& ops, int folder, const QByteArray& temp,
                       const QByteArray& name, int source, const FileIdentity& identity) {
    const auto removeTemp = [&](RewriteOutcome outcome) {
        ::unlinkat(folder, temp.constData(), 0);
        return outcome;
    };
    // The change time tells of an edit whose writer put the modification
    // time back; the exchange moves it, so it is looked at first.
    if (!Unchanged(source, identity))
        return removeTemp(RewriteOutcome::Changed);
    const int err = ops.Exchange(folder, temp, name);
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP) {
        if (!IsOriginal(folder, name, source, identity))
            return removeTemp(RewriteOutcome::Changed);
        if (::renameat(folder, temp.constData(), folder, name.constData()) != 0)
            return removeTemp(RewriteOutcome::Failed);
        return RewriteOutcome::Written;
    }
    if (err != 0)
        return removeTemp(err == ENOENT ? RewriteOutcome::Changed : RewriteOutcome::Failed);
    if (IsOriginal(folder, temp, source, identity, true))
        return removeTemp(RewriteOutcome::Written);
    // Another file stood at the path, or the original was written meanwhile:
    // it goes back to its name, and the new file is what gets removed.
    if (ops.Exchange(folder, temp, name) != 0) {
        // Short of a failing disk this cannot happen. The other file is not
        // removed: it gets a name that no sweep of temporary files takes.
        ::renameat2(folder, temp.constData(), folder, (temp + ".kept").constData(),
                    RENAME_NOREPLACE);
        return RewriteOutcome::Failed;
    }
    return removeTemp(RewriteOutcome::Changed);
}

} // namespace

RewriteOutcome RewriteWithNewTag(const QString& path, int source, const FileIdentity& identity,
                                 const QByteArray& tag, qint64 audioStart, qint64 audioEnd,
                                 FileIdentity& written) {
    // The file itself, not a link that points to it.
    const QString target = resolvedPath(path);
    if (target.isEmpty())
        return RewriteOutcome::Changed;
    const QString folderPath = folderOfPath(target);
    const QByteArray name = pathBytes(nameOfPath(target));
    Descriptor folder;
    folder.fd = ::open(pathBytes(folderPath).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (folder.fd < 0 || name.isEmpty() || ::fstat(source, &st) != 0)
        return RewriteOutcome::Failed;

    // A short name of its own, so a file name near the length limit still
    // leaves room for it. What a killed earlier write left here goes first,
    // once per run.
    SweepRewriteTempsOnce(folderPath);
    QByteArray tempPath = RewriteTempPattern(folderPath);
    if (tempPath.isNull())
        return RewriteOutcome::Failed;
    Descriptor temp;
    temp.fd = ::mkostemp(tempPath.data(), O_CLOEXEC);
    if (temp.fd < 0)
        return RewriteOutcome::Failed;
    Descriptor held; // till it is published or removed
    held.fd = HoldRewriteTemp(temp.fd);
    const QByteArray tempName = tempPath.mid(tempPath.lastIndexOf('/') + 1);

    RewriteFileOps& ops = CurrentRewriteFileOps();
    bool ok = copyFileAttributes(source, temp.fd) == 0;
    ok = ok && ops.Write(temp.fd, tag.constData(), tag.size()) &&
         CopyRange(ops, source, temp.fd, audioStart, audioEnd) && ops.Flush(temp.fd);
    struct stat built {};
    ok = ok && ::fstat(temp.fd, &built) == 0;
    ok = temp.Close() && ok;
    if (!ok) {
        const int err = errno; // why, for the message
        ::unlinkat(folder.fd, tempName.constData(), 0);
        // Audio that ended early was cut by another program meanwhile: no
        // failure of this write, and errno would tell of something else.
        if (!IsOriginal(folder.fd, name, source, identity))
            return RewriteOutcome::Changed;
        errno = err;
        return RewriteOutcome::Failed;
    }
    const RewriteOutcome outcome = Publish(ops, folder.fd, tempName, name, source, identity);
    if (outcome != RewriteOutcome::Written)
        return outcome;
    ::fsync(folder.fd);
    // As it stands under its name: putting it there moved its change time.
    struct stat placed {};
    if (::fstatat(folder.fd, name.constData(), &placed, AT_SYMLINK_NOFOLLOW) == 0 &&
        SameInode(placed, built))
        built = placed;
    written = FileIdentity::of(built);
    return RewriteOutcome::Written;
}
