#include "changedbytes.h"

#include <algorithm>
#include <cstring>

ChangedBytes ChangedBytesOf(QByteArrayView now, QByteArrayView was) {
    // A block at a time first: a cover of 100 KB compared a byte at a time
    // took as long as the rest of the write.
    constexpr qint64 Block = 256;
    const char* a = now.data();
    const char* b = was.data();
    qint64 end = std::min(now.size(), was.size());
    qint64 first = 0;
    while (first + Block <= end && std::memcmp(a + first, b + first, Block) == 0)
        first += Block;
    while (first < end && a[first] == b[first])
        ++first;
    while (end - Block >= first && std::memcmp(a + end - Block, b + end - Block, Block) == 0)
        end -= Block;
    while (end > first && a[end - 1] == b[end - 1])
        --end;
    return {first, end};
}
