#pragma once

#include <QByteArrayView>
#include <QtGlobal>

// The file operations of the undo journal's writer, and the flush of the
// files undo restores. A test replaces them to make one fail, or to look at
// the files at the moment the journal is flushed: no file may be touched
// before its record is durable, and none marked as restored before its
// bytes are.
class JournalFileOps {
public:
    virtual ~JournalFileOps() = default;
    // Writes all of bytes at the descriptor's position; false with errno set
    // on failure.
    virtual bool append(int fd, QByteArrayView bytes);
    // Writes all of bytes at offset (the journal's byte file, from several
    // threads at once); false with errno set on failure.
    virtual bool writeAt(int fd, QByteArrayView bytes, qint64 offset);
    // Makes what was written durable (fdatasync); false with errno set.
    virtual bool sync(int fd);
    // Makes a restored file durable, its times too (fsync); may run on
    // several threads at once; false with errno set.
    virtual bool syncFile(int fd);
    // Makes all restored files on fd's file system durable at once
    // (syncfs), where that is as sure as syncFile on each: on local disk
    // file systems, on kernels whose syncfs reports failures, while little
    // else waits to be written. False with errno set when it failed, or
    // EOPNOTSUPP where it is not done; each file is then flushed by
    // syncFile.
    virtual bool syncFileSystem(int fd);
};

// The operations in use; setJournalFileOps(nullptr) restores the real ones.
JournalFileOps& currentJournalFileOps();
void setJournalFileOps(JournalFileOps* ops);
