#pragma once

#include "tags/fileidentity.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <functional>
#include <memory>

// How the journal recognises a file's content: a 128-bit XXH3 hash. It has
// to notice a file changed by someone else, or a rebuild that came out
// wrong; nobody forges MP3 files against it. It runs at memory speed, where
// a cryptographic digest of a large file took longer than moving its audio.
// Journals written by earlier versions keep 32-byte BLAKE2b digests: the
// length of a stored digest says which hash made it.
class ContentHash {
public:
    static constexpr qsizetype DigestSize = 16;
    static constexpr qsizetype LegacyDigestSize = 32; // BLAKE2b-256

    // Hashes as a stored digest of digestSize bytes was made; a size that no
    // version wrote gives XXH3, which then matches nothing.
    explicit ContentHash(qsizetype digestSize = DigestSize);
    ~ContentHash();
    ContentHash(const ContentHash&) = delete;
    ContentHash& operator=(const ContentHash&) = delete;

    void addData(QByteArrayView data);
    QByteArray result() const;

private:
    struct State;
    std::unique_ptr<State> d;
};

// The size, digest and modification time of a file's content.
struct FileDigest {
    bool ok = false;
    qint64 size = 0;
    QByteArray digest;
    qint64 mtimeNs = 0;
    FileIdentity identity; // the file opened, as it was when opened
};

// Reads a regular file from start to end in large pieces, handing each to
// piece; fills size (bytes read), mtimeNs and identity of digest, not its
// hash. False when the file cannot be opened or read, or is not a regular
// file.
bool ReadWholeFile(const QString& path, const std::function<void(QByteArrayView)>& piece,
                   FileDigest& digest);
// The whole of a small regular file into bytes (what was read before a
// failure stays there); false when it cannot be opened or read.
bool ReadSmallFile(const QString& path, QByteArray& bytes);

// digestSize as for ContentHash: to compare with a stored digest, pass its
// size.
FileDigest DigestFile(const QString& path, qsizetype digestSize = ContentHash::DigestSize);
