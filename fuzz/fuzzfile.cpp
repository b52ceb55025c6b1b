#include "fuzzfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdlib>

namespace {

QString MakeFolder() {
    const QString base = QDir("/dev/shm").exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
    QByteArray pattern = QFile::encodeName(base + "/quorvel-fuzz-XXXXXX");
    if (!::mkdtemp(pattern.data()))
        std::abort();
    // Leave nothing behind when the fuzzer ends normally.
    std::atexit([] { QFileInfo(FuzzFilePath()).dir().removeRecursively(); });
    return QFile::decodeName(pattern);
}

} // namespace

QString FuzzFilePath() {
    // Never destroyed: the clean-up at exit still needs it.
    static const QString* path = new QString(MakeFolder() + "/input.mp3");
    return *path;
}

bool WriteFuzzFile(const QString& path, const uint8_t* data, size_t size) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
           file.write(reinterpret_cast<const char*>(data), qint64(size)) == qint64(size);
}

QByteArray ReadFuzzFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ClearFuzzFolder() {
    QDir folder = QFileInfo(FuzzFilePath()).dir();
    for (const QString& name : folder.entryList(QDir::Files | QDir::Hidden))
        folder.remove(name);
}
