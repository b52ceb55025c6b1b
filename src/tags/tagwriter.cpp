#include "tags/changedbytes.h"
#include "tags/descriptorio.h"
#include "tags/diagnostics.h"
#include "tags/framelayout.h"
#include "tags/pathbytes.h"
#include "tags/synchsafe.h"
#include "tags/tagheader.h"
#include "tags/taginfo.h"
#include "tags/tagrewrite.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 MaxTagSize = 0x0FFFFFFF; // what a synchsafe size can hold

QByteArray HeaderBytes(qint64 size) {
    return QByteArray("ID3\x03\x00\x00", 6) + EncodeSynchsafe(static_cast<quint32>(size));
}

// Whether a version 3 reader finds a frame at the start of bytes, with
// either size form (a reader may choose either).
bool ReadsAsFrame(const QByteArray& bytes) {
    for (const bool synchsafe : {false, true}) {
        FrameInfo frame;
        if (frame.ReadFrame(bytes, 0, FrameLayout{3, synchsafe}, false) >= 0)
            return true;
    }
    return false;
}

// The tag's size: the old space when the frames fit it, else room for
// later edits without another move.
qint64 PlannedSize(bool hasV2, qint64 available, qint64 needed) {
    return hasV2 && needed <= available ? available : std::max<qint64>(needed + 100, 512);
}

} // namespace

TagInfo::Planned TagInfo::PlanWrite() const {
    Planned plan;
    if (path.isEmpty() || readRefused)
        return plan;
    // The frames go straight behind room for the header, the largest part
    // of a tag (a picture) copied once.
    QByteArray& tag = plan.bytes;
    tag = QByteArray(10, '\0');
    qint64 needed = 10;
    for (const FrameInfo& frame : frames) {
        frame.WriteFrame(tag);
        needed += frame.EstimatedSize();
    }
    const qint64 framesSize = tag.size() - 10;
    const qint64 available = hasV2 ? regionSize - 10 : 0;
    // Bytes kept from a frame that could not be read go back after the
    // frames, unless a reader would then misread the tag: the padding after
    // them could make a frame of them (one that replaces a frame written
    // here), or, as the frames no longer line up to the padding, a reader
    // could take their sizes for synchsafe ones.
    QByteArray& remainder = plan.remainder;
    remainder = unparsed;
    if (!remainder.isEmpty()) {
        const qint64 padding = PlannedSize(hasV2, available, needed + remainder.size()) -
                               framesSize - remainder.size();
        const QByteArray rest = remainder + QByteArray(padding, '\0');
        if (ReadsAsFrame(rest) || ChooseFrameLayout(3, tag.mid(10) + rest, 0).synchsafeSizes)
            remainder.clear();
    }
    needed += remainder.size();
    tag.append(remainder);
    plan.inPlace = hasV2 && needed <= available;
    const qint64 size = plan.inPlace ? available : PlannedSize(false, 0, needed);
    if (size > MaxTagSize) {
        tag.clear();
        return plan;
    }
    tag.replace(0, 10, HeaderBytes(size));
    tag.append(10 + size - tag.size(), '\0');
    return plan;
}

void TagInfo::Planned::keepChangesFrom(QByteArrayView region) {
    if (!inPlace || offset != 0 || bytes.size() != region.size() || bytes.isEmpty())
        return;
    ChangedBytes changed = ChangedBytesOf(bytes, region);
    if (changed.first == changed.end) // the same tag again: its header is written
        changed = {0, std::min<qint64>(10, bytes.size())};
    offset = changed.first;
    bytes = bytes.sliced(changed.first, changed.end - changed.first);
}

int TagInfo::Write() {
    return Write(PlanWrite());
}

int TagInfo::Write(const Planned& plan) {
    writeProblem = WriteProblem::Failed;
    writeErrno = 0;
    namesLeftOnOld = 0;
    const auto failedCall = [this] {
        writeErrno = errno;
        return -1;
    };
    if (path.isEmpty()) {
        TagDiagnostic("Use read first\n");
        return -1;
    }
    // Where the read refused the tag its extent is unknown: writing a new
    // tag in front of it would bury the old one in the audio.
    if (readRefused)
        return -1;
    const QByteArray name = pathBytes(path);
    Descriptor file; // closed on every way out
    file.fd = ::open(name.constData(),
                     O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (plan.noLink ? O_NOFOLLOW : 0));
    if (file.fd < 0) {
        if (errno == ENOENT && identity.isKnown())
            writeProblem = WriteProblem::ChangedSinceRead; // moved or removed since
        return failedCall();
    }
    if (!LockForWriting(file.fd))
        return -1; // another writer holds it: no reason of the system's
    // The file must still be the one read, as it was read, and the path must
    // still name it (another writer may have replaced it while this one
    // waited for the lock).
    struct stat st {};
    struct stat atPath {};
    if (::fstat(file.fd, &st) != 0 || ::stat(name.constData(), &atPath) != 0 ||
        FileIdentity::of(st) != identity || atPath.st_dev != st.st_dev ||
        atPath.st_ino != st.st_ino) {
        writeProblem = WriteProblem::ChangedSinceRead;
        return -1;
    }
    TagHeader header;
    QByteArray first(10, '\0');
    const qint64 length = st.st_size;
    const bool tagThere =
        length >= 10 && ReadAllAt(file.fd, first.data(), 10, 0) && ParseTagHeader(first, &header);
    if (tagThere != hasV2 || (hasV2 && header.regionSize() != regionSize))
        return -1;
    char v1Magic[3] = {};
    if (hasV1 && (length < 128 || !ReadAllAt(file.fd, v1Magic, 3, length - 128) ||
                  std::memcmp(v1Magic, "TAG", 3) != 0))
        return -1;

    const bool dropV1 = removeV1 && hasV1 && length - 128 >= regionSize;
    const QByteArray& tag = plan.bytes;
    if (tag.isEmpty() || (!plan.inPlace && plan.offset != 0))
        return -1;
    // In place the region keeps its size, whatever part of it the plan holds.
    const qint64 size = (plan.inPlace ? regionSize : tag.size()) - 10;
    if (plan.inPlace) {
        // The frames fit: only the tag's bytes change.
        if (plan.offset + tag.size() > regionSize)
            return -1;
        if (!WriteAllAt(file.fd, tag.constData(), tag.size(), plan.offset) ||
            (dropV1 && ::ftruncate(file.fd, length - 128) != 0))
            return failedCall();
        if (::fstat(file.fd, &st) == 0)
            identity = FileIdentity::of(st);
    } else {
        FileIdentity written;
        switch (RewriteWithNewTag(path, file.fd, identity, tag, regionSize,
                                  dropV1 ? length - 128 : length, written)) {
        case RewriteOutcome::Written:
            identity = written;
            namesLeftOnOld = st.st_nlink > 1 ? int(st.st_nlink - 1) : 0;
            break;
        case RewriteOutcome::Changed:
            writeProblem = WriteProblem::ChangedSinceRead;
            return -1;
        case RewriteOutcome::Failed:
            return failedCall();
        }
    }
    if (dropV1)
        hasV1 = false;
    unparsed = plan.remainder;
    hasV2 = true;
    tagSize = static_cast<qint32>(size);
    regionSize = 10 + size;
    version = 3;
    writeProblem = WriteProblem::None;
    return 0;
}
