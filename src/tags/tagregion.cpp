#include "tags/tagregion.h"

#include "tags/tagheader.h"

#include <QFile>

qint64 Id3v2RegionSize(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return Id3v2RegionSize(file.read(10), file.size());
}

qint64 Id3v2RegionSize(QByteArrayView start, qint64 fileSize) {
    TagHeader header;
    if (start.size() < 10 || !ParseTagHeader(start.first(10).toByteArray(), &header) ||
        header.size < 0)
        return 0;
    return std::min(header.regionSize(), fileSize);
}

bool HasId3v1(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 128 || !file.seek(file.size() - 128))
        return false;
    return file.read(3) == "TAG";
}
