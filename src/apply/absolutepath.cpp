#include "absolutepath.h"

#include "tags/pathbytes.h"

#include <QStringList>

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// No part of the path is empty (a doubled or final "/"), "." or "..".
bool IsPlain(QStringView path) {
    qsizetype start = path.startsWith(u'/') ? 1 : 0;
    while (start <= path.size()) {
        qsizetype end = path.indexOf(u'/', start);
        if (end < 0)
            end = path.size();
        const QStringView part = path.sliced(start, end - start);
        if (part.isEmpty() || part == u"." || part == u"..")
            return false;
        start = end + 1;
    }
    return true;
}

// folder + "/" + the parts, for a folder that may be the root.
QString joined(const QString& folder, const QStringList& parts) {
    if (parts.isEmpty())
        return folder;
    return (folder.endsWith(u'/') ? folder : folder + u'/') + parts.join(u'/');
}

// parts (which end with "..") resolved where they exist and taken back as
// text below the deepest existing level: Apply makes the missing levels as
// real folders before it uses the path, and ".." then leads out of them
// again. Empty when a level exists but is no folder the kernel can pass
// (a file, a dangling link, no search permission): the kernel refuses
// such a path, and its text is kept for it to do so.
QString resolvedAcrossMissing(const QStringList& parts) {
    QString base = QStringLiteral("/");
    QStringList missing;
    for (const QString& part : parts) {
        if (part == u"..") {
            if (!missing.isEmpty())
                missing.removeLast();
            else
                base = folderOfPath(base); // resolved: its parent is the text's
            continue;
        }
        if (!missing.isEmpty()) {
            missing << part;
            continue;
        }
        const QString level = joined(base, {part});
        const QString resolved = resolvedPath(level);
        struct stat st;
        if (!resolved.isEmpty() && ::stat(pathBytes(resolved).constData(), &st) == 0 &&
            S_ISDIR(st.st_mode))
            base = resolved;
        else if (resolved.isEmpty() && ::lstat(pathBytes(level).constData(), &st) != 0 &&
                 errno == ENOENT)
            missing << part;
        else
            return QString();
    }
    return joined(base, missing);
}

} // namespace

QString WorkingFolder() {
    char* cwd = ::getcwd(nullptr, 0);
    const QString text = cwd ? pathFromBytes(cwd) : QStringLiteral("/");
    ::free(cwd);
    return text;
}

QString AbsolutePath(const QString& path) {
    // An absolute path needs no working folder (a system call to learn).
    return AbsolutePath(path, path.startsWith(u'/') ? QString() : WorkingFolder());
}

QStringList AbsolutePaths(const QStringList& paths) {
    const QString folder = WorkingFolder();
    QStringList absolute;
    absolute.reserve(paths.size());
    for (const QString& path : paths)
        absolute << AbsolutePath(path, folder);
    return absolute;
}

QString AbsolutePath(const QString& path, const QString& workingFolder) {
    if (IsPlain(path)) {
        if (path.startsWith(u'/'))
            return path;
        return workingFolder.endsWith(u'/') ? workingFolder + path : workingFolder + u'/' + path;
    }
    const QString whole = path.startsWith(u'/') ? path : workingFolder + u'/' + path;
    QStringList parts = whole.split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    // After a symbolic link ".." leads to the link's parent as the kernel
    // sees it, not to the folder the text names: the part up to the last ".."
    // is resolved by the file system.
    const qsizetype up = parts.lastIndexOf(QStringLiteral(".."));
    if (up < 0)
        return u'/' + parts.join(u'/');
    QString resolved = resolvedPath(u'/' + parts.first(up + 1).join(u'/'));
    if (resolved.isEmpty())
        resolved = resolvedAcrossMissing(parts.first(up + 1));
    if (resolved.isEmpty())
        return u'/' + parts.join(u'/');
    return joined(resolved, parts.sliced(up + 1));
}

QString ResolvedPathKey(const QString& path) {
    const QString absolute = AbsolutePath(path);
    QString rest;
    for (QString level = absolute; level.size() > 1;) {
        const QString resolved = resolvedPath(level);
        if (!resolved.isEmpty())
            return (resolved == QLatin1String("/") ? QString() : resolved) + rest;
        const qsizetype slash = level.lastIndexOf(u'/');
        rest.prepend(level.mid(slash));
        level.truncate(std::max<qsizetype>(slash, 1));
    }
    return absolute;
}

QString ResolvedEntryPath(const QString& path) {
    const QString absolute = AbsolutePath(path);
    const QString folder = resolvedPath(folderOfPath(absolute));
    return folder.isEmpty() ? QString() : joined(folder, {nameOfPath(absolute)});
}
