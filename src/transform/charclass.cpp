#include "charclass.h"

#include <QChar>

CharClass ClassifyCharacter(char32_t ucs4) {
    if (ucs4 < 0x80) { // the common case, without a table lookup
        if (ucs4 >= u'a' && ucs4 <= u'z')
            return CharClass::Lower;
        if (ucs4 >= u'A' && ucs4 <= u'Z')
            return CharClass::Upper;
        if (ucs4 == u' ' || ucs4 == u'-' || ucs4 == u'_')
            return CharClass::Separator;
        return CharClass::Neutral; // digits, punctuation, controls
    }
    // The ordinal indicators and the micro sign count as punctuation.
    if (ucs4 == 0x00AA || ucs4 == 0x00BA || ucs4 == 0x00B5)
        return CharClass::Neutral;
    if (QChar::isLetterOrNumber(ucs4)) {
        if (QChar::isLower(ucs4))
            return CharClass::Lower;
        if (QChar::isUpper(ucs4))
            return CharClass::Upper;
        return CharClass::Neutral;
    }
    if (ucs4 == u' ' || ucs4 == u'-' || ucs4 == u'_')
        return CharClass::Separator;
    return CharClass::Neutral;
}
