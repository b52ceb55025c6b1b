#include "casechange.h"

#include "profiles/profile.h"

namespace {

char16_t asciiLower(char16_t c) {
    return c >= u'A' && c <= u'Z' ? char16_t(c + (u'a' - u'A')) : c;
}

char16_t asciiUpper(char16_t c) {
    return c >= u'a' && c <= u'z' ? char16_t(c - (u'a' - u'A')) : c;
}

} // namespace

QString ChangeCase(const QString& word, int caseMode) {
    QString result = word;
    char16_t* data = reinterpret_cast<char16_t*>(result.data());
    for (qsizetype i = 0; i < result.size(); ++i) {
        switch (caseMode) {
        case CaseLower:
            data[i] = asciiLower(data[i]);
            break;
        case CaseUpper:
            data[i] = asciiUpper(data[i]);
            break;
        default:
            data[i] = i == 0 ? asciiUpper(data[i]) : asciiLower(data[i]);
            break;
        }
    }
    return result;
}
