#include "originalbytes.h"

#include "tags/tagregion.h"

#include <limits>

OriginalBytes ReadOriginalBytes(const QString& path) {
    OriginalBytes o;
    ContentHash hash;
    QByteArray last; // the last 128 bytes read so far
    qint64 region = -1;
    qint64 total = 0;
    auto piece = [&](QByteArrayView chunk) {
        hash.addData(chunk);
        // The header is in the first piece; a region said to end past the
        // end of the file ends with it.
        if (region < 0)
            region = Id3v2RegionSize(chunk, std::numeric_limits<qint64>::max());
        if (total < region)
            o.head.append(chunk.first(qMin<qint64>(chunk.size(), region - total)));
        last = chunk.size() >= 128 ? chunk.last(128).toByteArray()
                                   : (last + chunk.toByteArray()).right(128);
        total += chunk.size();
    };
    if (!ReadWholeFile(path, piece, o.digest))
        return OriginalBytes();
    o.digest.ok = true;
    o.digest.digest = hash.result();
    if (total >= 128 && last.startsWith("TAG"))
        o.v1 = last;
    return o;
}
