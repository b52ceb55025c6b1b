#include "tags/diagnostics.h"
#include "tags/framelayout.h"
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

// Whether a version 3 reader finds a frame at the start of bytes, with
// either size form (a reader may choose either).
bool ReadsAsFrame(const QByteArray& bytes) {
    for (const bool synchsafe : {false, true}) {
        FrameInfo frame;
        if (frame.ReadFrame(bytes, 0, FrameLayout{3, synchsafe}, false) >= 0)
            return true;
    }
    return false;
}

// The tag's size: the old space when the frames fit it, else room for
// later edits without another move.
qint64 PlannedSize(bool hasV2, qint64 available, qint64 needed) {
    return hasV2 && needed <= available ? available : std::max<qint64>(needed + 100, 512);
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
    qint64 needed = 10;
    for (const FrameInfo& frame : frames) {
        frame.WriteFrame(frameBytes);
        needed += frame.EstimatedSize();
    }
    const qint64 available = hasV2 ? regionSize - 10 : 0;
    // Bytes kept from a frame that could not be read go back after the
    // frames, unless a reader would then misread the tag: the padding after
    // them could make a frame of them (one that replaces a frame written
    // here), or, as the frames no longer line up to the padding, a reader
    // could take their sizes for synchsafe ones.
    QByteArray remainder = unparsed;
    if (!remainder.isEmpty()) {
        const qint64 padding = PlannedSize(hasV2, available, needed + remainder.size()) -
                               frameBytes.size() - remainder.size();
        const QByteArray rest = remainder + QByteArray(padding, '\0');
        if (ReadsAsFrame(rest) || ChooseFrameLayout(3, frameBytes + rest, 0).synchsafeSizes)
            remainder.clear();
    }
    needed += remainder.size();
    frameBytes.append(remainder);
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
        size = PlannedSize(false, 0, needed);
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
    unparsed = remainder;
    hasV2 = true;
    tagSize = static_cast<qint32>(size);
    regionSize = 10 + size;
    version = 3;
    return 0;
}
