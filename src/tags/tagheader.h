#pragma once

#include <QByteArray>

// The 10-byte ID3v2 header at the start of a file.
struct TagHeader {
    int major = 0;
    int revision = 0;
    int flags = 0;
    qint32 size = -1; // bytes after the header (footer excluded); -1 invalid

    static constexpr int Unsynchronisation = 0x80;
    static constexpr int ExtendedHeader = 0x40; // compression in version 2.2
    static constexpr int Experimental = 0x20;
    static constexpr int Footer = 0x10;

    bool hasFooter() const { return major == 4 && (flags & Footer); }
    // Header, tag, and footer when there is one.
    qint64 regionSize() const { return 10 + qint64(size) + (hasFooter() ? 10 : 0); }
};

// True when bytes begin with "ID3" and hold the ten header bytes.
bool ParseTagHeader(const QByteArray& bytes, TagHeader* header);
