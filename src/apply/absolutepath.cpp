#include "absolutepath.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

QString AbsolutePath(const QString& path) {
    const QString whole = path.startsWith(u'/') ? path : QDir::currentPath() + u'/' + path;
    QStringList parts = whole.split(u'/', Qt::SkipEmptyParts);
    parts.removeAll(QStringLiteral("."));
    // After a symbolic link ".." leads to the link's parent as the kernel
    // sees it, not to the folder the text names: the part up to the last ".."
    // is resolved by the file system.
    const qsizetype up = parts.lastIndexOf(QStringLiteral(".."));
    if (up >= 0) {
        const QString resolved =
            QFileInfo(u'/' + parts.first(up + 1).join(u'/')).canonicalFilePath();
        if (!resolved.isEmpty()) {
            const QString rest = parts.sliced(up + 1).join(u'/');
            return rest.isEmpty()
                       ? resolved
                       : (resolved == QLatin1String("/") ? resolved : resolved + u'/') + rest;
        }
        return QDir::cleanPath(u'/' + parts.join(u'/')); // nothing there to follow
    }
    return u'/' + parts.join(u'/');
}

QString ResolvedPathKey(const QString& path) {
    const QString absolute = AbsolutePath(path);
    QString rest;
    for (QString level = absolute; level.size() > 1;) {
        const QString resolved = QFileInfo(level).canonicalFilePath();
        if (!resolved.isEmpty())
            return QDir::cleanPath(resolved + rest);
        const qsizetype slash = level.lastIndexOf(u'/');
        rest.prepend(level.mid(slash));
        level.truncate(std::max<qsizetype>(slash, 1));
    }
    return QDir::cleanPath(absolute);
}
