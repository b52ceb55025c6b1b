#include "tags/chapters.h"
#include "tags/framecontent.h"
#include "tags/frameinfo.h"
#include "tags/framelayout.h"
#include "tags/latin1.h"
#include "tags/peoplelist.h"
#include "tags/reencode.h"
#include "tags/synchsafe.h"
#include "tags/textcodec.h"
#include "tags/v22ids.h"
#include "tags/v24frames.h"

qint64 FrameInfo::ReadFrame(const QByteArray& tag, qsizetype pos, const FrameLayout& layout,
                            bool tagUnsync, qint64* inflateBudget) {
    const int headerSize = layout.headerSize();
    if (pos < 0 || pos + headerSize > tag.size())
        return -1;
    const char* header = tag.constData() + pos;
    // Version 2.2 ids are mapped below, with their bodies.
    const QByteArray headerId = layout.version == 2 ? QByteArray() : HeaderFrameId(header);
    if (layout.version == 2 ? !IsValidFrameId(header, 3) : headerId.isEmpty())
        return -1;
    const qint64 size = layout.BodySize(header);
    if (size < 0 || size > tag.size() - pos - headerSize)
        return -1;
    QByteArray body = tag.mid(pos + headerSize, size);
    if (layout.version == 2) {
        const QByteArray mapped = MapV22Id(QByteArray(header, 3));
        SetId(mapped.isEmpty() ? "" : mapped.constData());
        flags = 0;
        if (IsId("APIC"))
            body = PicToApicBody(body);
        if (IsId("LINK")) {
            // Written with a 3-letter id, it would be read as another frame.
            body = LnkToLinkBody(body);
            if (body.isEmpty())
                SetId("");
        }
    } else {
        SetId(headerId.constData());
        const auto fileFlags = static_cast<quint16>(DecodeBigEndian(header + 8, 2));
        if (layout.version == 4) {
            body = ConvertV24FrameBody(fileFlags, body, tagUnsync, &flags,
                                       inflateBudget
                                           ? std::min<qint64>(*inflateBudget, MaxInflatedFrameSize)
                                           : MaxInflatedFrameSize);
            // Version 3 holds both people lists in the one IPLS frame.
            if (IsV24PeopleListId(id))
                SetId("IPLS");
            // A chapter's own frames are converted as the tag's frames are.
            if (IsChapterId(id) && !(flags & FrameFormatFlags))
                body = ChapterBodyInV23Form(id, body, inflateBudget);
        } else {
            flags = fileFlags;
        }
    }
    TakeBody(body, layout.version, inflateBudget);
    return headerSize + size;
}

void FrameInfo::TakeBody(const QByteArray& body, int version, qint64* inflateBudget) {
    raw = body;
    hasRaw = !body.isEmpty();
    text.clear();
    opaque = false;
    if (body.isEmpty())
        return;
    const std::optional<QByteArray> found =
        FrameContent(body, flags, inflateBudget ? *inflateBudget : MaxInflatedFrameSize);
    if (found && inflateBudget && (flags & FrameFlagCompressed))
        *inflateBudget -= found->size();
    if (!found || found->isEmpty()) {
        opaque = true;
        return;
    }
    const QByteArray& content = *found;
    const int encoding = static_cast<quint8>(content[0]);
    bool reencoded = false;
    if (encoding == EncodingUtf16BE || encoding == EncodingUtf8) {
        // A version 3 tag cannot hold these encodings: text frames are
        // written from their text, other known layouts turn into UTF-16.
        bool ok = false;
        const QByteArray converted = ReencodeToUtf16(id, content, &ok);
        if (IsTextFrame()) {
            hasRaw = false;
        } else if (ok) {
            raw = converted;
            reencoded = true;
        }
    }
    if (IsTextFrame() && encoding <= EncodingUtf8) {
        const QByteArray encoded = content.mid(1);
        const QStringList values =
            version == 4 ? DecodeTextValues(encoding, encoded) : QStringList();
        if (values.size() > 1) {
            // Several version 2.4 values: one text as version 3 writes them.
            text = values.join(QLatin1Char('/'));
            hasRaw = false;
        } else {
            text = DecodeText(encoding, encoded);
        }
    } else if (IsId("COMM")) {
        opaque = !TakeComment(content);
    } else if (encoding == EncodingLatin1) {
        text = Latin1ToWide(content.constData() + 1, content.size() - 1);
    } else {
        // The content as it will be written, so the text of a re-encoded
        // frame is what reading the written frame gives.
        text = Latin1ToWide(reencoded ? raw : content);
    }
    // A body written from the text, or re-encoded, is plain content.
    if (!hasRaw || reencoded)
        flags &= ~FrameFormatFlags;
    if (!hasRaw)
        raw.clear();
}

bool FrameInfo::TakeComment(const QByteArray& content) {
    const int encoding = static_cast<quint8>(content[0]);
    if (encoding > EncodingUtf8 || content.size() < 4)
        return false;
    const QByteArray rest = content.mid(4);
    const qsizetype end = FindTerminator(encoding, rest, 0);
    if (end < 0)
        return false;
    text = Latin1ToWide(content.mid(1, 3)) + DecodeText(encoding, rest.left(end)) + QChar(0) +
           DecodeText(encoding, rest.mid(end + TerminatorWidth(encoding)));
    return true;
}
