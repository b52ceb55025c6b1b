#pragma once

#include <mutex>
#include <utility>
#include <vector>

// What a job on another thread reports, kept until the window's thread
// takes it all at once: one lock per report and one per take, so that a
// fast job never waits for the window and the window redraws per batch,
// not per file.
template <typename T> class ReportQueue {
public:
    void push(T item) {
        const std::lock_guard lock(m_mutex);
        m_items.push_back(std::move(item));
    }
    std::vector<T> take() {
        const std::lock_guard lock(m_mutex);
        return std::exchange(m_items, {});
    }

private:
    std::mutex m_mutex;
    std::vector<T> m_items;
};
