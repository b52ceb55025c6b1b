#pragma once

#include <QString>

// Values converted to ASCII longer than this fail as a whole and become empty.
constexpr qsizetype MaxAsciiLength = 2047;

// The ANSI-only conversion: compatibility decomposition, combining marks
// dropped, a few letters without a decomposition mapped to one ASCII letter,
// and "?" for every other character outside ASCII (one "?" per character,
// whether it takes one or two UTF-16 units). Time grows linearly with the
// value's length, and the conversion stops as soon as the result is longer
// than MaxAsciiLength.
QString ToAsciiOnly(const QString& value);
