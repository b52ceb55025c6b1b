#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

class QThread;

// Runs one job at a time on a thread of its own, so that the window keeps
// answering while files are read and written. While the job runs, pulse()
// fires every 50 ms for the owner to take what the job reported (see
// ReportQueue); when it has ended, a last pulse() and then finished().
// Destroying the worker waits for its job, so a long job must watch a stop
// flag that its owner sets first.
class WorkerThread : public QObject {
    Q_OBJECT
public:
    explicit WorkerThread(QObject* parent = nullptr);
    ~WorkerThread() override;

    // False, and nothing started, while another job runs.
    bool start(std::function<void()> job);
    // From start() until finished() has been emitted.
    bool isRunning() const { return m_thread != nullptr; }
    // Blocks until the job has returned; finished() still follows from the
    // event loop.
    void wait();

signals:
    void pulse();
    void finished();

private:
    void jobEnded();

    QThread* m_thread = nullptr;
    QTimer m_pulse;
};
