#include "filedigest.h"

#include "tags/pathbytes.h"

#include <QCryptographicHash>

#include <cerrno>
#include <fcntl.h>
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

bool ReadWholeFile(const QString& path, const std::function<void(QByteArrayView)>& piece,
                   FileDigest& digest) {
    const int fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    QByteArray buffer(ok ? 1 << 20 : 0, Qt::Uninitialized);
    qint64 total = 0;
    while (ok) {
        const ssize_t got = ::read(fd, buffer.data(), size_t(buffer.size()));
        if (got < 0 && errno == EINTR)
            continue;
        ok = got >= 0;
        if (got <= 0)
            break;
        piece(QByteArrayView(buffer.constData(), got));
        total += got;
    }
    ::close(fd);
    if (ok) {
        digest.size = total;
        digest.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        digest.identity = FileIdentity::of(st);
    }
    return ok;
}

bool ReadSmallFile(const QString& path, QByteArray& bytes) {
    bytes.clear();
    FileDigest read; // its size and time are not needed here
    return ReadWholeFile(
        path, [&bytes](QByteArrayView piece) { bytes.append(piece); }, read);
}

FileDigest DigestFile(const QString& path, qsizetype digestSize) {
    FileDigest d;
    ContentHash hash(digestSize);
    d.ok = ReadWholeFile(
        path, [&hash](QByteArrayView piece) { hash.addData(piece); }, d);
    if (d.ok)
        d.digest = hash.result();
    return d;
}
