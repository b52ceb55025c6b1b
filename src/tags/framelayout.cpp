#include "tags/framelayout.h"

#include "tags/synchsafe.h"
#include "tags/v22ids.h"

#include <cstring>

qint64 FrameLayout::BodySize(const char* header) const {
    if (version == 2)
        return DecodeBigEndian(header + 3, 3);
    if (synchsafeSizes)
        return DecodeSynchsafe(header + 4);
    return DecodeBigEndian(header + 4, 4);
}

bool IsValidFrameId(const char* id, int size) {
    for (int i = 0; i < size; ++i) {
        const char c = id[i];
        if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

QByteArray HeaderFrameId(const char* header) {
    if (IsValidFrameId(header, 4))
        return QByteArray(header, 4);
    if (!IsValidFrameId(header, 3) || (header[3] != '\0' && header[3] != ' '))
        return {};
    const QByteArray id = MapV22Id(QByteArray(header, 3));
    return id == "APIC" || id == "LINK" ? QByteArray() : id;
}

namespace {

bool hasFrameId(const char* header, const FrameLayout& layout) {
    if (layout.version == 2 || IsValidFrameId(header, 4)) // the common case, without a copy
        return IsValidFrameId(header, layout.idSize());
    return !HeaderFrameId(header).isEmpty();
}

} // namespace

bool FramesLineUp(const QByteArray& tag, qsizetype start, const FrameLayout& layout) {
    qsizetype pos = start;
    while (pos < tag.size() && tag[pos] != '\0') {
        if (pos + layout.headerSize() > tag.size())
            return false;
        const char* header = tag.constData() + pos;
        if (!hasFrameId(header, layout))
            return false;
        const qint64 size = layout.BodySize(header);
        if (size < 0 || size > tag.size() - pos - layout.headerSize())
            return false;
        pos += layout.headerSize() + size;
    }
    // Padding is zeros to the end: a 0 byte inside a frame that the wrong
    // size form lands on is no end of the frames. (Bytes all zero: the first
    // is, and each equals the one after it.)
    const char* padding = tag.constData() + pos;
    const qsizetype length = tag.size() - pos;
    return length <= 0 ||
           (padding[0] == '\0' && std::memcmp(padding, padding + 1, size_t(length - 1)) == 0);
}

FrameLayout ChooseFrameLayout(int version, const QByteArray& tag, qsizetype start) {
    FrameLayout preferred{version, version == 4};
    if (version == 2 || FramesLineUp(tag, start, preferred))
        return preferred;
    const FrameLayout other{version, version != 4};
    return FramesLineUp(tag, start, other) ? other : preferred;
}
