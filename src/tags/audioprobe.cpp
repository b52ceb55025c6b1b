#include "tags/audioprobe.h"

#include "tags/descriptorio.h"
#include "tags/pathbytes.h"
#include "tags/tagheader.h"

#include <QScopeGuard>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

AudioContent ProbeAudioFile(const QString& path) {
    const int fd = ::open(pathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {false, QStringLiteral("cannot open file")};
    const auto closeFile = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return {false, QStringLiteral("cannot open file")};
    if (!S_ISREG(st.st_mode))
        return {false, QStringLiteral("not a regular file")};

    const qint64 fileSize = st.st_size;
    if (fileSize < ShortestTaggableFile)
        return {false, ShortFileKind(fileSize)};
    qint64 audioStart = 0;
    TagHeader header;
    if (ParseTagHeader(ReadAt(fd, 0, 10), &header)) {
        if (header.size < 0 || header.regionSize() > fileSize)
            return {false, QStringLiteral("tag refused")};
        audioStart = header.regionSize();
    }
    const bool hasV1 = fileSize >= 128 && ReadAt(fd, fileSize - 128, 3) == "TAG";
    const qint64 audioEnd = std::max(audioStart, fileSize - (hasV1 ? 128 : 0));
    const qint64 probeEnd = std::min(audioEnd, audioStart + AudioProbeSize);
    QByteArray probe = ReadAt(fd, audioStart, probeEnd - audioStart);
    const qint64 pastTags = AudioStartPastTags(fd, audioStart, audioEnd, probe);
    if (pastTags != audioStart) {
        audioStart = pastTags;
        probe =
            ReadAt(fd, audioStart, std::min(audioEnd, audioStart + AudioProbeSize) - audioStart);
    }
    return JudgeAudioContent(probe, audioStart + probe.size() == audioEnd);
}

qint64 AudioStartPastTags(int fd, qint64 audioStart, qint64 audioEnd, QByteArrayView known) {
    constexpr int MostTags = 8;
    qint64 at = audioStart;
    for (int i = 0; i < MostTags && at + 10 <= audioEnd; ++i) {
        const qint64 inKnown = at - audioStart;
        QByteArray bytes;
        if (inKnown + 10 <= known.size())
            bytes = known.sliced(inKnown, 10).toByteArray();
        else if (inKnown + 3 <= known.size() && known.sliced(inKnown, 3) != "ID3")
            break;
        else
            bytes = ReadAt(fd, at, 10);
        TagHeader header;
        if (!ParseTagHeader(bytes, &header) || header.size < 0 ||
            header.regionSize() > audioEnd - at)
            break;
        at += header.regionSize();
    }
    return at;
}
