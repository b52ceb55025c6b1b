#include "originalbytes.h"

#include "tags/tagregion.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

OriginalBytes ReadOriginalBytes(const QString& path) {
    OriginalBytes o;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return o;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return o;
    }
    ContentHash hash;
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    QByteArray last; // the last 128 bytes read so far
    qint64 region = -1;
    qint64 total = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            ::close(fd);
            return o;
        }
        if (got == 0)
            break;
        const QByteArrayView chunk(buffer.constData(), got);
        hash.addData(chunk);
        if (region < 0) // the header is in the first read of a regular file
            region = Id3v2RegionSize(chunk, st.st_size);
        if (total < region)
            o.head.append(chunk.first(qMin<qint64>(got, region - total)));
        last = got >= 128 ? chunk.last(128).toByteArray() : (last + chunk.toByteArray()).right(128);
        total += got;
    }
    ::close(fd);
    o.digest.ok = true;
    o.digest.size = total;
    o.digest.digest = hash.result();
    o.digest.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    if (total >= 128 && last.startsWith("TAG"))
        o.v1 = last;
    return o;
}
