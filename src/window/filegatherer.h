#pragma once

#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

template <class T> class QPromise;

// Makes dropped paths into the files to list, on a worker thread so that the
// window answers meanwhile. A folder gives the files named *.mp3 (in any
// letter case) inside it and its subfolders, hidden ones and symbolic links
// to folders excepted, in fileNameCollator() order of their paths; every
// other path gives itself. Each file is listable only when ProbeAudioFile
// finds MPEG audio in it, so folders, FIFOs, devices and files of other
// formats are skipped, whatever their names say, and nothing blocks.
class FileGatherer : public QObject {
    Q_OBJECT
public:
    explicit FileGatherer(QObject* parent = nullptr);
    // Stops the work in hand and waits for the worker.
    ~FileGatherer() override;

    // Queues the paths; each call's paths are gathered after the last
    // call's, so the listable files arrive in the order given.
    void gather(const QStringList& paths);
    // From gather() until finished(); the worker may be done sooner, but
    // its files are not all handed over yet.
    bool isBusy() const { return m_busy; }

    // The worker's part, run on the calling thread: reports the listable
    // files in batches, a batch whenever some time has passed, and stops
    // early when the promise is canceled.
    static void gatherInto(QPromise<QStringList>& promise, const QStringList& paths);

signals:
    // Listable files, in order. Handed over at growing intervals: four times
    // as long as the receiver took with the last ones (listing re-sorts the
    // whole list), so that the window spends most of its time answering.
    void found(const QStringList& files);
    // Every queued path was gathered.
    void finished();

private:
    void startNext();
    void onResults(int begin, int end);
    void onFinished();
    void handOver();

    QFutureWatcher<QStringList> m_watcher;
    QList<QStringList> m_queue;
    bool m_busy = false;
    QStringList m_pending; // found, not yet handed over
    QTimer m_handOver;
};
