#include "copyfile.h"

#include "movefile.h"

#include "tags/descriptorio.h"
#include "tags/fileidentity.h"
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

namespace {

// Copies everything from in to out; 0 or errno.
int copyContent(int in, int out) {
    static constexpr size_t BufferSize = 1 << 20;
    QByteArray buffer(BufferSize, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), BufferSize);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (got == 0)
            return 0;
        if (const int err = WriteAllBytes(out, buffer.constData(), got))
            return err;
    }
}

} // namespace

int WriteAllBytes(int fd, const char* data, qint64 size) {
    return WriteAll(fd, data, size) ? 0 : errno;
}

int CreateTemporaryBeside(const QString& target, QString& path, Descriptor& held) {
    // Named after this process, so that one left by a killed run is swept
    // by the next write or undo in the folder (RemoveAbandonedRewriteTemps).
    QByteArray name = RewriteTempPattern(folderOfPath(target));
    if (name.isNull()) {
        errno = ENOENT;
        return -1;
    }
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd >= 0) {
        path = pathFromBytes(name);
        held.fd = HoldRewriteTemp(fd);
    }
    return fd;
}

int PublishNoReplace(const QString& temporary, const QString& to) {
    const QByteArray tmp = pathBytes(temporary);
    const QByteArray dst = pathBytes(to);
    if (::renameat2(AT_FDCWD, tmp.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    int err = errno;
    if (err != EINVAL && err != ENOSYS && err != ENOTSUP && err != EOPNOTSUPP)
        return err;
    if (::link(tmp.constData(), dst.constData()) == 0) {
        ::unlink(tmp.constData());
        return 0;
    }
    err = errno;
    if (err != EPERM && err != ENOTSUP && err != EOPNOTSUPP)
        return err;
    // A file system with neither: the narrowest check we can make. The
    // temporary name is ours alone, so only a name created in this instant
    // by another program could be replaced.
    struct stat st;
    if (::lstat(dst.constData(), &st) == 0)
        return EEXIST;
    return ::rename(tmp.constData(), dst.constData()) == 0 ? 0 : errno;
}

int CopyThenDelete(const QString& from, const QString& to, int* otherNames) {
    const QByteArray src = pathBytes(from);
    const int in = ::open(src.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat st;
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        const int err = S_ISREG(st.st_mode) ? errno : EISDIR;
        ::close(in);
        return err;
    }
    QString temporary;
    Descriptor held;
    const int out = CreateTemporaryBeside(to, temporary, held);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        return err;
    }
    int err = copyContent(in, out);
    if (err == 0) {
        // Keep what a rename would keep: owner, permissions, user extended
        // attributes (unless the target's file system keeps none) and times.
        const struct timespec times[2] = {st.st_atim, st.st_mtim};
        err = copyFileAttributes(in, out);
        if (err == ENOTSUP)
            err = 0;
        ::futimens(out, times);
        if (err == 0 && !CurrentRewriteFileOps().Flush(out))
            err = errno;
    }
    // Another program that wrote the source while it was copied (its change
    // time moved): the copy lacks its edit, and the source stays.
    struct stat now;
    if (err == 0 && ::fstat(in, &now) != 0)
        err = errno;
    else if (err == 0 && FileIdentity::of(now) != FileIdentity::of(st))
        err = ChangedWhileCopied;
    ::close(in);
    if (::close(out) != 0 && err == 0)
        err = errno;
    if (err == 0)
        err = PublishNoReplace(temporary, to);
    if (err != 0) {
        ::unlink(pathBytes(temporary).constData());
        return err;
    }
    SyncFolderOf(to);
    if (::unlink(src.constData()) != 0) {
        // The source stays (say, its folder is read-only): take the copy back
        // so that the file is in one place only and the move reads as failed.
        err = errno;
        ::unlink(pathBytes(to).constData());
        SyncFolderOf(to);
        return err;
    }
    SyncFolderOf(from);
    if (otherNames)
        *otherNames = st.st_nlink > 1 ? int(st.st_nlink - 1) : 0;
    return 0;
}
