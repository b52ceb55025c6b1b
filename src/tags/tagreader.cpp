#include "tags/audiocontent.h"
#include "tags/audioprobe.h"
#include "tags/descriptorio.h"
#include "tags/diagnostics.h"
#include "tags/framecontent.h"
#include "tags/framelayout.h"
#include "tags/pathbytes.h"
#include "tags/peoplelist.h"
#include "tags/synchsafe.h"
#include "tags/tagheader.h"
#include "tags/taginfo.h"
#include "tags/unsync.h"
#include "tags/v24frames.h"

#include <QFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Most tags, and the audio after them, are in the first read.
constexpr qint64 FirstRead = 64 * 1024;

} // namespace

void TagInfo::forgetRead() {
    Clear();
    hasV1 = hasV2 = false;
    tagSize = 0;
    regionSize = 0;
    version = 0;
    path.clear();
    albumArtistFromV1 = false;
    readRefused = true;
    problem = ReadProblem::CannotOpen;
    openErrno = 0;
    content = AudioContent{};
    identity = FileIdentity{};
}

int TagInfo::Read(const QString& filePath) {
    forgetRead();

    // Without blocking: a FIFO named "x.mp3" must not hang the reader. Only
    // a regular file counts as opened.
    Descriptor file; // closed on every way out
    file.fd = ::open(pathBytes(filePath).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
        openErrno = errno;
        return E_FAIL_RESULT;
    }
    if (!S_ISREG(st.st_mode)) {
        problem = ReadProblem::NotRegularFile;
        return E_FAIL_RESULT;
    }

    const qint64 fileSize = st.st_size;
    QByteArray start = ReadAt(file.fd, 0, std::min(fileSize, FirstRead));
    // A larger tag, and the audio after it, in one more read.
    TagHeader header;
    const bool headerRead = ParseTagHeader(start.left(10), &header) && header.size >= 0;
    if (headerRead) {
        const qint64 wanted = std::min(fileSize, header.regionSize() + AudioProbeSize);
        if (wanted > start.size())
            start += ReadAt(file.fd, start.size(), wanted - start.size());
    }
    QByteArray last128;
    if (fileSize >= 128)
        last128 =
            fileSize <= start.size() ? start.right(128) : ReadAt(file.fd, fileSize - 128, 128);
    const bool endsWithV1 = last128.size() == 128 && last128.startsWith("TAG");

    // The audio, from the end of the tag up to the ID3v1 block, is judged
    // before the bytes read go to ReadV2, which takes them over; it counts
    // only when ReadV2 takes the tag (the tag ends where its header says).
    qint64 audioStart = headerRead ? header.regionSize() : 0;
    AudioContent judged;
    if (audioStart <= fileSize) {
        const qint64 audioEnd = std::max(audioStart, fileSize - (endsWithV1 ? 128 : 0));
        audioStart = AudioStartPastTags(
            file.fd, audioStart, audioEnd,
            QByteArrayView(start).sliced(std::min<qint64>(audioStart, start.size())));
        const qint64 probeEnd = std::min(audioEnd, audioStart + AudioProbeSize);
        // Mostly in the bytes at hand: looked at where they are, not copied.
        QByteArray more;
        QByteArrayView probe;
        if (probeEnd <= start.size()) {
            probe = QByteArrayView(start).sliced(audioStart, probeEnd - audioStart);
        } else {
            more = ReadAt(file.fd, audioStart, probeEnd - audioStart);
            probe = more;
        }
        judged = JudgeAudioContent(probe, audioStart + probe.size() == audioEnd);
    }
    return ReadBytes(filePath, FileIdentity::of(st), std::move(start), fileSize, last128, judged);
}

int TagInfo::ReadBytes(const QString& filePath, const FileIdentity& id, QByteArray start,
                       qint64 fileSize, const QByteArray& last128, const AudioContent& judged) {
    forgetRead();
    identity = id;
    path = filePath;
    // The record as the file name and the ID3v1 block give it.
    const auto takeV1 = [&] {
        SetFrameWide("*", filePath, -1);
        ReadV1Block(last128);
        albumArtistFromV1 = FindFrame("TPE2") != nullptr;
    };
    takeV1();

    const int result = ReadV2(std::move(start), fileSize);
    readRefused = result < 0;
    if (readRefused) {
        // A tag refused part-way leaves none of its frames: only the ID3v1
        // ones, read again.
        Clear();
        takeV1();
        problem = ReadProblem::TagRefused;
        return result;
    }
    problem = ReadProblem::None;
    content = judged;
    return result;
}

namespace {
constexpr int MaxFramesPerTag = 4096;
}

int TagInfo::ReadV2(QByteArray start, qint64 fileSize) {
    if (start.size() < 10)
        return E_FAIL_RESULT;
    TagHeader header;
    if (!ParseTagHeader(start.left(10), &header))
        return S_FALSE_RESULT;
    if (header.size < 0) {
        TagDiagnostic(path, "Invalid id3size\n");
        return E_FAIL_RESULT;
    }
    // Only versions 2.2 to 2.4 have a known layout; a compressed 2.2 tag
    // has no defined compression scheme.
    if (header.major < 2 || header.major > 4)
        return E_FAIL_RESULT;
    if (header.major == 2 && (header.flags & TagHeader::ExtendedHeader)) {
        TagDiagnostic(path, "extended header not supported yet\n");
        return E_FAIL_RESULT;
    }
    if (header.flags & TagHeader::Experimental) {
        TagDiagnostic(path, "the tag is experimental\n");
        return E_FAIL_RESULT;
    }
    // The tag where it was read: the header goes from the front and what
    // follows the tag from the end, without copying the bytes between.
    QByteArray tag = std::move(start);
    tag.remove(0, 10);
    // A footer flag with no footer after the frames: what stands there is
    // audio, and a write in place would pad over it as if it were the
    // footer's.
    const bool footerMissing = header.hasFooter() && tag.mid(header.size, 3) != "3DI";
    if (tag.size() > header.size)
        tag.truncate(header.size);
    if (tag.size() < header.size) {
        // The tag claims more bytes than the file holds.
        TagDiagnostic(path, "Invalid id3size\n");
        return E_FAIL_RESULT;
    }
    if (header.regionSize() > fileSize) {
        // A footer that the file has no room for: the tag's end is unknown,
        // and a write would take the audio that stands there for it.
        TagDiagnostic(path, "Invalid id3size\n");
        return E_FAIL_RESULT;
    }
    if (footerMissing) {
        TagDiagnostic(path, "footer flag set, but no footer\n");
        return E_FAIL_RESULT;
    }
    const bool unsync = header.flags & TagHeader::Unsynchronisation;
    // Before version 2.4 unsynchronisation covers the whole tag; in 2.4 it
    // is undone frame by frame.
    if (unsync && header.major < 4)
        tag = RemoveUnsynchronisation(tag);

    qsizetype begin = 0;
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
        begin = extended;
    }

    const FrameLayout layout = ChooseFrameLayout(header.major, tag, begin);
    qsizetype pos = begin;
    qint64 inflateBudget = MaxInflatedTagSize; // compressed frames are held inflated
    // Each frame added looks at those before it, so a tag of a million empty
    // frames (10 MB) would take hours; no tag in the wild has thousands.
    int frameCount = 0;
    // A tag's TIPL and TMCL become one IPLS; lists beyond those two (which
    // version 2.4 does not allow) stay frames of their own, so that joining
    // never takes time that grows with the square of their number.
    bool peopleJoined = false;
    // Ids that a version 2.4 date gave a frame of (see below).
    std::vector<QByteArray> dateParts;
    while (pos < tag.size() && tag[pos] != '\0') {
        if (++frameCount > MaxFramesPerTag) {
            TagDiagnostic(path, "too many frames\n");
            return E_FAIL_RESULT;
        }
        FrameInfo frame;
        const qint64 taken = frame.ReadFrame(tag, pos, layout, unsync, &inflateBudget);
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
        auto add = [this](const FrameInfo& f) {
            if (AddFrame(f) && f.IsId("TPE2"))
                albumArtistFromV1 = false;
        };
        // A date and a TDAT, TIME or TORY of the tag's own are one value in
        // two forms: the later one wins, as of two TYER, so that the write
        // gives one frame of each. An empty one holds no value to win with.
        auto replaceDatePart = [&](const FrameInfo& f) {
            if (!f.opaque && (f.text.isEmpty() || f.text[0] == QChar(0)))
                return;
            const QByteArray id(f.id, 4);
            frames.remove_if([&](const FrameInfo& old) { return old.IsId(f.id); });
            if (std::find(dateParts.begin(), dateParts.end(), id) == dateParts.end())
                dateParts.push_back(id);
            add(f);
        };
        std::vector<FrameInfo> replacement;
        // Version 2.4 dates also turn up in version 3 tags.
        if (header.major >= 3 && ConvertV24OnlyFrame(frame, replacement)) {
            for (const FrameInfo& f : replacement)
                replaceDatePart(f);
        } else if (std::find(dateParts.begin(), dateParts.end(), QByteArray(frame.id, 4)) !=
                   dateParts.end()) {
            replaceDatePart(frame);
        } else if (header.major == 4 && frame.IsId("IPLS") && !peopleJoined &&
                   JoinPeopleList(frames, frame)) {
            peopleJoined = true;
        } else {
            add(frame);
        }
    }
    hasV2 = true;
    tagSize = header.size;
    regionSize = header.regionSize();
    version = header.major;
    return S_OK_RESULT;
}
