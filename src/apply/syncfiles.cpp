#include "syncfiles.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <thread>
#include <vector>

namespace {

// Enough flushes in flight for the disk to take them as one; more threads
// only cost their start.
constexpr int SyncThreads = 8;

} // namespace

QList<int> SyncTogether(const QList<int>& fds, const std::function<bool(int)>& sync) {
    QList<int> errors(fds.size(), 0);
    std::atomic<qsizetype> next{0};
    auto run = [&] {
        for (qsizetype i = next++; i < fds.size(); i = next++)
            errors[i] = sync(fds[i]) ? 0 : (errno != 0 ? errno : EIO);
    };
    std::vector<std::thread> helpers;
    const int threads = int(std::min<qsizetype>(SyncThreads, fds.size()));
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(run);
    run();
    for (std::thread& h : helpers)
        h.join();
    return errors;
}
