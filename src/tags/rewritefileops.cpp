#include "tags/rewritefileops.h"

#include "tags/descriptorio.h"

#include <cerrno>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

qint64 RewriteFileOps::Read(int fd, char* buffer, qint64 count, qint64 offset) {
    for (;;) {
        const ssize_t n = ::pread(fd, buffer, static_cast<size_t>(count), offset);
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

bool RewriteFileOps::Write(int fd, const char* buffer, qint64 count) {
    return WriteAll(fd, buffer, count);
}

qint64 RewriteFileOps::Copy(int from, int to, qint64 count, qint64 offset) {
    for (;;) {
        loff_t at = offset;
        const ssize_t n = ::copy_file_range(from, &at, to, nullptr, static_cast<size_t>(count), 0);
        if (n >= 0)
            return n;
        if (errno == EINTR)
            continue;
        // Another file system, or one (or a kernel) that does not copy.
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP)
            return CannotCopy;
        return -1;
    }
}

bool RewriteFileOps::Flush(int fd) {
    return ::fsync(fd) == 0;
}

int RewriteFileOps::Exchange(int folder, const QByteArray& first, const QByteArray& second) {
    return ::renameat2(folder, first.constData(), folder, second.constData(), RENAME_EXCHANGE) == 0
               ? 0
               : errno;
}

namespace {
RewriteFileOps defaultOps;
RewriteFileOps* currentOps = &defaultOps;
} // namespace

RewriteFileOps& CurrentRewriteFileOps() {
    return *currentOps;
}

void SetRewriteFileOps(RewriteFileOps* ops) {
    currentOps = ops ? ops : &defaultOps;
}
