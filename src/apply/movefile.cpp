#include "movefile.h"

#include "copyfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// After the new name exists: flush both folders, then report success.
int finished(const QString& from, const QString& to) {
    SyncFolderOf(to);
    if (QFileInfo(from).absolutePath() != QFileInfo(to).absolutePath())
        SyncFolderOf(from);
    return 0;
}

// For file systems without RENAME_NOREPLACE: a hard link fails atomically
// when the target exists; the old name is removed once the new one stands.
int linkThenUnlink(const QString& from, const QString& to) {
    const QByteArray src = QFile::encodeName(from);
    if (::link(src.constData(), QFile::encodeName(to).constData()) != 0) {
        const int err = errno;
        if (err == EXDEV || err == EPERM || err == ENOTSUP || err == EOPNOTSUPP)
            return CopyThenDelete(from, to); // no hard links here (FAT, some shares)
        return err;
    }
    ::unlink(src.constData());
    return finished(from, to);
}

} // namespace

void SyncFolderOf(const QString& path) {
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

int MoveFileNoReplace(const QString& from, const QString& to) {
    const QByteArray src = QFile::encodeName(from);
    const QByteArray dst = QFile::encodeName(to);
    struct stat source;
    if (::lstat(src.constData(), &source) != 0)
        return errno;
    struct stat target;
    if (::lstat(dst.constData(), &target) == 0) {
        if (!sameFile(source, target))
            return EEXIST;
        // The target is the file itself: its own path (perhaps spelt with a
        // doubled separator), or the same name in another letter case on a
        // file system that ignores case. A second hard link under another
        // name is a different path and is not replaced.
        if (QDir::cleanPath(from) == QDir::cleanPath(to))
            return 0;
        if (QDir::cleanPath(from).compare(QDir::cleanPath(to), Qt::CaseInsensitive) != 0)
            return EEXIST;
        if (::rename(src.constData(), dst.constData()) != 0)
            return errno;
        return finished(from, to);
    }
    if (::renameat2(AT_FDCWD, src.constData(), AT_FDCWD, dst.constData(), RENAME_NOREPLACE) == 0)
        return finished(from, to);
    const int err = errno;
    if (err == EXDEV)
        return CopyThenDelete(from, to);
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP)
        return linkThenUnlink(from, to);
    return err;
}
