#include "absolutepath.h"

#include "tags/pathbytes.h"

#include <QStringList>

#include <cstdlib>
#include <unistd.h>

namespace {

QString workingFolder() {
    char* cwd = ::getcwd(nullptr, 0);
    const QString text = cwd ? pathFromBytes(cwd) : QStringLiteral("/");
    ::free(cwd);
    return text;
}

} // namespace

QString AbsolutePath(const QString& path) {
    const QString whole = path.startsWith(u'/') ? path : workingFolder() + u'/' + path;
    QStringList parts = whole.split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    // After a symbolic link ".." leads to the link's parent as the kernel
    // sees it, not to the folder the text names: the part up to the last ".."
    // is resolved by the file system. Where it does not exist, ".." stays,
    // and the kernel says what it means when the path is used.
    const qsizetype up = parts.lastIndexOf(QStringLiteral(".."));
    if (up >= 0) {
        const QString resolved = resolvedPath(u'/' + parts.first(up + 1).join(u'/'));
        if (!resolved.isEmpty()) {
            const QString rest = parts.sliced(up + 1).join(u'/');
            return rest.isEmpty()
                       ? resolved
                       : (resolved == QLatin1String("/") ? resolved : resolved + u'/') + rest;
        }
    }
    return u'/' + parts.join(u'/');
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
