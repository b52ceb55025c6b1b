#include "parallelfor.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

int BatchThreads(int items) {
    return std::max(1, std::min({items, 4, int(std::thread::hardware_concurrency())}));
}

int ReadThreads(int items) {
    return std::clamp(items, 1, 8);
}

void ParallelFor(int count, const std::function<void(int)>& work) {
    const int threads = BatchThreads(count);
    if (threads <= 1) {
        for (int i = 0; i < count; ++i)
            work(i);
        return;
    }
    std::atomic<int> next{0};
    auto run = [&] {
        for (int i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads; ++t)
        helpers.emplace_back(run);
    run();
    for (std::thread& h : helpers)
        h.join();
}
