#pragma once

#include <QByteArray>

// The file operations of a write that moves the audio into a new file. A
// test replaces them to make one of them fail; the write must then leave
// the original as it was.
class RewriteFileOps {
public:
    virtual ~RewriteFileOps() = default;
    // pread: bytes read, 0 at the end, -1 on failure.
    virtual qint64 Read(int fd, char* buffer, qint64 count, qint64 offset);
    // Writes all count bytes; false on failure.
    virtual bool Write(int fd, const char* buffer, qint64 count);
    // Copies up to count bytes of from, starting at offset, to where to's
    // writes have got, inside the kernel (copy_file_range: nothing passes
    // through this process, and a file system that can share the blocks
    // does): bytes copied, 0 at the end of from, -1 on failure, or
    // CannotCopy where the kernel does not copy between these two files
    // (the caller reads and writes instead).
    static constexpr qint64 CannotCopy = -2;
    virtual qint64 Copy(int from, int to, qint64 count, qint64 offset);
    // Flushes the file to disk (fsync).
    virtual bool Flush(int fd);
    // Swaps the two names of folder at once (renameat2 with
    // RENAME_EXCHANGE); 0 or the errno.
    virtual int Exchange(int folder, const QByteArray& first, const QByteArray& second);
};

// The operations in use; SetRewriteFileOps(nullptr) restores the real ones.
RewriteFileOps& CurrentRewriteFileOps();
void SetRewriteFileOps(RewriteFileOps* ops);
