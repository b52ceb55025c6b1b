#include "originalbytes.h"

#include "contentprint.h"
#include "tags/taginfo.h"
#include "tags/tagregion.h"

namespace {

OriginalBytes fromPrint(PrintedFile&& printed) {
    OriginalBytes o;
    o.digest = printed.digest;
    const QByteArray last = printed.last(128);
    if (last.size() == 128 && last.startsWith("TAG"))
        o.v1 = last;
    o.afterHead = printed.front.sliced(printed.region);
    o.back = std::move(printed.back);
    // The print's front holds the whole region; taken, not copied.
    o.head = std::move(printed.front);
    o.head.truncate(printed.region);
    o.headDigests = std::move(printed.regionDigests);
    return o;
}

} // namespace

QByteArray OriginalBytes::printWithRegion(const QByteArray& region) const {
    if (!digest.ok || region.size() != head.size() ||
        Id3v2RegionSize(region, digest.size) != head.size())
        return {};
    return PrintWithRegion(digest.size, region, afterHead, back);
}

OriginalBytes ReadOriginalBytes(const QString& path) {
    PrintedFile printed = PrintFileAt(path);
    if (!printed.digest.ok)
        return OriginalBytes();
    return fromPrint(std::move(printed));
}

OriginalBytes ReadOriginalBytes(const QString& path, TagInfo& tag, int& result,
                                const AudioContent& content) {
    PrintedFile printed = PrintFileAt(path);
    if (!printed.digest.ok) {
        // What stands at the path now, and why it cannot be taken (not a
        // regular file, no permission), from a read of its own.
        result = tag.Read(path);
        return OriginalBytes();
    }
    // The front holds the whole region, as a read of the tag needs it.
    result = tag.ReadBytes(path, printed.digest.identity, printed.front, printed.digest.size,
                           printed.last(128), content);
    return fromPrint(std::move(printed));
}
