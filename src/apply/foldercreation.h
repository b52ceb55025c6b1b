#pragma once

#include <QStringList>

// The longest folder path that folder creation accepts.
inline constexpr qsizetype MaxFolderPathLength = 2047;

// The levels of folder that do not exist yet, top first, each spelt as the
// path up to its closing "/". Returns false when the folder cannot be made:
// an empty path (which would mean the root), a path longer than
// MaxFolderPathLength, a level that exists as something other than a
// folder, or text that names no path (see pathBytes). A folder that exists
// already gives true and no levels.
bool MissingFolderLevels(const QString& folder, QStringList& missing);

// Creates the folder with every missing level. On success, created (when
// given) holds the levels that this call made, top first.
bool CreateFolderLevels(const QString& folder, QStringList* created = nullptr);
