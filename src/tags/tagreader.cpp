#include "tags/diagnostics.h"
#include "tags/framelayout.h"
#include "tags/synchsafe.h"
#include "tags/tagheader.h"
#include "tags/taginfo.h"
#include "tags/unsync.h"
#include "tags/v24frames.h"

#include <QFile>
#include <QFileInfo>

int TagInfo::Read(const QString& filePath) {
    Clear();
    hasV1 = hasV2 = false;
    tagSize = 0;
    regionSize = 0;
    version = 0;
    path.clear();
    readRefused = true;

    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return E_FAIL_RESULT;
    path = filePath;
    SetFrameWide("*", filePath, -1);
    ReadV1(file);
    const int result = ReadV2(file);
    readRefused = result < 0;
    return result;
}

int TagInfo::ReadV2(QFile& file) {
    if (!file.seek(0))
        return E_FAIL_RESULT;
    const QByteArray headerBytes = file.read(10);
    if (headerBytes.size() < 10)
        return E_FAIL_RESULT;
    TagHeader header;
    if (!ParseTagHeader(headerBytes, &header))
        return S_FALSE_RESULT;
    if (header.size < 0) {
        TagDiagnostic("Invalid id3size\n");
        return E_FAIL_RESULT;
    }
    // Only versions 2.2 to 2.4 have a known layout; a compressed 2.2 tag
    // has no defined compression scheme.
    if (header.major < 2 || header.major > 4)
        return E_FAIL_RESULT;
    if (header.major == 2 && (header.flags & TagHeader::ExtendedHeader))
        return E_FAIL_RESULT;
    if (header.flags & TagHeader::Experimental) {
        TagDiagnostic("the tag is experimental\n");
        return E_FAIL_RESULT;
    }
    QByteArray tag = file.read(header.size);
    if (tag.size() < header.size) {
        // The tag claims more bytes than the file holds.
        TagDiagnostic("Invalid id3size\n");
        return E_FAIL_RESULT;
    }
    if (header.regionSize() > file.size()) {
        // A footer that the file has no room for: the tag's end is unknown,
        // and a write would take the audio that stands there for it.
        TagDiagnostic("Invalid id3size\n");
        return E_FAIL_RESULT;
    }
    const bool unsync = header.flags & TagHeader::Unsynchronisation;
    // Before version 2.4 unsynchronisation covers the whole tag; in 2.4 it
    // is undone frame by frame.
    if (unsync && header.major < 4)
        tag = RemoveUnsynchronisation(tag);

    qsizetype start = 0;
    if (header.flags & TagHeader::ExtendedHeader) {
        if (tag.size() < 4)
            return E_FAIL_RESULT;
        qint64 extended = 0;
        if (header.major == 3) {
            extended = 4 + qint64(DecodeBigEndian(tag.constData(), 4));
        } else {
            extended = DecodeSynchsafe(tag.constData());
            if (extended < 4)
                return E_FAIL_RESULT;
        }
        if (extended > tag.size())
            return E_FAIL_RESULT;
        start = extended;
    }

    const FrameLayout layout = ChooseFrameLayout(header.major, tag, start);
    qsizetype pos = start;
    while (pos < tag.size() && tag[pos] != '\0') {
        FrameInfo frame;
        const qint64 taken = frame.ReadFrame(tag, pos, layout, unsync);
        if (taken < 0) {
            // Keep what cannot be understood, so a write gives it back; a
            // version 2.2 remainder has no place in a version 3 tag.
            if (header.major > 2) {
                unparsed = tag.mid(pos);
                while (unparsed.endsWith('\0'))
                    unparsed.chop(1);
            }
            break;
        }
        pos += taken;
        if (frame.id[0] == '\0')
            continue;
        std::vector<FrameInfo> replacement;
        // Version 2.4 dates also turn up in version 3 tags.
        if (header.major >= 3 && ConvertV24OnlyFrame(frame, replacement)) {
            for (const FrameInfo& f : replacement)
                AddFrame(f);
        } else {
            AddFrame(frame);
        }
    }
    hasV2 = true;
    tagSize = header.size;
    regionSize = header.regionSize();
    version = header.major;
    return S_OK_RESULT;
}
