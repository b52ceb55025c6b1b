#pragma once

#include <QByteArray>

#include <unistd.h>

// Closes a descriptor when it goes out of scope (-1: nothing to close).
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0)
            ::close(fd);
    }
};

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

// Takes the exclusive lock of the open file, waiting up to five seconds for
// another holder: another Quorvel writer of the same file (a second run on
// the same files) holds it for the length of one write; other programs do
// not take it. False with errno set (EWOULDBLOCK when the wait ran out).
bool LockForWriting(int fd);
