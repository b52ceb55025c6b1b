#include "tags/rewritetemp.h"

#include "tags/pathbytes.h"

#include <QMutex>
#include <QSet>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

// Removes the file name in folder when it is a temporary file that nobody
// writes: no process holds its lock and it begins as one of ours does. The
// lock is taken for the test and kept till the file is gone. Opened for
// writing: NFS takes an exclusive lock only so. Where the file system takes
// no lock at all, the process id has told already. (A writer of another PID
// namespace whose file is so new that it holds no lock yet loses it to this
// sweep: its write then fails, and nothing else is lost.)
bool RemoveIfAbandoned(int folder, const char* name) {
    const int fd = ::openat(folder, name, O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool abandoned = false;
    struct stat st;
    const bool held = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    if (!held && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        unsigned char start[3] = {};
        const ssize_t got = st.st_size == 0 ? 0 : ::pread(fd, start, sizeof start, 0);
        abandoned = st.st_size == 0 || (got == 3 && std::memcmp(start, "ID3", 3) == 0) ||
                    (got >= 2 && start[0] == 0xFF && (start[1] & 0xE0) == 0xE0);
    }
    const bool removed = abandoned && ::unlinkat(folder, name, 0) == 0;
    ::close(fd);
    return removed;
}

} // namespace

int HoldRewriteTemp(int fd) {
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0)
        return -1;
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

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
        if (ProcessGone(WriterOf(entry->d_name)) && RemoveIfAbandoned(::dirfd(dir), entry->d_name))
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
