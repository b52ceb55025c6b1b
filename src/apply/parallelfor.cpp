#include "parallelfor.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

int BatchThreads(int items) {
    // Asked once: each call reads /sys.
    static const int processors = int(std::thread::hardware_concurrency());
    return std::max(1, std::min({items, 4, processors}));
}

int ReadThreads(int items) {
    return std::clamp(items, 1, 8);
}

namespace {

// Helper threads kept for the life of the process: a batch asks for them a
// few files at a time, and starting threads each time cost more than the
// work on small files. One ParallelFor at a time has them; another one
// meanwhile (from another thread, or from within the work) starts its own.
class Helpers {
public:
    static Helpers& instance() {
        static Helpers helpers;
        return helpers;
    }

    ~Helpers() {
        {
            const std::lock_guard lock(m_mutex);
            m_quit = true;
        }
        m_wake.notify_all();
        for (std::thread& t : m_threads)
            t.join();
    }

    // Whether the caller may use the helpers (release() gives them back):
    // false while another ParallelFor has them, also when that is the
    // caller itself, further up its stack.
    bool claim() { return !m_claimed.exchange(true); }
    void release() { m_claimed = false; }

    // Runs job on count helpers and on the calling thread, which must hold
    // the claim; returns when every one of them is done with it. job must
    // not throw: helpers may still be running it.
    void run(int count, const std::function<void()>& job) {
        std::unique_lock lock(m_mutex);
        // A new helper takes the round about to start.
        while (int(m_threads.size()) < count)
            m_threads.emplace_back([this, seen = m_round] { serve(seen); });
        m_job = &job;
        m_wanted = count;
        m_busy = count;
        ++m_round;
        lock.unlock();
        m_wake.notify_all();
        job();
        lock.lock();
        m_done.wait(lock, [this] { return m_busy == 0; });
        m_job = nullptr;
    }

private:
    void serve(std::uint64_t seen) {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return m_quit || (m_round != seen && m_wanted > 0); });
            if (m_quit)
                return;
            seen = m_round;
            --m_wanted;
            const std::function<void()>* job = m_job;
            lock.unlock();
            (*job)();
            lock.lock();
            if (--m_busy == 0)
                m_done.notify_one();
        }
    }

    std::atomic<bool> m_claimed{false};
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_done;
    std::vector<std::thread> m_threads;
    const std::function<void()>* m_job = nullptr;
    int m_wanted = 0; // helpers still to take the job of this round
    int m_busy = 0;   // helpers not yet done with it
    std::uint64_t m_round = 0;
    bool m_quit = false;
};

} // namespace

void ParallelFor(int count, const std::function<void(int)>& work) {
    const int threads = BatchThreads(count);
    if (threads <= 1) {
        for (int i = 0; i < count; ++i)
            work(i);
        return;
    }
    std::atomic<int> next{0};
    // An exception from work ends the program, as it would on a thread of
    // its own: other threads may still be running the same loop.
    const std::function<void()> run = [&]() noexcept {
        for (int i = next++; i < count; i = next++)
            work(i);
    };
    Helpers& helpers = Helpers::instance();
    if (helpers.claim()) {
        helpers.run(threads - 1, run);
        helpers.release();
        return;
    }
    ParallelForOnOwnThreads(count, threads, work);
}

void ParallelForOnOwnThreads(int count, int threads, const std::function<void(int)>& work) {
    std::atomic<int> next{0};
    auto run = [&] {
        for (int i = next++; i < count; i = next++)
            work(i);
    };
    std::vector<std::thread> helpers;
    for (int t = 1; t < std::min(threads, count); ++t)
        helpers.emplace_back(run);
    run();
    for (std::thread& h : helpers)
        h.join();
}
