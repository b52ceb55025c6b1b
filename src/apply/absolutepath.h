#pragma once

#include <QStringList>

// A path made absolute against the working folder, as the kernel takes it
// once Apply has made the folders it names: "." components and doubled "/"
// go; ".." is followed as the file system resolves it where the folders
// exist (after a symbolic link it leads elsewhere than the text suggests)
// and taken back as text below the deepest existing level, where the
// folders will be real ones. Where a level exists but cannot be passed (a
// file, a dangling link) the ".." is left for the kernel to refuse. The
// bytes of every name are kept (see pathBytes).
QString AbsolutePath(const QString& path);
// The same against workingFolder (as WorkingFolder gives it): a batch asks
// for the working folder once, not once a file. A path with no ".", ".."
// or empty part is only joined to it.
QString AbsolutePath(const QString& path, const QString& workingFolder);
// The working folder, its bytes kept (see pathBytes).
QString WorkingFolder();
// AbsolutePath of each path.
QStringList AbsolutePaths(const QStringList& paths);

// The same file or folder for comparing paths: the deepest existing folder
// of the path resolved by the file system (links and ".." followed), the
// rest as AbsolutePath gives it.
QString ResolvedPathKey(const QString& path);

// One spelling for one folder entry: the path with its folder resolved by
// the file system and its own name as given (a link there is not
// followed). Empty when the folder does not exist.
QString ResolvedEntryPath(const QString& path);
