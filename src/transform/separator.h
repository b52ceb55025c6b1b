#pragma once

#include <QString>

// The text put between words: the four names the separator box offers stand
// for their character (or for nothing); any other text is used verbatim.
QString ResolveSeparator(const QString& separatorText);
