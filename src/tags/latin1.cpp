#include "tags/latin1.h"

QString Latin1ToWide(const char* bytes, qsizetype count) {
    // QString::fromLatin1 maps byte b to unit b, embedded zeros included.
    return QString::fromLatin1(bytes, count);
}

QByteArray WideToLatin1(const QString& text, bool* allFit) {
    QByteArray out(text.size(), '\0');
    bool fit = true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (unit > 0xFF) {
            fit = false;
            out[i] = '?';
        } else {
            out[i] = static_cast<char>(unit);
        }
    }
    if (allFit)
        *allFit = fit;
    return out;
}
