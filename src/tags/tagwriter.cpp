#include "tags/diagnostics.h"
#include "tags/synchsafe.h"
#include "tags/tagheader.h"
#include "tags/taginfo.h"
#include "tags/tagrewrite.h"

#include <QFile>

namespace {

constexpr qint64 MaxTagSize = 0x0FFFFFFF; // what a synchsafe size can hold

QByteArray HeaderBytes(qint64 size) {
    return QByteArray("ID3\x03\x00\x00", 6) + EncodeSynchsafe(static_cast<quint32>(size));
}

} // namespace

int TagInfo::Write() {
    if (path.isEmpty()) {
        TagDiagnostic("Use read first\n");
        return -1;
    }
    // Where the read refused the tag its extent is unknown: writing a new
    // tag in front of it would bury the old one in the audio.
    if (readRefused)
        return -1;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return -1;
    // The file must still be as it was read.
    TagHeader header;
    const bool tagThere = ParseTagHeader(file.read(10), &header);
    if (tagThere != hasV2 || (hasV2 && header.regionSize() != regionSize))
        return -1;
    const qint64 length = file.size();
    if (hasV1 && (!file.seek(length - 128) || file.read(3) != "TAG"))
        return -1;

    QByteArray frameBytes;
    qint64 needed = 10 + unparsed.size();
    for (const FrameInfo& frame : frames) {
        frame.WriteFrame(frameBytes);
        needed += frame.EstimatedSize();
    }
    frameBytes.append(unparsed);
    const qint64 available = hasV2 ? regionSize - 10 : 0;
    const bool dropV1 = removeV1 && hasV1 && length - 128 >= regionSize;

    qint64 size = available;
    if (hasV2 && needed <= available) {
        // The frames fit: only the tag's bytes change.
        QByteArray tag = HeaderBytes(size) + frameBytes;
        tag.append(10 + size - tag.size(), '\0');
        if (!file.seek(0) || file.write(tag) != tag.size() || !file.flush())
            return -1;
        if (dropV1 && !file.resize(length - 128))
            return -1;
    } else {
        // Room for later edits without another move.
        size = std::max<qint64>(needed + 100, 512);
        if (size > MaxTagSize)
            return -1;
        QByteArray tag = HeaderBytes(size) + frameBytes;
        tag.append(10 + size - tag.size(), '\0');
        file.close();
        if (!RewriteWithNewTag(path, tag, regionSize, dropV1 ? length - 128 : length))
            return -1;
    }
    if (dropV1)
        hasV1 = false;
    hasV2 = true;
    tagSize = static_cast<qint32>(size);
    regionSize = 10 + size;
    version = 3;
    return 0;
}
