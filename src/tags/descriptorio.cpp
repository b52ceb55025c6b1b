#include "tags/descriptorio.h"

#include <cerrno>
#include <sys/file.h>
#include <unistd.h>

namespace {

// Bytes read at offset until count or the end of the file; -1 on an error.
qint64 readUpTo(int fd, char* out, qint64 count, qint64 offset) {
    qint64 done = 0;
    while (done < count) {
        const ssize_t got = ::pread(fd, out + done, size_t(count - done), offset + done);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return done > 0 ? done : -1;
        if (got == 0)
            break;
        done += got;
    }
    return done;
}

// Hands the bytes not yet written to put(from, size, done) until all are
// written; false with errno set (EIO when put writes nothing).
template <typename Put> bool writeFully(const char* data, qint64 count, Put put) {
    for (qint64 done = 0; done < count;) {
        const ssize_t n = put(data + done, size_t(count - done), done);
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

} // namespace

QByteArray ReadAt(int fd, qint64 offset, qint64 count) {
    QByteArray bytes(count, Qt::Uninitialized);
    bytes.truncate(qMax<qint64>(0, readUpTo(fd, bytes.data(), count, offset)));
    return bytes;
}

bool ReadAllAt(int fd, char* out, qint64 count, qint64 offset) {
    return readUpTo(fd, out, count, offset) == count;
}

bool WriteAll(int fd, const char* data, qint64 count) {
    return writeFully(data, count, [fd](const char* from, size_t size, qint64) {
        return ::write(fd, from, size);
    });
}

bool WriteAllAt(int fd, const char* data, qint64 count, qint64 offset) {
    return writeFully(data, count, [fd, offset](const char* from, size_t size, qint64 done) {
        return ::pwrite(fd, from, size, offset + done);
    });
}

bool LockForWriting(int fd) {
    for (int waited = 0; ::flock(fd, LOCK_EX | LOCK_NB) != 0; waited += 5) {
        if ((errno != EWOULDBLOCK && errno != EINTR) || waited >= 5000)
            return false;
        ::usleep(5000);
    }
    return true;
}
