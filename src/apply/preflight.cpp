#include "preflight.h"

#include "applyservice.h"
#include "foldercreation.h"
#include "movefile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString errorText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

// 0 when the folder can take new names, else the errno.
int folderWritable(const QString& folder) {
    return ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::optional<Refusal> checkName(const QString& path, const QString& name, const QString& target) {
    const QString dotsOnly = QString(name.size(), u'.');
    if (name.isEmpty())
        return Refusal{QStringLiteral("empty file name"),
                       QStringLiteral("Not applied to %1: the new file name is empty").arg(path)};
    if (name == dotsOnly)
        return Refusal{
            QStringLiteral("file name is only dots"),
            QStringLiteral("Not applied to %1: the new file name is only dots").arg(path)};
    if (QFile::encodeName(target).size() > MaxPathBytes)
        return Refusal{QStringLiteral("path too long"),
                       QStringLiteral("Not applied to %1: the new path is longer than %2 bytes")
                           .arg(path)
                           .arg(MaxPathBytes)};
    for (const QString& part : target.split(u'/', Qt::SkipEmptyParts)) {
        if (QFile::encodeName(part).size() > MaxNameBytes)
            return Refusal{QStringLiteral("name too long"),
                           QStringLiteral("Not applied to %1: the name \"%2\" is longer than %3 "
                                          "bytes")
                               .arg(path, part)
                               .arg(MaxNameBytes)};
    }
    return std::nullopt;
}

} // namespace

std::optional<Refusal> CheckBeforeApply(const QString& path, const FieldValues& outputs) {
    const QString target = ApplyTarget(outputs);
    if (auto refusal = checkName(path, outputs[FieldFilename], target))
        return refusal;

    const int fd =
        ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return Refusal{QStringLiteral("cannot write tags: %1").arg(errorText(errno)),
                       QStringLiteral("Cannot write tags to %1").arg(path)};
    }
    ::close(fd);

    const QString sourceFolder = QFileInfo(path).absolutePath();
    if (const int err = folderWritable(sourceFolder)) {
        return Refusal{QStringLiteral("source folder not writable"),
                       QStringLiteral("Not applied to %1: its folder is not writable (%2)")
                           .arg(path, errorText(err))};
    }

    const QString location = ApplyLocation(outputs);
    QStringList missing;
    if (!MissingFolderLevels(location, missing))
        return Refusal{QStringLiteral("cannot create folder"),
                       QStringLiteral("Cannot create folder")};
    const QString deepest =
        missing.isEmpty() ? location : QFileInfo(missing.first()).absolutePath();
    if (const int err = folderWritable(deepest)) {
        return Refusal{QStringLiteral("target folder not writable"),
                       QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(err)};
    }
    // A target in a folder still to be made is free.
    if (missing.isEmpty()) {
        if (const int err = CheckMoveNoReplace(path, target)) {
            return Refusal{err == EEXIST ? QStringLiteral("target exists")
                                         : QStringLiteral("cannot move: %1").arg(errorText(err)),
                           QStringLiteral("Cannot move file as %1. Error %2").arg(target).arg(err)};
        }
    }
    return std::nullopt;
}
