#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// The tag layer's diagnostic lines go to standard output; a caller that
// needs standard output for itself (JSON output) sends them elsewhere.
void TagDiagnostic(const char* line);
// The same line about the file at path: where file names are asked for,
// it goes out as "<name>: <line>", so that among the lines of a batch read
// on several threads each says which file it is about.
void TagDiagnostic(const QString& path, const char* line);
void SetTagDiagnosticStream(std::FILE* stream);
// How a file is named in diagnostic lines (the bytes to print for path);
// nullptr, the default, names none: the lines stand as they are.
using TagDiagnosticNamer = QByteArray (*)(const QString& path);
void SetTagDiagnosticNamer(TagDiagnosticNamer namer);
