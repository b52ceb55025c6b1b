#include "tags/tagrewrite.h"

#include "tags/rewritefileops.h"
#include "tags/rewritetemp.h"

#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd = -1;
    ~Descriptor() { Close(); }
    bool Close() {
        const bool ok = fd < 0 || ::close(fd) == 0;
        fd = -1;
        return ok;
    }
};

bool CopyRange(RewriteFileOps& ops, int from, int to, qint64 start, qint64 end) {
    std::vector<char> buffer(1 << 16);
    for (qint64 offset = start; offset < end;) {
        const qint64 want = std::min<qint64>(qint64(buffer.size()), end - offset);
        const qint64 got = ops.Read(from, buffer.data(), want, offset);
        if (got <= 0 || !ops.Write(to, buffer.data(), got))
            return false;
        offset += got;
    }
    return true;
}

void FlushFolder(const QString& folder) {
    Descriptor dir;
    dir.fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd >= 0)
        ::fsync(dir.fd);
}

} // namespace

bool RewriteWithNewTag(const QString& path, const QByteArray& tag, qint64 audioStart,
                       qint64 audioEnd) {
    // Rename over the file itself, not over a link that points to it.
    const QString target = QFileInfo(path).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const QFileInfo info(target);
    Descriptor source;
    source.fd = ::open(QFile::encodeName(target).constData(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (source.fd < 0 || ::fstat(source.fd, &st) != 0)
        return false;

    // A short name of its own, so a file name near the length limit still
    // leaves room for it. What a killed earlier write left here goes first.
    RemoveAbandonedRewriteTemps(info.absolutePath());
    QByteArray tempName = RewriteTempPattern(info.absolutePath());
    Descriptor temp;
    temp.fd = ::mkostemp(tempName.data(), O_CLOEXEC);
    if (temp.fd < 0)
        return false;
    const QString tempPath = QFile::decodeName(tempName);

    RewriteFileOps& ops = CurrentRewriteFileOps();
    bool ok = ::fchmod(temp.fd, st.st_mode & 07777) == 0;
    if (ok && ::fchown(temp.fd, st.st_uid, st.st_gid) != 0) {
        // Only the owner's group may be kept by a user who does not own it;
        // the permissions are what matters.
    }
    ok = ok && ops.Write(temp.fd, tag.constData(), tag.size()) &&
         CopyRange(ops, source.fd, temp.fd, audioStart, audioEnd) && ops.Flush(temp.fd);
    ok = temp.Close() && ok;
    ok = ok && ops.Rename(tempPath, target);
    if (!ok) {
        ::unlink(tempName.constData());
        return false;
    }
    FlushFolder(info.absolutePath());
    return true;
}
