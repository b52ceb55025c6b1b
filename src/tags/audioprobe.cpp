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
    const QByteArray probe = ReadAt(fd, audioStart, probeEnd - audioStart);
    return JudgeAudioContent(probe, audioStart + probe.size() == audioEnd);
}
