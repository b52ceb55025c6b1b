#include "tracknumber.h"

#include <algorithm>
#include <limits>

namespace {

// Reads like the C library's integer conversion: white space, a sign, digits.
int leadingInteger(const QString& value) {
    qsizetype i = 0;
    while (i < value.size() && value.at(i).isSpace())
        ++i;
    bool negative = false;
    if (i < value.size() && (value.at(i) == QLatin1Char('-') || value.at(i) == QLatin1Char('+'))) {
        negative = value.at(i) == QLatin1Char('-');
        ++i;
    }
    constexpr qint64 limit = qint64(std::numeric_limits<int>::max()) + 1;
    qint64 magnitude = 0;
    for (; i < value.size(); ++i) {
        const char16_t c = value.at(i).unicode();
        if (c < u'0' || c > u'9')
            break;
        magnitude = qMin(magnitude * 10 + (c - u'0'), limit);
    }
    if (negative)
        return int(-magnitude);
    return int(qMin(magnitude, qint64(std::numeric_limits<int>::max())));
}

} // namespace

QString FormatTrackNumber(const QString& value) {
    // A value without a digit is no track number: "00" would put one into a
    // file that had none.
    if (std::none_of(value.cbegin(), value.cend(),
                     [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }))
        return QString();
    const int number = leadingInteger(value);
    // "%02d": a minus sign counts as one of the two positions.
    if (number >= 0 && number < 10)
        return QLatin1Char('0') + QString::number(number);
    return QString::number(number);
}
