#pragma once

#include <QString>

// The track value as a number of at least two digits: the leading decimal
// integer of value (0 when there is none, saturated to 32 bits) printed with
// leading zeros, so "1/14" gives "01" and "- 3" gives "00". A value without
// any digit 0 to 9 ("", "abc") gives the empty text.
QString FormatTrackNumber(const QString& value);
