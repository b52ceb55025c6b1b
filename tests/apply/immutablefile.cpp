#include "immutablefile.h"

#include <QFile>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

bool setImmutable(const QString& path, bool on) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

} // namespace

bool ImmutableFile::protect(const QString& path) {
    release();
    if (::geteuid() == 0) {
        if (!setImmutable(path, true))
            return false;
        m_attribute = true;
    } else if (!QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup)) {
        return false;
    }
    m_path = path;
    return true;
}

void ImmutableFile::release() {
    if (m_path.isEmpty())
        return;
    if (m_attribute)
        setImmutable(m_path, false);
    else
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup);
    m_path.clear();
    m_attribute = false;
}
