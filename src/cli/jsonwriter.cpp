#include "jsonwriter.h"

#include <QChar>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <utility>

namespace {

constexpr char hexDigits[] = "0123456789abcdef";

// \uXXXX; returns the position after it.
char* putEscape(char* o, char16_t u) {
    *o++ = '\\';
    *o++ = 'u';
    for (int shift = 12; shift >= 0; shift -= 4)
        *o++ = hexDigits[(u >> shift) & 0xF];
    return o;
}

// Writes the escaped form of an ASCII unit; returns the position after it.
char* putAscii(char* o, char16_t u) {
    if (u >= 0x20 && u != u'"' && u != u'\\') {
        *o++ = char(u);
        return o;
    }
    *o++ = '\\';
    switch (u) {
    case u'"':
        *o++ = '"';
        break;
    case u'\\':
        *o++ = '\\';
        break;
    case u'\b':
        *o++ = 'b';
        break;
    case u'\f':
        *o++ = 'f';
        break;
    case u'\n':
        *o++ = 'n';
        break;
    case u'\r':
        *o++ = 'r';
        break;
    case u'\t':
        *o++ = 't';
        break;
    default:
        return putEscape(o - 1, u);
    }
    return o;
}

char* putUtf8(char* o, char32_t c) {
    if (c < 0x800) {
        *o++ = char(0xC0 | (c >> 6));
    } else if (c < 0x10000) {
        *o++ = char(0xE0 | (c >> 12));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
    } else {
        *o++ = char(0xF0 | (c >> 18));
        *o++ = char(0x80 | ((c >> 12) & 0x3F));
        *o++ = char(0x80 | ((c >> 6) & 0x3F));
    }
    *o++ = char(0x80 | (c & 0x3F));
    return o;
}

// Writes text as a JSON string at o, which has room for 6 * size + 2
// bytes (\u00XX is six a unit); returns the position after it.
char* putString(char* o, QStringView text) {
    *o++ = '"';
    const char16_t* p = text.utf16();
    const char16_t* const end = p + text.size();
    while (p < end) {
        const char16_t u = *p++;
        if (u < 0x80) {
            o = putAscii(o, u);
        } else if (!QChar::isSurrogate(u)) {
            o = putUtf8(o, u);
        } else if (QChar::isHighSurrogate(u) && p < end && QChar::isLowSurrogate(*p)) {
            o = putUtf8(o, QChar::surrogateToUcs4(u, *p++));
        } else {
            o = putEscape(o, u);
        }
    }
    *o++ = '"';
    return o;
}

char* putString(char* o, QLatin1StringView text) {
    *o++ = '"';
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        o = u < 0x80 ? putAscii(o, u) : putUtf8(o, u);
    }
    *o++ = '"';
    return o;
}

template <typename Text> void appendTo(QByteArray& out, Text text) {
    const qsizetype start = out.size();
    out.resize(start + 6 * text.size() + 2);
    char* const begin = out.data() + start;
    out.truncate(start + (putString(begin, text) - begin));
}

} // namespace

JsonWriter::JsonWriter(int level) : m_level(level) {}

void JsonWriter::appendString(QByteArray& out, QStringView text) {
    appendTo(out, text);
}

void JsonWriter::appendString(QByteArray& out, QLatin1StringView text) {
    appendTo(out, text);
}

char* JsonWriter::room(qsizetype n) {
    if (m_size + n > m_out.size())
        m_out.resize(std::max(2 * m_out.size(), m_size + n + 2048));
    char* at = m_out.data() + m_size;
    m_size += n;
    return at;
}

void JsonWriter::put(const char* bytes, qsizetype n) {
    std::memcpy(room(n), bytes, size_t(n));
}

QByteArray JsonWriter::take() {
    m_out.truncate(m_size);
    m_size = 0;
    m_hasMembers.clear();
    m_afterKey = false;
    return std::exchange(m_out, QByteArray());
}

void JsonWriter::newLine(int level, bool comma) {
    // ",", a line break and up to 32 levels of indentation in one piece.
    static const QByteArray breaks = ",\n" + QByteArray(4 * 32, ' ');
    const qsizetype skip = comma ? 0 : 1;
    put(breaks.constData() + skip, 2 - skip + 4 * std::min(level, 32));
}

// Before a value, or a member's key: the separator and the indentation of
// an element of the array or object being written.
void JsonWriter::beforeValue() {
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_hasMembers.empty())
        return;
    const bool comma = m_hasMembers.back();
    m_hasMembers.back() = true;
    newLine(m_level + int(m_hasMembers.size()), comma);
}

void JsonWriter::open(char bracket) {
    beforeValue();
    put(&bracket, 1);
    m_hasMembers.push_back(false);
}

void JsonWriter::close(char bracket) {
    m_hasMembers.pop_back();
    newLine(m_level + int(m_hasMembers.size()), false);
    put(&bracket, 1);
}

void JsonWriter::beginObject() {
    open('{');
}

void JsonWriter::endObject() {
    close('}');
}

void JsonWriter::beginArray() {
    open('[');
}

void JsonWriter::endArray() {
    close(']');
}

JsonWriter& JsonWriter::key(const char* name) {
    beforeValue();
    const qsizetype n = qsizetype(std::strlen(name));
    char* o = room(n + 4);
    *o++ = '"';
    std::memcpy(o, name, size_t(n));
    std::memcpy(o + n, "\": ", 3);
    m_afterKey = true;
    return *this;
}

JsonWriter& JsonWriter::key(QStringView name) {
    string(name);
    put(": ", 2);
    m_afterKey = true;
    return *this;
}

void JsonWriter::string(QStringView text) {
    beforeValue();
    const qsizetype most = 6 * text.size() + 2;
    char* const begin = room(most);
    m_size -= most - (putString(begin, text) - begin);
}

void JsonWriter::string(QLatin1StringView text) {
    beforeValue();
    const qsizetype most = 6 * text.size() + 2;
    char* const begin = room(most);
    m_size -= most - (putString(begin, text) - begin);
}

void JsonWriter::boolean(bool value) {
    beforeValue();
    if (value)
        put("true", 4);
    else
        put("false", 5);
}

void JsonWriter::number(qint64 value) {
    beforeValue();
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    put(digits, end - digits);
}

void JsonWriter::stringArray(const QStringList& texts) {
    beginArray();
    for (const QString& text : texts)
        string(text);
    endArray();
}

void WriteFieldValues(JsonWriter& json, const FieldValues& values) {
    // The keys as text, in sorted order, made once.
    struct Key {
        int field;
        QByteArray name;
    };
    static const std::array<Key, FieldCount> sorted = [] {
        std::array<Key, FieldCount> keys{};
        for (int f = 0; f < FieldCount; ++f)
            keys[size_t(f)] = {f, fieldKey(f).toLatin1()};
        std::sort(keys.begin(), keys.end(),
                  [](const Key& a, const Key& b) { return a.name < b.name; });
        return keys;
    }();
    json.beginObject();
    for (const Key& key : sorted)
        json.key(key.name.constData()).string(values[size_t(key.field)]);
    json.endObject();
}
