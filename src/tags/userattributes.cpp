#include "tags/userattributes.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

// The whole value or name list that get(buffer, size) gives, sized by a
// first call; -1 with errno on failure.
template <typename Get> ssize_t readList(QByteArray& out, Get get) {
    for (;;) {
        const ssize_t size = get(nullptr, 0);
        if (size <= 0)
            return size;
        out.resize(size);
        const ssize_t got = get(out.data(), size_t(size));
        if (got >= 0) {
            out.resize(got);
            return got;
        }
        if (errno != ERANGE) // grown in between: ask again
            return -1;
    }
}

} // namespace

int copyUserAttributes(int from, int to) {
    QByteArray names;
    if (readList(names, [from](char* b, size_t n) { return ::flistxattr(from, b, n); }) < 0)
        return errno == ENOTSUP ? 0 : errno;
    for (qsizetype at = 0; at < names.size();) {
        const char* name = names.constData() + at;
        at += qsizetype(std::strlen(name)) + 1;
        if (std::strncmp(name, "user.", 5) != 0)
            continue;
        QByteArray value;
        if (readList(value, [from, name](char* b, size_t n) {
                return ::fgetxattr(from, name, b, n);
            }) < 0) {
            if (errno == ENODATA) // removed in between
                continue;
            return errno;
        }
        if (::fsetxattr(to, name, value.constData(), size_t(value.size()), 0) != 0)
            return errno;
    }
    return 0;
}

int copyFileAttributes(int from, int to) {
    struct stat st;
    if (::fstat(from, &st) != 0)
        return errno;
    // Only root may give the file away; a member of its group may still
    // give it its group. Either may fail without harm to the content.
    if (::fchown(to, st.st_uid, st.st_gid) != 0)
        (void)::fchown(to, uid_t(-1), st.st_gid);
    // After the owner: a change of owner clears the set-id bits.
    if (::fchmod(to, st.st_mode & 07777) != 0)
        return errno;
    // The access list: without it a mode of rw-rw---- would give the owning
    // group the rights that the list's mask gave named users and groups. A
    // list that the copy inherited from its folder goes where the file had
    // none.
    static const char acl[] = "system.posix_acl_access";
    QByteArray value;
    if (readList(value, [from](char* b, size_t n) { return ::fgetxattr(from, acl, b, n); }) > 0)
        (void)::fsetxattr(to, acl, value.constData(), size_t(value.size()), 0);
    else
        (void)::fremovexattr(to, acl);
    return copyUserAttributes(from, to);
}
