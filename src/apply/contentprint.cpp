#include "contentprint.h"

#include "savedregion.h"
#include "tags/descriptorio.h"
#include "tags/pathbytes.h"
#include "tags/tagregion.h"

#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <xxhash.h>

namespace {

QByteArray littleEndian(qint64 value) {
    QByteArray bytes(8, '\0');
    for (int i = 0; i < 8; ++i)
        bytes[i] = char(quint64(value) >> (8 * i));
    return bytes;
}

// The first read of a file: the header and, for most tags, the whole front.
constexpr qint64 FirstRead = 16 << 10;
// A file up to this size is read whole, in one call: about the bytes its
// parts would take, in a third of the calls.
constexpr qint64 ReadWholeUpTo = 64 << 10;

} // namespace

PrintSpan PrintSpanOf(qint64 size, qint64 region) {
    PrintSpan span;
    span.frontEnd = std::min(size, region + PrintBlock);
    span.backStart = std::max(span.frontEnd, size - PrintTail);
    return span;
}

QByteArray RegionPageDigests(QByteArrayView region) {
    QByteArray digests;
    digests.reserve((region.size() + SavedRegion::PageSize - 1) / SavedRegion::PageSize *
                    SavedRegion::PageDigestSize);
    for (qint64 at = 0; at < region.size(); at += SavedRegion::PageSize) {
        const QByteArrayView page =
            region.sliced(at, std::min(SavedRegion::PageSize, region.size() - at));
        char d[SavedRegion::PageDigestSize];
        qToLittleEndian(quint64(XXH3_64bits(page.data(), size_t(page.size()))), d);
        digests.append(d, sizeof d);
    }
    return digests;
}

namespace {

QByteArray printOf(qint64 size, qint64 region, const QByteArray& regionDigests,
                   QByteArrayView afterRegion, QByteArrayView back) {
    // The sizes go in first, so that no two splits of the bytes hash alike.
    ContentHash hash;
    hash.addData(littleEndian(size));
    hash.addData(littleEndian(region));
    hash.addData(regionDigests);
    hash.addData(littleEndian(afterRegion.size()));
    hash.addData(afterRegion);
    hash.addData(littleEndian(back.size()));
    hash.addData(back);
    return hash.result();
}

qint64 regionOf(QByteArrayView front, qint64 size) {
    return Id3v2RegionSize(front.first(std::min<qint64>(front.size(), 10)), size);
}

} // namespace

QByteArray PrintOfParts(qint64 size, QByteArrayView front, QByteArrayView back) {
    const qint64 region = regionOf(front, size);
    return printOf(size, region, RegionPageDigests(front.first(region)), front.sliced(region),
                   back);
}

QByteArray PrintWithRegion(qint64 size, QByteArrayView region, QByteArrayView afterRegion,
                           QByteArrayView back, const QByteArray& regionDigests) {
    const qint64 pages = (region.size() + SavedRegion::PageSize - 1) / SavedRegion::PageSize;
    const bool made = regionDigests.size() == pages * SavedRegion::PageDigestSize;
    return printOf(size, region.size(), made ? regionDigests : RegionPageDigests(region),
                   afterRegion, back);
}

QByteArray PrintOfContent(QByteArrayView content) {
    const qint64 size = content.size();
    const PrintSpan span =
        PrintSpanOf(size, Id3v2RegionSize(content.first(std::min<qint64>(size, 10)), size));
    return PrintOfParts(size, content.first(span.frontEnd), content.sliced(span.backStart));
}

QByteArray PrintOfReader(qint64 size, const ContentReader& read) {
    QByteArray start(std::min<qint64>(size, 10), Qt::Uninitialized);
    if (!read(0, start.size(), start.data()))
        return {};
    const PrintSpan span = PrintSpanOf(size, Id3v2RegionSize(start, size));
    QByteArray front(span.frontEnd, Qt::Uninitialized);
    QByteArray back(size - span.backStart, Qt::Uninitialized);
    if (!read(0, front.size(), front.data()) || !read(span.backStart, back.size(), back.data()))
        return {};
    return PrintOfParts(size, front, back);
}

QByteArray PrintedFile::last(qint64 count) const {
    const qint64 size = digest.size;
    count = std::min(count, size);
    if (size - count >= backStart)
        return back.right(count);
    // front and back meet: the file is short
    return (front + back).right(count);
}

bool PrintedFile::copyOut(qint64 offset, qint64 count, char* out) const {
    if (!digest.ok || offset < 0 || count < 0)
        return false;
    if (offset + count <= front.size()) {
        std::memcpy(out, front.constData() + offset, size_t(count));
        return true;
    }
    if (offset >= backStart && offset + count <= backStart + back.size()) {
        std::memcpy(out, back.constData() + (offset - backStart), size_t(count));
        return true;
    }
    return false;
}

PrintedFile PrintOpenFile(int fd) {
    PrintedFile p;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
        return p;
    const qint64 size = st.st_size;
    p.front.resize(size <= ReadWholeUpTo ? size : FirstRead);
    if (!ReadAllAt(fd, p.front.data(), p.front.size(), 0))
        return p;
    p.region = Id3v2RegionSize(p.front, size);
    const PrintSpan span = PrintSpanOf(size, p.region);
    const qint64 had = p.front.size();
    p.backStart = span.backStart;
    if (had == size) {
        p.back = p.front.sliced(span.backStart);
        p.front.truncate(span.frontEnd);
    } else {
        p.front.resize(span.frontEnd);
        if (span.frontEnd > had && !ReadAllAt(fd, p.front.data() + had, span.frontEnd - had, had))
            return p;
        p.back.resize(size - span.backStart);
        if (!ReadAllAt(fd, p.back.data(), p.back.size(), span.backStart))
            return p;
    }
    p.regionDigests = RegionPageDigests(QByteArrayView(p.front).first(p.region));
    p.digest.ok = true;
    p.digest.size = size;
    p.digest.mtimeNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    p.digest.identity = FileIdentity::of(st);
    p.digest.digest =
        printOf(size, p.region, p.regionDigests, QByteArrayView(p.front).sliced(p.region), p.back);
    return p;
}

PrintedFile PrintFileAt(const QString& path) {
    const int fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    PrintedFile p = PrintOpenFile(fd);
    ::close(fd);
    return p;
}
