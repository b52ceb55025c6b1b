#include "journalfileops.h"

#include "tags/descriptorio.h"

#include <atomic>
#include <cerrno>
#include <unistd.h>

bool JournalFileOps::append(int fd, QByteArrayView bytes) {
    return WriteAll(fd, bytes.data(), bytes.size());
}

bool JournalFileOps::writeAt(int fd, QByteArrayView bytes, qint64 offset) {
    return WriteAllAt(fd, bytes.data(), bytes.size(), offset);
}

bool JournalFileOps::sync(int fd) {
    return ::fdatasync(fd) == 0;
}

bool JournalFileOps::syncFile(int fd) {
    return ::fsync(fd) == 0;
}

namespace {
JournalFileOps defaultOps;
std::atomic<JournalFileOps*> currentOps{&defaultOps};
} // namespace

JournalFileOps& currentJournalFileOps() {
    return *currentOps.load();
}

void setJournalFileOps(JournalFileOps* ops) {
    currentOps = ops ? ops : &defaultOps;
}
