#include "tags/tagregion.h"

#include "tags/pathbytes.h"
#include "tags/tagheader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The bytes of the file at path from offset (from its end when negative),
// up to count; the file's size in size.
QByteArray readPart(const QString& path, qint64 offset, qint64 count, qint64& size) {
    size = 0;
    const int fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return QByteArray();
    struct stat st {};
    QByteArray bytes;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        size = st.st_size;
        const qint64 at = offset < 0 ? size + offset : offset;
        if (at >= 0) {
            bytes.resize(count);
            const ssize_t got = ::pread(fd, bytes.data(), size_t(count), at);
            bytes.resize(got > 0 ? got : 0);
        }
    }
    ::close(fd);
    return bytes;
}

} // namespace

qint64 Id3v2RegionSize(const QString& path) {
    qint64 size = 0;
    const QByteArray start = readPart(path, 0, 10, size);
    return Id3v2RegionSize(start, size);
}

qint64 Id3v2RegionSize(QByteArrayView start, qint64 fileSize) {
    TagHeader header;
    if (start.size() < 10 || !ParseTagHeader(start.first(10).toByteArray(), &header) ||
        header.size < 0)
        return 0;
    return std::min(header.regionSize(), fileSize);
}

bool HasId3v1(const QString& path) {
    qint64 size = 0;
    return readPart(path, -128, 3, size) == "TAG";
}
