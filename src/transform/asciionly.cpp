#include "asciionly.h"

#include <algorithm>

namespace {

// Characters that have no decomposition to ASCII but an obvious ASCII stand-in.
char16_t asciiStandIn(char32_t ucs4) {
    switch (ucs4) {
    case 0x00C6: // Æ
        return u'A';
    case 0x00E6: // æ
        return u'a';
    case 0x00D0: // Ð
    case 0x0110: // Đ
        return u'D';
    case 0x00F0: // ð
    case 0x0111: // đ
        return u'd';
    case 0x00D8: // Ø
    case 0x0152: // Œ
        return u'O';
    case 0x00F8: // ø
    case 0x0153: // œ
        return u'o';
    case 0x00DE: // Þ
    case 0x0166: // Ŧ
        return u'T';
    case 0x00FE: // þ
    case 0x0167: // ŧ
        return u't';
    case 0x00DF: // ß
        return u's';
    case 0x0141: // Ł
        return u'L';
    case 0x0142: // ł
        return u'l';
    case 0x0126: // Ħ
        return u'H';
    case 0x0127: // ħ
        return u'h';
    case 0x0131: // dotless i
        return u'i';
    case 0x00AB: // «
    case 0x2039: // ‹
        return u'<';
    case 0x00BB: // »
    case 0x203A: // ›
        return u'>';
    case 0x2018:
    case 0x2019:
    case 0x201A:
    case 0x2032:
        return u'\'';
    case 0x201C:
    case 0x201D:
    case 0x201E:
    case 0x2033:
        return u'"';
    case 0x2010:
    case 0x2011:
    case 0x2012:
    case 0x2013:
    case 0x2014:
    case 0x2212:
        return u'-';
    default:
        return u'?';
    }
}

bool isCombiningMark(char32_t ucs4) {
    switch (QChar::category(ucs4)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
        return true;
    default:
        return false;
    }
}

// The parts of a Hangul syllable as decomposition gives them: a leading
// consonant, a vowel and maybe a trailing consonant.
enum class JamoPart { None, Leading, Vowel, Trailing };
JamoPart jamoPart(char16_t c) {
    if ((c >= 0x1100 && c <= 0x115F) || (c >= 0xA960 && c <= 0xA97F))
        return JamoPart::Leading;
    if ((c >= 0x1160 && c <= 0x11A7) || (c >= 0xD7B0 && c <= 0xD7C6))
        return JamoPart::Vowel;
    if ((c >= 0x11A8 && c <= 0x11FF) || (c >= 0xD7CB && c <= 0xD7FB))
        return JamoPart::Trailing;
    return JamoPart::None;
}

// Appends the ASCII form of decomposed text: ASCII as it is, combining marks
// dropped, a stand-in or "?" for each other character. A Hangul syllable
// (precomposed, or within a compatibility character such as U+326E) is one
// character in the value, and gets one "?" for all of its parts.
void appendAscii(const QString& decomposed, QString& result) {
    JamoPart last = JamoPart::None;
    for (qsizetype i = 0; i < decomposed.size(); ++i) {
        const QChar c = decomposed.at(i);
        const JamoPart part = jamoPart(c.unicode());
        const bool sameSyllable = (part == JamoPart::Vowel && last == JamoPart::Leading) ||
                                  (part == JamoPart::Trailing && last == JamoPart::Vowel);
        last = part;
        if (sameSyllable)
            continue;
        if (c.unicode() < 0x80) {
            result.append(c);
            continue;
        }
        char32_t ucs4 = c.unicode();
        if (c.isHighSurrogate() && i + 1 < decomposed.size() &&
            decomposed.at(i + 1).isLowSurrogate()) {
            ucs4 = QChar::surrogateToUcs4(c, decomposed.at(i + 1));
            ++i;
        }
        if (!isCombiningMark(ucs4))
            result.append(QChar(asciiStandIn(ucs4)));
    }
}

} // namespace

QString ToAsciiOnly(const QString& value) {
    // Most tag text is ASCII already; decomposition is the costly part.
    if (std::all_of(value.cbegin(), value.cend(), [](QChar c) { return c.unicode() < 0x80; }))
        return value.size() > MaxAsciiLength ? QString() : value;
    // Decomposing a whole long value takes time that grows with the square
    // of its length, so it is decomposed piece by piece. A piece may end
    // anywhere but inside a surrogate pair: decomposition never joins
    // characters, and the only characters it reorders are combining marks,
    // which are dropped.
    constexpr qsizetype PieceLength = 256;
    QString result;
    result.reserve(std::min(value.size(), MaxAsciiLength + 1));
    for (qsizetype start = 0; start < value.size();) {
        qsizetype end = std::min(start + PieceLength, value.size());
        if (end < value.size() && value.at(end - 1).isHighSurrogate() &&
            value.at(end).isLowSurrogate())
            ++end;
        // Nor between the parts of a syllable given as its parts (a vowel
        // and a trailing consonant at most follow the leading one).
        for (int part = 0; part < 2 && end < value.size(); ++part, ++end) {
            const JamoPart next = jamoPart(value.at(end).unicode());
            if (next != JamoPart::Vowel && next != JamoPart::Trailing)
                break;
        }
        appendAscii(value.mid(start, end - start).normalized(QString::NormalizationForm_KD),
                    result);
        // Once too long, the result can only fail.
        if (result.size() > MaxAsciiLength)
            return QString();
        start = end;
    }
    return result;
}
