#include "tags/v24frames.h"

#include "tags/synchsafe.h"
#include "tags/unsync.h"
#include "tags/zlibinflate.h"

namespace {

// Format flags of a version 2.4 frame header (its second byte).
constexpr quint8 V24Grouped = 0x40;
constexpr quint8 V24Compressed = 0x08;
constexpr quint8 V24Encrypted = 0x04;
constexpr quint8 V24Unsynchronised = 0x02;
constexpr quint8 V24LengthIndicator = 0x01;

} // namespace

QByteArray ConvertV24FrameBody(quint16 flags24, const QByteArray& body, bool tagUnsync,
                               quint16* flags23, qsizetype inflateLimit) {
    const quint8 status = flags24 >> 8;
    const quint8 format = flags24 & 0xFF;
    const bool grouped = format & V24Grouped;
    const bool compressed = format & V24Compressed;
    const bool encrypted = format & V24Encrypted;
    const bool unsynchronised = format & V24Unsynchronised;
    const bool lengthIndicator = format & V24LengthIndicator;

    // The format flags go along even when the body is too short for what
    // they announce: such a body stays opaque when it is read back.
    *flags23 = static_cast<quint16>(((status << 1) & 0xE0) << 8) |
               (compressed ? FrameFlagCompressed : 0) | (encrypted ? FrameFlagEncrypted : 0) |
               (grouped ? FrameFlagGrouped : 0);
    const QByteArray data = (unsynchronised || tagUnsync) ? RemoveUnsynchronisation(body) : body;

    qsizetype pos = 0;
    QByteArray group, method, size;
    if (grouped)
        group = data.mid(pos++, 1);
    if (encrypted)
        method = data.mid(pos++, 1);
    if (lengthIndicator) {
        if (pos + 4 > data.size())
            return data;
        qint32 length = DecodeSynchsafe(data.constData() + pos);
        if (length < 0)
            length = static_cast<qint32>(DecodeBigEndian(data.constData() + pos, 4));
        size = EncodeBigEndian32(static_cast<quint32>(length));
        pos += 4;
    }
    if (pos > data.size())
        return data;
    if (compressed && !lengthIndicator && !encrypted) {
        // Without its size in front, a version 3 reader would take the
        // first bytes of the zlib data for it.
        if (const auto inflated = InflateZlib(QByteArrayView(data).sliced(pos), inflateLimit))
            size = EncodeBigEndian32(static_cast<quint32>(inflated->size()));
    }
    // Version 3 order: decompressed size, encryption method, group.
    return (compressed ? size : QByteArray()) + method + group + data.mid(pos);
}

namespace {

FrameInfo TextFrame(const char* id, const QString& text) {
    FrameInfo f;
    f.SetId(id);
    f.SetWide(text);
    return f;
}

bool AllDigits(const QString& s) {
    for (QChar c : s) {
        if (!c.isDigit())
            return false;
    }
    return !s.isEmpty();
}

} // namespace

bool ConvertV24OnlyFrame(const FrameInfo& frame, std::vector<FrameInfo>& replacement) {
    const bool recording = frame.IsId("TDRC");
    if ((!recording && !frame.IsId("TDOR")) || frame.text.isEmpty())
        return false;
    // The first value only (several are joined by "/"):
    // yyyy[-MM[-dd[THH[:mm[:ss]]]]].
    const QString stamp = frame.text.section(QChar(0), 0, 0).section(QLatin1Char('/'), 0, 0);
    const QString year = stamp.left(4);
    if (year.size() != 4 || !AllDigits(year))
        return false;
    replacement.push_back(TextFrame(recording ? "TYER" : "TORY", year));
    if (!recording)
        return true;
    const QString month = stamp.mid(5, 2), day = stamp.mid(8, 2);
    if (AllDigits(month) && month.size() == 2 && AllDigits(day) && day.size() == 2)
        replacement.push_back(TextFrame("TDAT", day + month));
    const QString hour = stamp.mid(11, 2), minute = stamp.mid(14, 2);
    if (AllDigits(hour) && hour.size() == 2 && AllDigits(minute) && minute.size() == 2)
        replacement.push_back(TextFrame("TIME", hour + minute));
    return true;
}
