#include "window/workerthread.h"

#include <QThread>

namespace {

// Often enough that rows appear as they are ready, seldom enough that
// taking them costs the window little.
constexpr int PulseMs = 50;

} // namespace

WorkerThread::WorkerThread(QObject* parent) : QObject(parent) {
    m_pulse.setInterval(PulseMs);
    connect(&m_pulse, &QTimer::timeout, this, &WorkerThread::pulse);
}

WorkerThread::~WorkerThread() {
    wait();
    delete m_thread;
}

bool WorkerThread::start(std::function<void()> job) {
    if (m_thread)
        return false;
    m_thread = QThread::create(std::move(job));
    // Emitted on the job's thread; queued to this object's.
    connect(m_thread, &QThread::finished, this, &WorkerThread::jobEnded);
    m_thread->start();
    m_pulse.start();
    return true;
}

void WorkerThread::wait() {
    if (m_thread)
        m_thread->wait();
}

void WorkerThread::jobEnded() {
    m_pulse.stop();
    m_thread->wait(); // finished() comes a moment before the thread is gone
    delete m_thread;
    m_thread = nullptr;
    emit pulse();
    emit finished();
}
