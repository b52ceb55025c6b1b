#pragma once

#include "parallelfor.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs produce(i) for i = 0 ... count - 1 on a few threads and hands each
// result to consume(i, result) on the calling thread in the order of i, as
// soon as it and every earlier one are ready: reads of different files
// overlap while the output keeps the order given. At most `ahead` results
// wait at once, so memory stays flat whatever count is. When stop() turns
// true, no further item is started; the items started are still consumed,
// the rest are not, and the call returns the number consumed.
template <typename T>
int ProduceInOrder(int count, const std::function<T(int)>& produce,
                   const std::function<void(int, T&&)>& consume,
                   const std::function<bool()>& stop = {}, int threads = 0, int ahead = 64) {
    if (threads <= 0)
        threads = BatchThreads(count);
    ahead = std::max(ahead, threads);
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::optional<T>> ready(static_cast<size_t>(ahead));
    int started = 0;  // items handed to a producer
    int consumed = 0; // items handed to consume
    bool stopped = false;

    auto worker = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock,
                         [&] { return stopped || started >= count || started < consumed + ahead; });
            if (stopped || started >= count)
                return;
            if (stop && stop()) {
                stopped = true;
                changed.notify_all();
                return;
            }
            const int i = started++;
            lock.unlock();
            T result = produce(i);
            lock.lock();
            ready[static_cast<size_t>(i % ahead)].emplace(std::move(result));
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t)
        workers.emplace_back(worker);
    {
        std::unique_lock lock(mutex);
        while (consumed < count) {
            std::optional<T>& slot = ready[static_cast<size_t>(consumed % ahead)];
            changed.wait(lock, [&] {
                return slot.has_value() || ((stopped || started >= count) && consumed >= started);
            });
            if (!slot.has_value())
                break; // stopped: nothing more will come
            T result = std::move(*slot);
            slot.reset();
            const int i = consumed;
            lock.unlock();
            consume(i, std::move(result));
            lock.lock();
            ++consumed;
            changed.notify_all();
        }
    }
    for (std::thread& w : workers)
        w.join();
    return consumed;
}
