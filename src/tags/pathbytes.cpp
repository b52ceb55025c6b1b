#include "tags/pathbytes.h"

#include <QFile>
#include <QStringList>

#include <algorithm>
#include <dirent.h>
#include <limits.h>
#include <stdlib.h>

namespace {

constexpr char16_t EscapeBase = 0xDC00;
constexpr char16_t Replacement = 0xFFFD;

// The code point of the strict UTF-8 sequence at bytes[i] and its length, or
// length 0 where no valid sequence starts (overlong forms, surrogates and
// values above U+10FFFF are not valid).
std::pair<char32_t, int> decodeOne(QByteArrayView bytes, qsizetype i) {
    const auto at = [&](qsizetype k) { return static_cast<unsigned char>(bytes[i + k]); };
    const unsigned char lead = at(0);
    int length = 0;
    char32_t min = 0;
    char32_t cp = 0;
    if (lead < 0x80)
        return {lead, 1};
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, min = 0x80, cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, min = 0x800, cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, min = 0x10000, cp = lead & 0x07;
    } else {
        return {0, 0};
    }
    if (i + length > bytes.size())
        return {0, 0};
    for (int k = 1; k < length; ++k) {
        if ((at(k) & 0xC0) != 0x80)
            return {0, 0};
        cp = (cp << 6) | (at(k) & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return {0, 0};
    return {cp, length};
}

// Encodes path; lone surrogates outside the escapes become U+FFFD when
// strict is false and fail the whole when it is true.
QByteArray encode(const QString& path, bool strict) {
    // Most paths are ASCII without 0 units: their bytes are their units.
    if (!path.isEmpty() && std::all_of(path.begin(), path.end(), [](QChar c) {
            return c.unicode() != 0 && c.unicode() < 0x80;
        }))
        return path.toLatin1();
    QByteArray out(""); // an empty path is an empty name, not a refusal
    out.reserve(path.size() + path.size() / 4);
    const qsizetype n = path.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = path[i].unicode();
        char32_t cp = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n &&
            QChar::isLowSurrogate(path[i + 1].unicode())) {
            cp = QChar::surrogateToUcs4(u, path[++i].unicode());
        } else if (u >= EscapeBase + 0x80 && u <= EscapeBase + 0xFF) {
            out.append(char(u - EscapeBase));
            continue;
        } else if (QChar::isSurrogate(u) || (u == 0 && strict)) {
            if (strict)
                return QByteArray();
            cp = Replacement;
        }
        char buffer[4];
        int length = 0;
        if (cp < 0x80) {
            buffer[length++] = char(cp);
        } else if (cp < 0x800) {
            buffer[length++] = char(0xC0 | (cp >> 6));
            buffer[length++] = char(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            buffer[length++] = char(0xE0 | (cp >> 12));
            buffer[length++] = char(0x80 | ((cp >> 6) & 0x3F));
            buffer[length++] = char(0x80 | (cp & 0x3F));
        } else {
            buffer[length++] = char(0xF0 | (cp >> 18));
            buffer[length++] = char(0x80 | ((cp >> 12) & 0x3F));
            buffer[length++] = char(0x80 | ((cp >> 6) & 0x3F));
            buffer[length++] = char(0x80 | (cp & 0x3F));
        }
        out.append(buffer, length);
    }
    return out;
}

} // namespace

QString pathFromBytes(QByteArrayView bytes) {
    QString out;
    out.reserve(bytes.size());
    for (qsizetype i = 0; i < bytes.size();) {
        const auto [cp, length] = decodeOne(bytes, i);
        if (length == 0) {
            out.append(QChar(char16_t(EscapeBase + static_cast<unsigned char>(bytes[i]))));
            ++i;
            continue;
        }
        if (QChar::requiresSurrogates(cp)) {
            out.append(QChar(QChar::highSurrogate(cp)));
            out.append(QChar(QChar::lowSurrogate(cp)));
        } else {
            out.append(QChar(char16_t(cp)));
        }
        i += length;
    }
    return out;
}

QByteArray pathBytes(const QString& path) {
    QByteArray bytes = encode(path, true);
    // Escaped bytes next to each other may spell valid UTF-8, which reads
    // back as other text: such text names no file that a listing gives.
    const bool escapes = std::any_of(path.begin(), path.end(), [](QChar c) {
        return c.unicode() >= EscapeBase + 0x80 && c.unicode() <= EscapeBase + 0xFF;
    });
    if (escapes && !bytes.isNull() && pathFromBytes(bytes) != path)
        return QByteArray();
    return bytes;
}

QByteArray printableBytes(const QString& text) {
    return encode(text, false);
}

QString folderOfPath(const QString& path) {
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

QString nameOfPath(const QString& path) {
    return path.mid(path.lastIndexOf(u'/') + 1);
}

QString resolvedPath(const QString& path) {
    const QByteArray bytes = pathBytes(path);
    if (bytes.isEmpty())
        return QString();
    char* resolved = ::realpath(bytes.constData(), nullptr);
    if (!resolved)
        return QString();
    const QString text = pathFromBytes(resolved);
    ::free(resolved);
    return text;
}

QString exactPathOfDecoded(const QString& decoded) {
    if (!decoded.contains(QChar(Replacement)))
        return decoded;
    const bool absolute = decoded.startsWith(u'/');
    QString exact = absolute ? QStringLiteral("/") : QString();
    const QStringList parts = decoded.split(u'/', Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        QString name = part;
        if (part.contains(QChar(Replacement))) {
            DIR* dir =
                ::opendir(pathBytes(exact.isEmpty() ? QStringLiteral(".") : exact).constData());
            if (!dir)
                return QString();
            int matches = 0;
            while (const dirent* entry = ::readdir(dir)) {
                if (QFile::decodeName(entry->d_name) == part) {
                    name = pathFromBytes(entry->d_name);
                    ++matches;
                }
            }
            ::closedir(dir);
            if (matches != 1)
                return QString();
        }
        if (!exact.isEmpty() && !exact.endsWith(u'/'))
            exact += u'/';
        exact += name;
    }
    return exact;
}
