#include "jsonline.h"

namespace {

void appendEscaped(QByteArray& out, const QString& text) {
    static const char hex[] = "0123456789abcdef";
    out += '"';
    const char16_t* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = s[i];
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += char(c);
            } else if (c < 0x20) {
                out += "\\u00";
                out += hex[c >> 4];
                out += hex[c & 15];
            } else {
                out += char(c);
            }
        } else if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1])) {
            out += QString(reinterpret_cast<const QChar*>(s + i), 2).toUtf8();
            ++i;
        } else if (QChar::isSurrogate(c)) {
            // A byte of a name that is no UTF-8: kept as its escape.
            out += "\\u";
            for (int shift = 12; shift >= 0; shift -= 4)
                out += hex[(c >> shift) & 15];
        } else {
            out += QString(QChar(c)).toUtf8();
        }
    }
    out += '"';
}

} // namespace

void JsonLine::key(const char* key) {
    if (m_bytes.size() > 1)
        m_bytes += ',';
    m_bytes += '"';
    m_bytes += key;
    m_bytes += "\":";
}

JsonLine& JsonLine::add(const char* k, const QString& value) {
    key(k);
    appendEscaped(m_bytes, value);
    return *this;
}

JsonLine& JsonLine::add(const char* k, const char* value) {
    return add(k, QString::fromLatin1(value));
}

JsonLine& JsonLine::add(const char* k, qint64 value) {
    key(k);
    m_bytes += QByteArray::number(value);
    return *this;
}

JsonLine& JsonLine::add(const char* k, bool value) {
    key(k);
    m_bytes += value ? "true" : "false";
    return *this;
}

JsonLine& JsonLine::addJson(const char* k, const QByteArray& value) {
    key(k);
    m_bytes += value;
    return *this;
}

QByteArray JsonLine::string(const QString& text) {
    QByteArray out;
    appendEscaped(out, text);
    return out;
}

QByteArray JsonLine::finish() {
    m_bytes += "}\n";
    return m_bytes;
}
