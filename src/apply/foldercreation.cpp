#include "foldercreation.h"

#include "tags/pathbytes.h"

#include <cerrno>
#include <sys/stat.h>

namespace {

// 1 a folder, 0 not there as far as can be seen (the walk goes on upward,
// where a file in the way is found), -1 something else or a name that
// cannot be a path. A symbolic link that leads nowhere (its target missing,
// or a loop of links) is something else: no folder can be made in its place.
int folderState(const QString& level) {
    const QByteArray bytes = pathBytes(level);
    struct stat st;
    if (bytes.isNull())
        return -1;
    if (::stat(bytes.constData(), &st) != 0) {
        if (errno == ELOOP)
            return -1;
        return errno == ENOENT && ::lstat(bytes.constData(), &st) == 0 ? -1 : 0;
    }
    return S_ISDIR(st.st_mode) ? 1 : -1;
}

} // namespace

bool MissingFolderLevels(const QString& folder, QStringList& missing) {
    missing.clear();
    // An empty Location would put the file into the root folder.
    if (folder.isEmpty() || folder.size() > MaxFolderPathLength)
        return false;
    QString copy = folder;
    if (!copy.endsWith(QLatin1Char('/')))
        copy += QLatin1Char('/');
    // Walk back from the end to the deepest level that exists.
    qsizetype deepest = -1; // index of the "/" that closes the deepest existing level
    for (qsizetype slash = copy.size() - 1; slash >= 0;
         slash = slash == 0 ? -1 : copy.lastIndexOf(QLatin1Char('/'), slash - 1)) {
        const QString level = copy.left(slash);
        if (level.isEmpty()) { // the root of an absolute path
            deepest = slash;
            break;
        }
        const int state = folderState(level);
        if (state < 0)
            return false;
        if (state > 0) {
            deepest = slash;
            break;
        }
    }
    for (qsizetype slash = copy.indexOf(QLatin1Char('/'), deepest + 1); slash >= 0;
         slash = copy.indexOf(QLatin1Char('/'), slash + 1)) {
        const QString level = copy.left(slash);
        if (!level.endsWith(QLatin1Char('/'))) // "a//b": the doubled "/" adds no level
            missing.append(level);
    }
    return true;
}

bool CreateFolderLevels(const QString& folder, QStringList* created) {
    QStringList missing;
    if (created)
        created->clear();
    if (!MissingFolderLevels(folder, missing))
        return false;
    for (const QString& level : missing) {
        if (::mkdir(pathBytes(level).constData(), 0777) != 0) {
            // Another program may have made it in the meantime; that is fine.
            if (folderState(level) <= 0)
                return false;
            continue;
        }
        if (created)
            created->append(level);
    }
    return true;
}
