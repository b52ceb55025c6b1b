#include "window/filegatherer.h"

#include "tags/audioprobe.h"
#include "tags/pathbytes.h"
#include "window/filenameorder.h"

#include <QCollatorSortKey>
#include <QElapsedTimer>
#include <QPromise>
#include <QThreadPool>

#include <algorithm>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>

namespace {

// How long the worker collects files before it passes them on, and the
// shortest interval between two hand-overs: often enough that entries
// appear while a large folder is read, seldom enough that the list is not
// re-sorted for every few files.
constexpr int BatchMilliseconds = 100;

// Appends the files named "*.mp3" (in any letter case) under folder to
// files, links to files included, links to folders not followed, hidden
// files and folders left out. Names are
// read as bytes: a name that is no UTF-8 must reach the list as it is.
void collectUnder(const QByteArray& folder, QStringList& files,
                  const QPromise<QStringList>& promise) {
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return;
    while (const dirent* entry = ::readdir(dir)) {
        if (promise.isCanceled())
            break;
        const QByteArray name(entry->d_name);
        if (name.startsWith('.')) // hidden files and folders stay out
            continue;
        const QByteArray path = folder + '/' + name;
        struct stat st;
        if (::lstat(path.constData(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            collectUnder(path, files, promise);
        } else if (name.toLower().endsWith(".mp3") &&
                   (S_ISREG(st.st_mode) ||
                    (S_ISLNK(st.st_mode) && ::stat(path.constData(), &st) == 0 &&
                     S_ISREG(st.st_mode)))) {
            files.append(pathFromBytes(path));
        }
    }
    ::closedir(dir);
}

// The MP3 files under a folder, in the order of their paths.
QStringList filesUnder(const QString& folder, const QPromise<QStringList>& promise) {
    QStringList files;
    QByteArray bytes = pathBytes(folder);
    while (bytes.size() > 1 && bytes.endsWith('/'))
        bytes.chop(1);
    if (!bytes.isEmpty())
        collectUnder(bytes, files, promise);
    const QCollator collator = fileNameCollator();
    std::vector<std::pair<QCollatorSortKey, qsizetype>> keys;
    keys.reserve(size_t(files.size()));
    for (qsizetype i = 0; i < files.size(); ++i)
        keys.emplace_back(collator.sortKey(files[i]), i);
    std::stable_sort(keys.begin(), keys.end(),
                     [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    QStringList sorted;
    sorted.reserve(files.size());
    for (const auto& key : keys)
        sorted.append(files[key.second]);
    return sorted;
}

} // namespace

FileGatherer::FileGatherer(QObject* parent) : QObject(parent) {
    connect(&m_watcher, &QFutureWatcher<QStringList>::resultsReadyAt, this,
            &FileGatherer::onResults);
    connect(&m_watcher, &QFutureWatcher<QStringList>::finished, this, &FileGatherer::onFinished);
    m_handOver.setSingleShot(true);
    m_handOver.setInterval(BatchMilliseconds);
    connect(&m_handOver, &QTimer::timeout, this, &FileGatherer::handOver);
}

FileGatherer::~FileGatherer() {
    m_queue.clear();
    m_watcher.cancel();
    m_watcher.waitForFinished();
}

void FileGatherer::gather(const QStringList& paths) {
    m_queue.append(paths);
    // A new future may only be watched once the last one's files were all
    // handed over: setFuture drops results not yet delivered.
    if (!m_busy)
        startNext();
}

void FileGatherer::startNext() {
    m_busy = true;
    auto promise = std::make_shared<QPromise<QStringList>>();
    m_watcher.setFuture(promise->future());
    promise->start();
    QThreadPool::globalInstance()->start([promise, paths = m_queue.takeFirst()] {
        gatherInto(*promise, paths);
        promise->finish();
    });
}

void FileGatherer::gatherInto(QPromise<QStringList>& promise, const QStringList& paths) {
    QStringList batch;
    QElapsedTimer sinceBatch;
    // A batch collects files for some time from its first one on.
    const auto take = [&](const QString& file) {
        if (!ProbeAudioFile(file).mpeg)
            return;
        if (batch.isEmpty())
            sinceBatch.start();
        batch.append(file);
        if (sinceBatch.elapsed() >= BatchMilliseconds)
            promise.addResult(std::exchange(batch, {}));
    };
    for (const QString& path : paths) {
        if (promise.isCanceled())
            return;
        struct stat st;
        if (::stat(pathBytes(path).constData(), &st) != 0 || !S_ISDIR(st.st_mode)) {
            take(path);
            continue;
        }
        for (const QString& file : filesUnder(path, promise)) {
            if (promise.isCanceled())
                return;
            take(file);
        }
    }
    if (!batch.isEmpty())
        promise.addResult(batch);
}

void FileGatherer::onResults(int begin, int end) {
    for (int i = begin; i < end; ++i)
        m_pending += m_watcher.resultAt(i);
    if (!m_handOver.isActive())
        m_handOver.start();
}

void FileGatherer::handOver() {
    if (m_pending.isEmpty())
        return;
    QElapsedTimer took;
    took.start();
    emit found(std::exchange(m_pending, {}));
    m_handOver.setInterval(std::max(qint64(BatchMilliseconds), 4 * took.elapsed()));
}

void FileGatherer::onFinished() {
    if (!m_queue.isEmpty()) {
        startNext();
        return;
    }
    m_handOver.stop();
    handOver();
    m_handOver.setInterval(BatchMilliseconds);
    m_busy = false;
    emit finished();
}
