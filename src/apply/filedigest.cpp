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
    QCryptographicHash hash(FileDigestAlgorithm);
    // Large reads: the device overload reads 4 KB at a time.
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const qint64 got = file.read(buffer.data(), buffer.size());
        if (got < 0)
            return d;
        if (got == 0)
            break;
        hash.addData(QByteArrayView(buffer.constData(), got));
    }
    d.ok = true;
    d.size = st.st_size;
    d.digest = hash.result();
    d.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return d;
}
