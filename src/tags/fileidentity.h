#pragma once

#include <QtGlobal>

struct stat;

// Which file a path named when it was read, and whether its content may have
// changed since: another program that writes it changes its size or
// modification time, one that replaces it changes the inode. The change
// time moves with any write too, also where an editor puts the
// modification time back afterwards.
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = -1;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;

    static FileIdentity of(const struct stat& st);
    bool isKnown() const { return size >= 0; }
    // The same file, whatever its content now: one spelt through a linked
    // folder, or another name (hard link) of it.
    bool sameFileAs(const FileIdentity& other) const {
        return isKnown() && other.isKnown() && device == other.device && inode == other.inode;
    }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
