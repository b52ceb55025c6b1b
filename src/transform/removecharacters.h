#pragma once

#include <QString>

// Removes every occurrence of the given characters, keeping the order of the rest.
void RemoveCharacters(QString& value, QStringView characters);

// What the Location output may not hold; "/" (the path separator) and ":" stay.
inline constexpr QStringView LocationRemovedCharacters = u"\\*?\"<>";
// What the Filename output may not hold, so that names stay valid on any file system.
inline constexpr QStringView FilenameRemovedCharacters = u"/\\:*?\"<>";
