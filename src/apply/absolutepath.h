#pragma once

#include <QStringList>

// A path made absolute against the working folder, as the kernel would take
// it: "." components and doubled "/" go, ".." stays (after a symbolic link
// it leads elsewhere than the text suggests). An absolute path stays as it
// is but for the same cleaning.
QString AbsolutePath(const QString& path);
// The same against workingFolder (absolute and clean, as QDir::currentPath()
// gives it): a batch asks for the working folder once, not once a file. A
// path with no ".", ".." or empty part is only joined to it.
QString AbsolutePath(const QString& path, const QString& workingFolder);
// AbsolutePath of each path.
QStringList AbsolutePaths(const QStringList& paths);

// The same file or folder for comparing paths: the deepest existing folder
// of the path resolved by the file system (links and ".." followed), the
// rest cleaned as text.
QString ResolvedPathKey(const QString& path);
