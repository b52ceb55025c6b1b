#pragma once

#include <QString>

// A path made absolute against the working folder, as the kernel would take
// it: "." components and doubled "/" go, ".." stays as the kernel resolves
// it (after a symbolic link it leads elsewhere than the text suggests): the
// part up to the last ".." is resolved by the file system, and where that
// part does not exist the ".." is left for the kernel. The bytes of every
// name are kept (see pathBytes).
QString AbsolutePath(const QString& path);

// The same file or folder for comparing paths: the deepest existing folder
// of the path resolved by the file system (links and ".." followed), the
// rest as AbsolutePath gives it.
QString ResolvedPathKey(const QString& path);
