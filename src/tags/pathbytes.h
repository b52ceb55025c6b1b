#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// File names on Linux are bytes, not text: "caf\xe9.mp3" from an old
// collection is a valid name that is no valid UTF-8. The program keeps paths
// as QString; these two functions are the one mapping between the two, and
// every path that reaches the file system goes through pathBytes (never
// QFile::encodeName, which turns such a name into another one, nor QFile,
// QFileInfo or QDir, which encode the same way).
//
// Valid UTF-8 decodes as usual; each byte that is not part of a valid
// sequence becomes the lone surrogate U+DC00 + byte (U+DC80..U+DCFF), as
// Python's "surrogateescape" does. No valid UTF-8 decodes to a lone
// surrogate, so two different names never give the same text. In JSON such a
// unit is written as "\udce9".

// The path as text; never fails.
QString pathFromBytes(QByteArrayView bytes);

// The exact bytes of path; a null QByteArray when the text is no file name
// that pathFromBytes could have given: a NUL, a lone surrogate outside
// U+DC80..U+DCFF, or escaped bytes that together spell valid UTF-8 (the name
// would read back as other text). A null result reaches the system as "",
// which names no file, so a caller that passes it on acts on nothing.
QByteArray pathBytes(const QString& path);

// The bytes to print for text that holds paths: names exactly as on disk, so
// a terminal shows them as `ls` does; what pathBytes refuses is printed as
// U+FFFD. For messages and reports, never for the file system.
QByteArray printableBytes(const QString& text);

// The folder part of a path as text: everything before its last "/" ("/"
// for a file in the root; "" for a path without "/").
QString folderOfPath(const QString& path);
// The text after the last "/".
QString nameOfPath(const QString& path);

// The path with every symbolic link, "." and ".." resolved by the kernel
// (realpath); empty when it does not exist.
QString resolvedPath(const QString& path);

// A path that Qt decoded on its own (a file dialog, QFileInfo): each byte
// that was no UTF-8 became U+FFFD and the name may now spell another file's
// name. Gives the exact path when it names one entry without doubt: the
// path as it stands when it holds no U+FFFD, else the one entry of its
// folder whose name Qt decodes to the same text. Empty when there is no
// such entry or more than one (both "caf\xe9.mp3" and "caf\uFFFD.mp3").
QString exactPathOfDecoded(const QString& decoded);
