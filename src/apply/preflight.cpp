#include "preflight.h"

#include "absolutepath.h"
#include "applyservice.h"
#include "foldercreation.h"
#include "movefile.h"
#include "tags/pathbytes.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// 0 when the folder can take new names (write and search permission, and
// search permission on every level above it), else the errno.
int folderWritable(const QString& folder) {
    return ::access(pathBytes(folder).constData(), W_OK | X_OK) == 0 ? 0 : errno;
}

// 0 when the file can be renamed out of its folder: beyond write
// permission, a folder with the sticky bit (/tmp, shared folders) lets only
// the owner of the file or of the folder do it.
int movableOut(const QString& path, const QString& folder) {
    if (const int err = folderWritable(folder))
        return err;
    static const uid_t user = ::geteuid(); // one user for the program's life
    struct stat file, dir;
    if (user == 0 || ::stat(pathBytes(folder).constData(), &dir) != 0 || !(dir.st_mode & S_ISVTX) ||
        ::stat(pathBytes(path).constData(), &file) != 0)
        return 0;
    return file.st_uid == user || dir.st_uid == user ? 0 : EPERM;
}

} // namespace

int CheckMayMove(const QString& path, const QString& to) {
    if (const int err = movableOut(path, folderOfPath(path)))
        return err;
    return folderWritable(folderOfPath(to));
}

// A path that is a symbolic link: the tag would be written through it and
// the link itself moved (a relative link then dangles).
std::optional<Refusal> CheckNoLink(const QString& path) {
    struct stat st;
    if (::lstat(pathBytes(path).constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return std::nullopt;
    QString target = resolvedPath(path);
    if (target.isEmpty()) {
        QByteArray text(PATH_MAX, Qt::Uninitialized);
        const ssize_t n = ::readlink(pathBytes(path).constData(), text.data(), size_t(text.size()));
        target = pathFromBytes(text.left(n > 0 ? n : 0));
    }
    return Refusal{QStringLiteral("symbolic link"),
                   QStringLiteral("Not applied to %1: it is a symbolic link to %2 (give that "
                                  "file instead)")
                       .arg(path, target)};
}

namespace {

std::optional<Refusal> checkName(const QString& path, const QString& name, const QString& target) {
    const QString dotsOnly = QString(name.size(), u'.');
    if (name.isEmpty())
        return Refusal{QStringLiteral("empty file name"),
                       QStringLiteral("Not applied to %1: the new file name is empty").arg(path)};
    if (name == dotsOnly)
        return Refusal{
            QStringLiteral("file name is only dots"),
            QStringLiteral("Not applied to %1: the new file name is only dots").arg(path)};
    const QByteArray targetBytes = pathBytes(target);
    if (targetBytes.isNull())
        return Refusal{QStringLiteral("no file name"),
                       QStringLiteral("Not applied to %1: the new path %2 holds characters that "
                                      "no file name can")
                           .arg(path, target)};
    if (targetBytes.size() > MaxPathBytes)
        return Refusal{QStringLiteral("path too long"),
                       QStringLiteral("Not applied to %1: the new path is longer than %2 bytes")
                           .arg(path)
                           .arg(MaxPathBytes)};
    for (const QString& part : target.split(u'/', Qt::SkipEmptyParts)) {
        if (pathBytes(part).size() > MaxNameBytes)
            return Refusal{QStringLiteral("name too long"),
                           QStringLiteral("Not applied to %1: the name \"%2\" is longer than %3 "
                                          "bytes")
                               .arg(path, part)
                               .arg(MaxNameBytes)};
    }
    return std::nullopt;
}

// A full disk would stop Apply after the tags are written: each folder
// level still to be made takes an inode, and a move to another file system
// a copy of the file with its new tag. (Root may also use the blocks kept
// for it.)
std::optional<Refusal> checkRoom(const QString& path, const QString& deepest, const QString& target,
                                 int levels, const std::function<qint64()>& growth) {
    struct stat source, folder;
    struct statvfs fs;
    if (::stat(pathBytes(path).constData(), &source) != 0 ||
        ::stat(pathBytes(deepest).constData(), &folder) != 0 ||
        ::statvfs(pathBytes(deepest).constData(), &fs) != 0)
        return std::nullopt; // the steps themselves will tell
    static const bool privileged = ::geteuid() == 0;
    // A file system that counts no blocks or no inodes (ramfs, many FUSE
    // file systems) says nothing of its room; counts beyond what a qint64
    // holds are room enough.
    const auto count = [](fsblkcnt_t n) { return qint64(std::min<fsblkcnt_t>(n, INT64_MAX)); };
    const qint64 inodes = count(privileged ? fs.f_ffree : fs.f_favail);
    const bool inodesCounted = fs.f_files != 0;
    if (inodesCounted && inodes < levels)
        return Refusal{QStringLiteral("cannot create folder: no free inode"),
                       QStringLiteral("Cannot create folder")};
    const qint64 blocks = count(privileged ? fs.f_bfree : fs.f_bavail);
    const qint64 blockSize = qint64(std::max<unsigned long>(fs.f_frsize, 1));
    const bool copied = source.st_dev != folder.st_dev;
    const auto roomForCopy = [&] {
        const qint64 size = qint64(source.st_size) + (growth ? std::max<qint64>(growth(), 0) : 0);
        return fs.f_blocks == 0 || blocks >= (size + blockSize - 1) / blockSize;
    };
    if (copied && ((inodesCounted && inodes < levels + 1) || !roomForCopy()))
        return Refusal{QStringLiteral("cannot move: %1").arg(qt_error_string(ENOSPC)),
                       QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(ENOSPC)};
    return std::nullopt;
}

} // namespace

std::optional<Refusal> CheckBeforeApply(const QString& path, const FieldValues& outputs,
                                        const std::function<qint64()>& growth) {
    if (auto refusal = CheckNoLink(path))
        return refusal;
    const QString target = ApplyTarget(outputs);
    if (auto refusal = checkName(path, outputs[FieldFilename], target))
        return refusal;

    // The kernel's answer to an open for writing (permissions, a read-only
    // mount, an immutable file), without the open: a watcher of the folder
    // would take an open for writing for a change.
    // (The real user is the effective one: the program is not setuid.)
    if (::faccessat(AT_FDCWD, pathBytes(path).constData(), W_OK, 0) != 0) {
        const QString reason = qt_error_string(errno);
        return Refusal{QStringLiteral("cannot write tags: %1").arg(reason),
                       QStringLiteral("Cannot write tags to %1: %2").arg(path, reason)};
    }

    const QString source = AbsolutePath(path);
    const QString sourceFolder = folderOfPath(source);
    if (const int err = movableOut(path, sourceFolder)) {
        return Refusal{QStringLiteral("source folder not writable"),
                       QStringLiteral("Not applied to %1: its folder is not writable (%2)")
                           .arg(path, qt_error_string(err))};
    }
    // The file stays where it is (a new tag only): its folder and its name
    // have just passed.
    if (target == source)
        return std::nullopt;

    const QString location = ApplyLocation(outputs);
    QStringList missing;
    if (!MissingFolderLevels(location, missing))
        return Refusal{QStringLiteral("cannot create folder"),
                       QStringLiteral("Cannot create folder")};
    const QString deepest = missing.isEmpty() ? location : folderOfPath(missing.first());
    if (const int err = folderWritable(deepest)) {
        // The levels still missing cannot be made in it.
        if (!missing.isEmpty())
            return Refusal{QStringLiteral("cannot create folder"),
                           QStringLiteral("Cannot create folder")};
        return Refusal{QStringLiteral("target folder not writable"),
                       QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(err)};
    }
    if (auto refusal = checkRoom(path, deepest, target, int(missing.size()), growth))
        return refusal;
    // A target in a folder still to be made is free.
    if (missing.isEmpty()) {
        if (const int err = CheckMoveNoReplace(path, target)) {
            return Refusal{err == EEXIST
                               ? QStringLiteral("target exists")
                               : QStringLiteral("cannot move: %1").arg(qt_error_string(err)),
                           QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(err)};
        }
    }
    return std::nullopt;
}
