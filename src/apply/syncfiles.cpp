#include "syncfiles.h"

#include "filedigest.h"
#include "parallelfor.h"

#include <linux/magic.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <map>

namespace {

// Enough flushes in flight for the disk to take them as one; more threads
// only cost their start.
constexpr int SyncThreads = 8;

// A few seconds of writing on a slow disk at most, and many groups of
// restored tags.
constexpr qint64 MostUnwrittenForSyncfs = 64 << 20;

} // namespace

QList<int> SyncTogether(const QList<int>& fds, const std::function<bool(int)>& sync) {
    QList<int> errors(fds.size(), 0);
    ParallelForOnOwnThreads(int(fds.size()), SyncThreads, [&](int i) {
        errors[i] = sync(fds[i]) ? 0 : (errno != 0 ? errno : EIO);
    });
    return errors;
}

QList<int> SyncByFileSystem(const QList<int>& fds, const std::function<bool(int)>& syncWhole,
                            const std::function<bool(int)>& sync) {
    std::map<dev_t, QList<qsizetype>> byDevice;
    QList<qsizetype> oneByOne;
    for (qsizetype i = 0; i < fds.size(); ++i) {
        struct stat st {};
        if (::fstat(fds[i], &st) == 0)
            byDevice[st.st_dev] << i;
        else
            oneByOne << i;
    }
    QList<int> errors(fds.size(), 0);
    for (const auto& [device, files] : byDevice) {
        const qsizetype first = files.first();
        if (!syncWhole(fds[first])) {
            oneByOne << files;
        } else if (!sync(fds[first])) {
            // Its own failure, told once: a second flush of it would pass.
            errors[first] = errno != 0 ? errno : EIO;
            oneByOne << files.mid(1);
        }
    }
    QList<int> left;
    for (const qsizetype i : oneByOne)
        left << fds[i];
    const QList<int> leftErrors = SyncTogether(left, sync);
    for (qsizetype k = 0; k < oneByOne.size(); ++k)
        errors[oneByOne[k]] = leftErrors[k];
    return errors;
}

bool SyncfsFlushesFiles(long fileSystemType, qint64 unwrittenBytes, const char* kernelRelease) {
    int major = 0, minor = 0;
    if (std::sscanf(kernelRelease, "%d.%d", &major, &minor) != 2 ||
        (major < 5 || (major == 5 && minor < 17)))
        return false;
    if (unwrittenBytes < 0 || unwrittenBytes > MostUnwrittenForSyncfs)
        return false;
    switch (fileSystemType) {
    case EXT4_SUPER_MAGIC: // ext2 and ext3 too
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    // Not F2FS: its sync step returns 0 without a checkpoint once it has
    // stopped writing them after an error.
    case TMPFS_MAGIC: // nothing to flush either way
        return true;
    default:
        return false;
    }
}

qint64 UnwrittenBytes() {
    QByteArray info;
    if (!ReadSmallFile(QStringLiteral("/proc/meminfo"), info))
        return -1;
    qint64 bytes = 0;
    int found = 0;
    for (const QByteArray& line : info.split('\n')) {
        if (!line.startsWith("Dirty:") && !line.startsWith("Writeback:"))
            continue;
        const QList<QByteArray> parts = line.simplified().split(' ');
        bool ok = false;
        const qint64 kb = parts.value(1).toLongLong(&ok);
        if (!ok || parts.value(2) != "kB")
            return -1;
        bytes += kb * 1024;
        ++found;
    }
    return found == 2 ? bytes : -1;
}
