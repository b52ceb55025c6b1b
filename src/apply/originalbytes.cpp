#include "originalbytes.h"

#include "contentprint.h"

OriginalBytes ReadOriginalBytes(const QString& path) {
    PrintedFile printed = PrintFileAt(path);
    if (!printed.digest.ok)
        return OriginalBytes();
    OriginalBytes o;
    o.digest = printed.digest;
    // The print's front holds the whole region.
    o.head = printed.front.left(printed.region);
    const QByteArray last = printed.last(128);
    if (last.size() == 128 && last.startsWith("TAG"))
        o.v1 = last;
    return o;
}
