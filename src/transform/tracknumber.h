#pragma once

#include <QString>

// The track value as a number of at least two digits: the leading decimal
// integer of value (0 when there is none, saturated to 32 bits) printed with
// leading zeros, so "1/14" gives "01" and "" gives "00".
QString FormatTrackNumber(const QString& value);
