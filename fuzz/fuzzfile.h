#pragma once

#include <QByteArray>
#include <QString>

// The tag layer works on files: each fuzz input is written to one file in a
// folder of this process's own (on a memory file system where there is one).
QString FuzzFilePath();
bool WriteFuzzFile(const QString& path, const uint8_t* data, size_t size);
QByteArray ReadFuzzFile(const QString& path);
// Removes the files a write may leave beside the fuzz file.
void ClearFuzzFolder();
