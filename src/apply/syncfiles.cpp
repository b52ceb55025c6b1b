#include "syncfiles.h"

#include "parallelfor.h"

#include <cerrno>

namespace {

// Enough flushes in flight for the disk to take them as one; more threads
// only cost their start.
constexpr int SyncThreads = 8;

} // namespace

QList<int> SyncTogether(const QList<int>& fds, const std::function<bool(int)>& sync) {
    QList<int> errors(fds.size(), 0);
    ParallelForOnOwnThreads(int(fds.size()), SyncThreads, [&](int i) {
        errors[i] = sync(fds[i]) ? 0 : (errno != 0 ? errno : EIO);
    });
    return errors;
}
