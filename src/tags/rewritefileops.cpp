#include "tags/rewritefileops.h"

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
    while (count > 0) {
        const ssize_t n = ::write(fd, buffer, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        buffer += n;
        count -= n;
    }
    return true;
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
