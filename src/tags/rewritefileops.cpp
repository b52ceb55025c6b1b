#include "tags/rewritefileops.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
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

bool RewriteFileOps::Rename(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
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
