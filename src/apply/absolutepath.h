#pragma once

#include <QString>

// A path made absolute against the working folder, as the kernel would take
// it: "." components and doubled "/" go, ".." stays (after a symbolic link
// it leads elsewhere than the text suggests). An absolute path stays as it
// is but for the same cleaning.
QString AbsolutePath(const QString& path);

// The same file or folder for comparing paths: the deepest existing folder
// of the path resolved by the file system (links and ".." followed), the
// rest cleaned as text.
QString ResolvedPathKey(const QString& path);
