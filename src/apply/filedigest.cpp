#include "filedigest.h"

#include <QCryptographicHash>
#include <QFile>

#include <sys/stat.h>

FileDigest DigestFile(const QString& path) {
    FileDigest d;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return d;
    struct stat st;
    if (::fstat(file.handle(), &st) != 0 || !S_ISREG(st.st_mode))
        return d;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return d;
    d.ok = true;
    d.size = st.st_size;
    d.sha256 = hash.result();
    d.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return d;
}
