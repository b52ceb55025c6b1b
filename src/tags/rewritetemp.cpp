#include "tags/rewritetemp.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace {

const QLatin1String Prefix(".quorvel-");

bool ProcessGone(qint64 pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

QByteArray RewriteTempPattern(const QString& folder) {
    return QFile::encodeName(folder + QLatin1Char('/') + Prefix + QString::number(::getpid()) +
                             QStringLiteral("-XXXXXX"));
}

int RemoveAbandonedRewriteTemps(const QString& folder) {
    const QDir dir(folder);
    int removed = 0;
    const QStringList names =
        dir.entryList({Prefix + QLatin1Char('*')}, QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        // ".quorvel-PID-XXXXXX": six random characters after the last dash.
        const QString middle = name.mid(Prefix.size());
        const qsizetype dash = middle.lastIndexOf(QLatin1Char('-'));
        if (dash < 1 || middle.size() - dash - 1 != 6)
            continue;
        bool ok = false;
        const qint64 pid = middle.left(dash).toLongLong(&ok);
        if (ok && ProcessGone(pid) && QFile::remove(dir.filePath(name)))
            ++removed;
    }
    return removed;
}
