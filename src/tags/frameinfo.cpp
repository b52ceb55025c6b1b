#include "tags/frameinfo.h"

#include "tags/latin1.h"
#include "tags/synchsafe.h"
#include "tags/textcodec.h"

#include <algorithm>
#include <cstring>

void FrameInfo::SetLatin1(const char* bytes, int count) {
    text = count > 0 ? Latin1ToWide(bytes, count) : QString();
}

void FrameInfo::SetWide(const char16_t* units, int count) {
    text = count > 0 ? QString(reinterpret_cast<const QChar*>(units), count) : QString();
}

void FrameInfo::SetId(const char* newId) {
    std::memset(id, 0, sizeof id);
    for (int i = 0; i < 4 && newId[i]; ++i)
        id[i] = newId[i];
}

bool FrameInfo::IsId(const char* other) const {
    return std::strcmp(id, other) == 0;
}

bool FrameInfo::IsTextFrame() const {
    return id[0] == 'T' && !IsId("TXXX");
}

qsizetype FrameInfo::WriteFrame(QByteArray& out) const {
    if (IsPseudoFrame())
        return 0;
    QByteArray body;
    if (hasRaw) {
        body = raw;
    } else {
        if (text.isEmpty())
            return 0;
        bool allFit = false;
        const QByteArray latin1 = WideToLatin1(text, &allFit);
        body = allFit ? QByteArray(1, char(EncodingLatin1)) + latin1
                      : QByteArray(1, char(EncodingUtf16)) + EncodeUtf16WithMark(text);
    }
    // Version 3 frame sizes are plain 32-bit big-endian, so every reader
    // finds the frames that follow.
    out.append(id, 4);
    out.append(EncodeBigEndian32(static_cast<quint32>(body.size())));
    out.append(static_cast<char>(flags >> 8)).append(static_cast<char>(flags & 0xFF));
    out.append(body);
    return 10 + body.size();
}

qsizetype FrameInfo::WrittenBodySize() const {
    if (IsPseudoFrame())
        return 0;
    if (hasRaw)
        return raw.size();
    if (text.isEmpty())
        return 0;
    const bool allFit =
        std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() <= 0xFF; });
    // An encoding byte, then Latin-1, or a byte-order mark and UTF-16.
    return 1 + (allFit ? text.size() : 2 + 2 * text.size());
}

qint64 FrameInfo::EstimatedSize() const {
    if (hasRaw)
        return 10 + raw.size();
    return text.isEmpty() ? 0 : 2 * qint64(text.size()) + 13;
}
