#pragma once

#include "parallelfor.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

// Runs produce(i) for i = 0 ... count - 1 on `threads` threads (the calling
// one among them) and hands each result to consume(i, result) on the calling
// thread in the order of i, as soon as it and every earlier one are ready
// (the calling thread first finishes the item it is producing): reads of
// different files overlap while the output keeps the order given. At most
// `ahead` results wait at once, so memory stays flat whatever count is.
// When stop() turns true, no further item is started; the items started are
// still consumed, the rest are not, and the call returns the number
// consumed.
//
// Threads sleep only when there is nothing they can do: a helper when
// `ahead` results wait, the calling thread when its next result is being
// made and the window is full. A wake-up per file cost more than the
// reading on a warm cache.
template <typename T>
int ProduceInOrder(int count, const std::function<T(int)>& produce,
                   const std::function<void(int, T&&)>& consume,
                   const std::function<bool()>& stop = {}, int threads = 0, int ahead = 64) {
    if (threads <= 0)
        threads = ReadThreads(count);
    ahead = std::max(ahead, threads);
    std::mutex mutex;
    std::condition_variable roomFree;  // helpers wait here
    std::condition_variable nextReady; // the calling thread waits here
    std::vector<std::optional<T>> ready(static_cast<size_t>(ahead));
    int started = 0;  // items handed to a producer
    int consumed = 0; // items handed to consume
    bool stopped = false;
    int helpersWaiting = 0;
    bool callerWaiting = false;

    auto ended = [&] { return stopped || started >= count; };
    // The next item to produce, or -1 when none may start now.
    auto take = [&]() -> int {
        if (ended() || started >= consumed + ahead)
            return -1;
        if (stop && stop()) {
            stopped = true;
            roomFree.notify_all();
            nextReady.notify_one();
            return -1;
        }
        return started++;
    };
    auto produceOne = [&](std::unique_lock<std::mutex>& lock, int i) {
        lock.unlock();
        T result = produce(i);
        lock.lock();
        ready[static_cast<size_t>(i % ahead)].emplace(std::move(result));
        if (callerWaiting && i == consumed)
            nextReady.notify_one();
    };
    auto helper = [&] {
        std::unique_lock lock(mutex);
        for (;;) {
            const int i = take();
            if (i >= 0) {
                produceOne(lock, i);
                continue;
            }
            if (ended())
                return;
            ++helpersWaiting;
            roomFree.wait(lock);
            --helpersWaiting;
        }
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < threads && t < count; ++t)
        helpers.emplace_back(helper);

    std::vector<T> batch; // consecutive results, handed over outside the lock
    {
        std::unique_lock lock(mutex);
        while (consumed < count) {
            for (int i = consumed; i < count; ++i) {
                std::optional<T>& slot = ready[static_cast<size_t>(i % ahead)];
                if (!slot.has_value() || int(batch.size()) == ahead)
                    break;
                batch.push_back(std::move(*slot));
                slot.reset();
            }
            if (!batch.empty()) {
                lock.unlock();
                for (size_t k = 0; k < batch.size(); ++k)
                    consume(consumed + int(k), std::move(batch[k]));
                lock.lock();
                consumed += int(batch.size());
                batch.clear();
                if (helpersWaiting > 0)
                    roomFree.notify_all();
                continue;
            }
            if (ended() && consumed >= started)
                break; // stopped: nothing more will come
            const int i = take();
            if (i >= 0) {
                produceOne(lock, i);
                continue;
            }
            if (ended() && consumed >= started)
                break; // stopped by this take
            // The next result is being made (by a helper): it wakes us.
            callerWaiting = true;
            nextReady.wait(lock);
            callerWaiting = false;
        }
        stopped = true; // helpers still waiting for room leave
        roomFree.notify_all();
    }
    for (std::thread& h : helpers)
        h.join();
    return consumed;
}
