#include "originalbytes.h"

#include "contentprint.h"

OriginalBytes ReadOriginalBytes(const QString& path) {
    PrintedFile printed = PrintFileAt(path);
    if (!printed.digest.ok)
        return OriginalBytes();
    OriginalBytes o;
    o.digest = printed.digest;
    const QByteArray last = printed.last(128);
    if (last.size() == 128 && last.startsWith("TAG"))
        o.v1 = last;
    // The print's front holds the whole region; taken, not copied.
    o.head = std::move(printed.front);
    o.head.truncate(printed.region);
    o.headDigests = std::move(printed.regionDigests);
    return o;
}
