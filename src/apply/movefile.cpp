#include "movefile.h"

#include "absolutepath.h"
#include "copyfile.h"

#include "tags/pathbytes.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool sameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// After the new name exists: flush both folders (or leave them to the
// caller), then report success.
int finished(const QString& from, const QString& to, QStringList* foldersToSync = nullptr) {
    const bool two = folderOfPath(from) != folderOfPath(to);
    if (foldersToSync) {
        *foldersToSync << folderOfPath(to);
        if (two)
            *foldersToSync << folderOfPath(from);
        return 0;
    }
    SyncFolderOf(to);
    if (two)
        SyncFolderOf(from);
    return 0;
}

// For file systems without RENAME_NOREPLACE: a hard link fails atomically
// when the target exists; the old name is removed once the new one stands.
int linkThenUnlink(const QString& from, const QString& to, int* otherNames) {
    const QByteArray src = pathBytes(from);
    if (::link(src.constData(), pathBytes(to).constData()) != 0) {
        const int err = errno;
        if (err == EXDEV || err == EPERM || err == ENOTSUP || err == EOPNOTSUPP)
            return CopyThenDelete(from, to, otherNames); // no hard links here (FAT, some shares)
        return err;
    }
    ::unlink(src.constData());
    return finished(from, to);
}

} // namespace

void SyncFolderOf(const QString& path) {
    const QByteArray folder = pathBytes(folderOfPath(path));
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

namespace {

enum class Target { Free, OwnPath, CaseChange, Refused };

// Looks at source and target before a move; err holds the errno when refused.
Target classify(const QString& from, const QString& to, int& err) {
    err = 0;
    struct stat source;
    if (::lstat(pathBytes(from).constData(), &source) != 0) {
        err = errno;
        return Target::Refused;
    }
    struct stat target;
    if (::lstat(pathBytes(to).constData(), &target) != 0)
        return Target::Free;
    // The target exists. It may be the file itself: its own path, perhaps
    // spelt through a link to its folder or with a doubled separator, or the
    // same name in another letter case on a file system that ignores case.
    // A second hard link is another entry and is not replaced (a rename
    // between two links of one file does nothing): under an unrelated name,
    // and also under a name that differs only by case, where a file with
    // more than one link may be its other link on a file system that tells
    // case apart.
    const QString fromEntry = sameFile(source, target) ? ResolvedEntryPath(from) : QString();
    if (!fromEntry.isEmpty()) {
        const QString toEntry = ResolvedEntryPath(to);
        if (fromEntry == toEntry)
            return Target::OwnPath;
        if (source.st_nlink == 1 && fromEntry.compare(toEntry, Qt::CaseInsensitive) == 0)
            return Target::CaseChange;
    }
    err = EEXIST;
    return Target::Refused;
}

} // namespace

int CheckMoveNoReplace(const QString& from, const QString& to) {
    int err = 0;
    classify(from, to, err);
    return err;
}

int MoveFileNoReplace(const QString& from, const QString& to, QStringList* foldersToSync,
                      int* otherNames) {
    if (otherNames)
        *otherNames = 0;
    int err = 0;
    switch (classify(from, to, err)) {
    case Target::Refused:
        return err;
    case Target::OwnPath:
        return 0;
    case Target::CaseChange:
        if (::rename(pathBytes(from).constData(), pathBytes(to).constData()) != 0)
            return errno;
        return finished(from, to, foldersToSync);
    case Target::Free:
        break;
    }
    if (::renameat2(AT_FDCWD, pathBytes(from).constData(), AT_FDCWD, pathBytes(to).constData(),
                    RENAME_NOREPLACE) == 0)
        return finished(from, to, foldersToSync);
    err = errno;
    if (err == EXDEV)
        return CopyThenDelete(from, to, otherNames);
    if (err == EINVAL || err == ENOSYS || err == ENOTSUP || err == EOPNOTSUPP)
        return linkThenUnlink(from, to, otherNames);
    return err;
}
