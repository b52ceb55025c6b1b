#include "tags/userattributes.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <sys/xattr.h>

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
