#pragma once

#include <QList>

#include <functional>

// Makes the files (or folders) open as fds durable, all at once: each is
// flushed by sync (fsync; false with errno set) on one of several threads,
// so the disk takes their flushes together. On this machine 64 files
// flushed one after another took about 230 ms, flushed together 4 ms.
// Returns, for each fd, 0 or the errno of its flush.
QList<int> SyncTogether(const QList<int>& fds, const std::function<bool(int)>& sync);

// As SyncTogether, but the files of one file system are first flushed by
// one call of syncWhole (syncfs) on any of them, which writes and commits
// them all at once, and sync of that one file, which then empties the
// disk's write cache where the file system's own sync step leaves it full
// (the ext2 driver's does). Where that fails, or is not done there, each
// file of that file system is flushed by sync after all, so that each gets
// its own outcome (syncfs tells only that some file of the file system
// failed); the one file flushed already keeps the outcome of that flush,
// since the kernel tells a file's write-back failure to one flush only.
QList<int> SyncByFileSystem(const QList<int>& fds, const std::function<bool(int)>& syncWhole,
                            const std::function<bool(int)>& sync);

// Whether syncfs on a file system of this type (statfs's f_type) makes its
// files as durable as fsync on each, and about as soon, on a kernel of this
// release (uname's), while the system holds unwrittenBytes waiting to be
// written (-1: not known).
// - Only local disk file systems: a network or FUSE file system may write
//   its files back without the server or its daemon flushing them, as its
//   fsync would have it do.
// - Only since Linux 5.17: before 5.8 syncfs failed on a bad descriptor
//   only, and until 5.17 it passed over what the file system's own sync
//   step returned.
// - Only while little waits to be written: syncfs writes and waits for
//   every file of the file system, another program's large copy too, where
//   fsync of a small file does not wait for that.
bool SyncfsFlushesFiles(long fileSystemType, qint64 unwrittenBytes, const char* kernelRelease);

// What the system holds waiting to be written to disk (Dirty and Writeback
// of /proc/meminfo), in bytes; -1 when it cannot be read.
qint64 UnwrittenBytes();
