#include "tags/rewritetemp.h"

#include "tags/pathbytes.h"

#include <QMutex>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

namespace {

constexpr char Prefix[] = ".quorvel-";

QMutex sweptLock;
QSet<QString> swept; // folders swept in this run
constexpr size_t PrefixSize = sizeof Prefix - 1;

bool ProcessGone(qint64 pid) {
    return pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

// The process id in ".quorvel-PID-XXXXXX" (six random characters after the
// last dash), or 0 when the name is not of that form.
qint64 WriterOf(const char* name) {
    if (std::strncmp(name, Prefix, PrefixSize) != 0)
        return 0;
    const QByteArray middle(name + PrefixSize);
    const qsizetype dash = middle.lastIndexOf('-');
    if (dash < 1 || middle.size() - dash - 1 != 6)
        return 0;
    bool ok = false;
    const qint64 pid = middle.left(dash).toLongLong(&ok);
    return ok ? pid : 0;
}

} // namespace

QByteArray RewriteTempPattern(const QString& folder) {
    const QByteArray bytes = pathBytes(folder);
    if (bytes.isNull())
        return QByteArray();
    return bytes + '/' + Prefix + QByteArray::number(::getpid()) + "-XXXXXX";
}

int RemoveAbandonedRewriteTemps(const QString& folder) {
    DIR* dir = ::opendir(pathBytes(folder).constData());
    if (!dir)
        return 0;
    int removed = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (entry->d_type != DT_REG && entry->d_type != DT_UNKNOWN)
            continue;
        if (ProcessGone(WriterOf(entry->d_name)) && ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            ++removed;
    }
    ::closedir(dir);
    return removed;
}

void SweepRewriteTempsOnce(const QString& folder) {
    {
        const QMutexLocker lock(&sweptLock);
        if (swept.contains(folder))
            return;
        swept.insert(folder);
    }
    RemoveAbandonedRewriteTemps(folder);
}

void NewRewriteTempSweep() {
    const QMutexLocker lock(&sweptLock);
    swept.clear();
}
