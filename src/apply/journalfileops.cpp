#include "journalfileops.h"

#include <atomic>
#include <cerrno>
#include <unistd.h>

bool JournalFileOps::append(int fd, QByteArrayView bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

bool JournalFileOps::writeAt(int fd, QByteArrayView bytes, qint64 offset) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, size_t(bytes.size() - done), offset + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        done += n;
    }
    return true;
}

bool JournalFileOps::sync(int fd) {
    return ::fdatasync(fd) == 0;
}

bool JournalFileOps::syncFile(int fd) {
    return ::fsync(fd) == 0;
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
