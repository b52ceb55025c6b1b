#pragma once

#include <QByteArray>

// Reads and writes at an offset of an open descriptor, retried on EINTR and
// continued after short transfers, so that no caller loops on its own.

// Up to count bytes at offset: fewer at the end of the file or on an error.
QByteArray ReadAt(int fd, qint64 offset, qint64 count);

// Exactly count bytes at offset into out; false when the file ends first or
// a read fails.
bool ReadAllAt(int fd, char* out, qint64 count, qint64 offset);

// All count bytes at the descriptor's position; false with errno set (EIO
// when the system writes nothing).
bool WriteAll(int fd, const char* data, qint64 count);

// All count bytes at offset; false with errno set (EIO when the system
// writes nothing).
bool WriteAllAt(int fd, const char* data, qint64 count, qint64 offset);
