#include "casechange.h"

#include "charclass.h"
#include "profiles/profile.h"

QString ChangeCase(const QString& word, int caseMode) {
    QString result = word;
    char16_t* data = reinterpret_cast<char16_t*>(result.data());
    for (qsizetype i = 0; i < result.size(); ++i) {
        const bool pair = QChar::isHighSurrogate(data[i]) && i + 1 < result.size() &&
                          QChar::isLowSurrogate(data[i + 1]);
        const char32_t ucs4 = pair ? QChar::surrogateToUcs4(data[i], data[i + 1]) : data[i];
        // QChar's mappings are the one-to-one ones: a character whose case
        // form is longer ("ß", "İ") maps to itself and stays as it is.
        const bool upper = caseMode == CaseUpper || (caseMode != CaseLower && i == 0);
        // What word splitting counts as punctuation (the micro sign, the
        // ordinal indicators) has no case to change: "µ" stays no Greek "Μ".
        const char32_t mapped = ClassifyCharacter(ucs4) == CharClass::Neutral ? ucs4
                                : upper                                       ? QChar::toUpper(ucs4)
                                        : QChar::toLower(ucs4);
        // A form that would take another number of UTF-16 units stays too.
        if (QChar::requiresSurrogates(mapped) != pair)
            continue;
        if (pair) {
            data[i] = QChar::highSurrogate(mapped);
            data[++i] = QChar::lowSurrogate(mapped);
        } else {
            data[i] = char16_t(mapped);
        }
    }
    return result;
}
