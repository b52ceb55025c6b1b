#include "filedigest.h"

#include <QCryptographicHash>
#include <QFile>

#include <cerrno>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

struct ContentHash::State {
    XXH3_state_t* xxh = nullptr;
    std::optional<QCryptographicHash> legacy;
};

ContentHash::ContentHash(qsizetype digestSize) : d(std::make_unique<State>()) {
    if (digestSize == LegacyDigestSize) {
        d->legacy.emplace(QCryptographicHash::Blake2b_256);
        return;
    }
    d->xxh = XXH3_createState();
    if (!d->xxh)
        throw std::bad_alloc();
    XXH3_128bits_reset(d->xxh);
}

ContentHash::~ContentHash() {
    if (d->xxh)
        XXH3_freeState(d->xxh);
}

void ContentHash::addData(QByteArrayView data) {
    if (d->legacy)
        d->legacy->addData(data);
    else
        XXH3_128bits_update(d->xxh, data.data(), size_t(data.size()));
}

QByteArray ContentHash::result() const {
    if (d->legacy)
        return d->legacy->result();
    XXH128_canonical_t canonical;
    XXH128_canonicalFromHash(&canonical, XXH3_128bits_digest(d->xxh));
    return QByteArray(reinterpret_cast<const char*>(canonical.digest), sizeof canonical.digest);
}

FileDigest DigestFile(const QString& path, qsizetype digestSize) {
    FileDigest d;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return d;
    struct stat st;
    if (::fstat(file.handle(), &st) != 0 || !S_ISREG(st.st_mode))
        return d;
    ContentHash hash(digestSize);
    QByteArray buffer(1 << 20, Qt::Uninitialized);
    for (;;) {
        const ssize_t got = ::read(file.handle(), buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
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
