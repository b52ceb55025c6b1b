#include "savedregion.h"

#include "contentprint.h"

#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <xxhash.h>

namespace {

constexpr qint64 Page = SavedRegion::PageSize;
// Smaller frames are kept as they are: a reference would save little.
constexpr qint64 MinReference = 1024;
// The first bytes of a frame body looked for in the original.
constexpr qint64 Anchor = 64;

// A stretch of the original read back from the file: original[begin, end)
// is in the file at begin + shift (once written) or at begin (before).
struct Piece {
    qint64 begin = 0;
    qint64 end = 0;
    qint64 shift = 0;
};

// The stretches of the references that undo reads from the file. In place,
// a byte whose old and new places lie in different pages is left out (kept
// as literal): a cut-off write may have put the new page down and not yet
// the other, or the reverse.
QList<Piece> piecesOf(const SavedRegion& saved) {
    QList<Piece> pieces;
    for (const RegionRef& r : saved.refs) {
        const qint64 shift = r.from - r.at;
        const qint64 end = r.at + r.length;
        if (!saved.inPlace) {
            pieces.append({r.at, end, shift});
            continue;
        }
        if (shift >= Page || -shift >= Page)
            continue;
        // Within each page, the offsets whose shifted place is in that page.
        const qint64 low = std::max<qint64>(0, -shift), high = std::min(Page, Page - shift);
        for (qint64 page = r.at / Page * Page; page < end; page += Page) {
            const qint64 b = std::max(r.at, page + low), e = std::min(end, page + high);
            if (b < e)
                pieces.append({b, e, shift});
        }
    }
    return pieces;
}

quint64 digestOf(QByteArrayView bytes) {
    return XXH3_64bits(bytes.data(), size_t(bytes.size()));
}

// Copies the literal bytes into the gaps that pieces leave in region;
// false when literal has not exactly that many.
bool fillLiteral(QByteArray& region, const QList<Piece>& pieces, QByteArrayView literal) {
    qint64 at = 0, taken = 0;
    auto take = [&](qint64 end) {
        const qint64 n = end - at;
        if (n <= 0)
            return true;
        if (taken + n > literal.size())
            return false;
        std::memcpy(region.data() + at, literal.data() + taken, size_t(n));
        taken += n;
        return true;
    };
    for (const Piece& p : pieces) {
        if (!take(p.begin))
            return false;
        at = p.end;
    }
    return take(region.size()) && taken == literal.size();
}

} // namespace

bool SavedRegion::takeStored(const QByteArray& bytes) {
    const qint64 digests = refs.isEmpty() ? 0 : (size + Page - 1) / Page * PageDigestSize;
    if (bytes.size() < digests)
        return false;
    pageDigests = bytes.left(digests);
    literal = bytes.mid(digests);
    qint64 referenced = 0;
    for (const Piece& p : piecesOf(*this))
        referenced += p.end - p.begin;
    return literal.size() + referenced == size;
}

qint64 SavedRegion::fileBytesNeeded() const {
    qint64 needed = refs.isEmpty() ? 0 : size;
    for (const RegionRef& r : refs)
        needed = std::max(needed, r.from + r.length);
    return needed;
}

SavedRegion SaveRegionWhole(QByteArrayView original) {
    SavedRegion saved;
    saved.size = original.size();
    saved.literal = original.toByteArray();
    return saved;
}

SavedRegion SaveRegion(QByteArrayView original, QByteArrayView written, bool inPlace,
                       const QByteArray& pageDigests) {
    SavedRegion saved;
    saved.size = original.size();
    saved.inPlace = inPlace;
    // The frames of the written tag (version 2.3, as the writer makes it),
    // each looked for in the original by its first bytes.
    for (qint64 pos = 10; pos + 10 <= written.size() && written[pos] != '\0';) {
        const auto* h = reinterpret_cast<const uchar*>(written.data() + pos);
        const qint64 body = qint64(h[4]) << 24 | h[5] << 16 | h[6] << 8 | h[7];
        const qint64 from = pos + 10;
        pos = from + body;
        if (body < MinReference || pos > written.size())
            continue;
        const QByteArrayView frame = written.sliced(from, body);
        for (qint64 at = original.indexOf(frame.first(Anchor)); at >= 0;
             at = original.indexOf(frame.first(Anchor), at + 1)) {
            if (at + body > original.size() || original.sliced(at, body) != frame)
                continue;
            // The frame header and neighbours kept alike come along.
            qint64 a = at, f = from, n = body;
            while (a > 0 && f > 0 && original[a - 1] == written[f - 1])
                --a, --f, ++n;
            while (a + n < original.size() && f + n < written.size() &&
                   original[a + n] == written[f + n])
                ++n;
            const bool overlaps =
                std::any_of(saved.refs.begin(), saved.refs.end(), [&](const RegionRef& r) {
                    return a < r.at + r.length && r.at < a + n;
                });
            if (!overlaps)
                saved.refs.append({a, n, f});
            break;
        }
    }
    std::sort(saved.refs.begin(), saved.refs.end(),
              [](const RegionRef& x, const RegionRef& y) { return x.at < y.at; });
    const QList<Piece> pieces = piecesOf(saved);
    qint64 at = 0;
    for (const Piece& p : pieces) {
        saved.literal.append(original.sliced(at, p.begin - at));
        at = p.end;
    }
    saved.literal.append(original.sliced(at));
    if (pieces.isEmpty()) {
        saved.refs.clear(); // nothing to read back: kept whole
        saved.inPlace = false;
        return saved;
    }
    saved.pageDigests = pageDigests.isEmpty() ? RegionPageDigests(original) : pageDigests;
    return saved;
}

std::optional<QByteArray> RestoreRegion(const SavedRegion& saved, QByteArrayView file,
                                        QByteArray* pageDigests) {
    // Every byte is set below: by the literal, or by a piece in its page.
    QByteArray region(saved.size, Qt::Uninitialized);
    const QList<Piece> pieces = piecesOf(saved);
    if (!fillLiteral(region, pieces, saved.literal))
        return std::nullopt;
    if (pieces.isEmpty()) {
        if (pageDigests)
            *pageDigests = RegionPageDigests(region);
        return region;
    }
    if (pageDigests)
        pageDigests->resize(saved.pageDigests.size());
    // Page by page: the referenced bytes where the written tag put them
    // (a file as its run left it), or where the original had them (a write
    // or an undo cut off); the page's digest tells which.
    qsizetype first = 0;
    for (qint64 page = 0; page < saved.size; page += Page) {
        const qint64 pageEnd = std::min(page + Page, saved.size);
        const qint64 digestAt = page / Page * SavedRegion::PageDigestSize;
        while (first < pieces.size() && pieces[first].end <= page)
            ++first;
        if (first == pieces.size() || pieces[first].begin >= pageEnd) { // all literal
            if (pageDigests)
                qToLittleEndian(digestOf(QByteArrayView(region).sliced(page, pageEnd - page)),
                                pageDigests->data() + digestAt);
            continue;
        }
        const quint64 want = qFromLittleEndian<quint64>(saved.pageDigests.constData() + digestAt);
        bool found = false;
        for (const bool moved : {true, false}) {
            for (qsizetype i = first; i < pieces.size() && pieces[i].begin < pageEnd; ++i) {
                const qint64 b = std::max(pieces[i].begin, page);
                const qint64 e = std::min(pieces[i].end, pageEnd);
                const qint64 source = b + (moved ? pieces[i].shift : 0);
                if (source < 0 || source + (e - b) > file.size())
                    std::memset(region.data() + b, 0, size_t(e - b));
                else
                    std::memcpy(region.data() + b, file.data() + source, size_t(e - b));
            }
            found = digestOf(QByteArrayView(region).sliced(page, pageEnd - page)) == want;
            if (found)
                break;
        }
        if (!found)
            return std::nullopt;
        if (pageDigests)
            qToLittleEndian(want, pageDigests->data() + digestAt);
    }
    return region;
}
