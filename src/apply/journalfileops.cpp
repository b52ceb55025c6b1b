#include "journalfileops.h"

#include "syncfiles.h"
#include "tags/descriptorio.h"

#include <atomic>
#include <cerrno>
#include <sys/utsname.h>
#include <sys/vfs.h>
#include <unistd.h>

bool JournalFileOps::append(int fd, QByteArrayView bytes) {
    return WriteAll(fd, bytes.data(), bytes.size());
}

bool JournalFileOps::writeAt(int fd, QByteArrayView bytes, qint64 offset) {
    return WriteAllAt(fd, bytes.data(), bytes.size(), offset);
}

bool JournalFileOps::sync(int fd) {
    return ::fdatasync(fd) == 0;
}

bool JournalFileOps::syncFile(int fd) {
    return ::fsync(fd) == 0;
}

bool JournalFileOps::syncFileSystem(int fd) {
    static const QByteArray release = [] {
        struct utsname system {};
        return ::uname(&system) == 0 ? QByteArray(system.release) : QByteArray();
    }();
    struct statfs fs {};
    if (::fstatfs(fd, &fs) != 0)
        return false;
    if (!SyncfsFlushesFiles(long(fs.f_type), UnwrittenBytes(), release.constData())) {
        errno = EOPNOTSUPP;
        return false;
    }
    return ::syncfs(fd) == 0;
}

namespace {
JournalFileOps defaultOps;
std::atomic<JournalFileOps*> currentOps{&defaultOps};
} // namespace

JournalFileOps& currentJournalFileOps() {
    return *currentOps.load();
}

void setJournalFileOps(JournalFileOps* ops) {
    currentOps = ops ? ops : &defaultOps;
}
