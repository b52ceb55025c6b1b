#include "tags/textcodec.h"

#include "tags/latin1.h"

#include <QStringDecoder>

namespace {

QString DecodeUtf16(const char* bytes, qsizetype count, bool bigEndian) {
    QString out(count / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < count / 2; ++i) {
        const auto a = static_cast<quint8>(bytes[2 * i]);
        const auto b = static_cast<quint8>(bytes[2 * i + 1]);
        out[i] = QChar(bigEndian ? char16_t((a << 8) | b) : char16_t((b << 8) | a));
    }
    return out;
}

} // namespace

QString DecodeText(int encoding, const char* bytes, qsizetype count) {
    switch (encoding) {
    case EncodingUtf16: {
        if (count >= 2) {
            const auto a = static_cast<quint8>(bytes[0]);
            const auto b = static_cast<quint8>(bytes[1]);
            if (a == 0xFE && b == 0xFF)
                return DecodeUtf16(bytes + 2, count - 2, true);
            if (a == 0xFF && b == 0xFE)
                return DecodeUtf16(bytes + 2, count - 2, false);
        }
        return DecodeUtf16(bytes, count, false);
    }
    case EncodingUtf16BE:
        return DecodeUtf16(bytes, count, true);
    case EncodingUtf8: {
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        return decoder(QByteArrayView(bytes, count));
    }
    default:
        return Latin1ToWide(bytes, count);
    }
}

QStringList DecodeTextValues(int encoding, const QByteArray& bytes) {
    QStringList values;
    bool bigEndian = encoding == EncodingUtf16BE;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        qsizetype end = FindTerminator(encoding, bytes, pos);
        if (end < 0)
            end = bytes.size();
        const char* value = bytes.constData() + pos;
        qsizetype count = end - pos;
        if (encoding == EncodingUtf16 && count >= 2) {
            const auto a = static_cast<quint8>(value[0]);
            const auto b = static_cast<quint8>(value[1]);
            if ((a == 0xFE && b == 0xFF) || (a == 0xFF && b == 0xFE)) {
                bigEndian = a == 0xFE;
                value += 2;
                count -= 2;
            }
        }
        values.append(encoding == EncodingUtf16 || encoding == EncodingUtf16BE
                          ? DecodeUtf16(value, count, bigEndian)
                          : DecodeText(encoding, value, count));
        pos = end + TerminatorWidth(encoding);
    }
    while (!values.isEmpty() && values.constLast().isEmpty())
        values.removeLast();
    return values;
}

QByteArray EncodeUtf16WithMark(const QString& text) {
    QByteArray out;
    out.reserve(2 + 2 * text.size());
    out.append('\xFF').append('\xFE');
    for (QChar c : text) {
        out.append(static_cast<char>(c.unicode() & 0xFF));
        out.append(static_cast<char>(c.unicode() >> 8));
    }
    return out;
}

qsizetype FindTerminator(int encoding, const QByteArray& bytes, qsizetype from) {
    if (TerminatorWidth(encoding) == 1)
        return bytes.indexOf('\0', from);
    for (qsizetype i = from; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0')
            return i;
    }
    return -1;
}
