#include "runindex.h"

#include "filedigest.h"
#include "tags/descriptorio.h"
#include "tags/pathbytes.h"

#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char IndexName[] = ".runs-index";
// Lines of another format (an earlier version judged "settled" otherwise,
// or had no "undoBegun") are not taken: their runs are read again.
constexpr int IndexFormat = 3;

// What tells that a journal file changed: appends change its size, an edit
// in place its times (the change time cannot be set back), a copy put in
// its place its inode.
struct Stamp {
    qint64 size = -1;
    qint64 mtimeNs = 0;
    qint64 ctimeNs = 0;
    quint64 inode = 0;
    friend bool operator==(const Stamp&, const Stamp&) = default;
};

// The stamp of name in the folder open as folder (AT_FDCWD: name is a path).
bool stampAt(int folder, const char* name, Stamp& stamp) {
    struct stat st;
    if (::fstatat(folder, name, &st, 0) != 0 || !S_ISREG(st.st_mode))
        return false;
    stamp = {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec,
             qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec, quint64(st.st_ino)};
    return true;
}

bool stampOf(const QString& path, Stamp& stamp) {
    return stampAt(AT_FDCWD, pathBytes(path).constData(), stamp);
}

struct Indexed {
    Stamp stamp;
    JournalRunSummary summary;
};

// Keyed by the journal's file name.
using Index = QHash<QString, Indexed>;

QJsonObject toJson(const QString& name, const Indexed& entry) {
    const JournalRunSummary& s = entry.summary;
    return {{"format", IndexFormat},
            {"name", name},
            {"size", entry.stamp.size},
            {"mtimeNs", entry.stamp.mtimeNs},
            {"ctimeNs", entry.stamp.ctimeNs},
            {"inode", QString::number(entry.stamp.inode)},
            {"id", s.id},
            {"time", s.time.toString(Qt::ISODateWithMs)},
            {"files", s.files},
            {"undone", s.undoAttempted},
            {"undoBegun", s.undoBegun},
            {"notRestored", s.notRestored},
            {"damage", QJsonArray::fromStringList(s.damage)},
            {"settled", s.settled}};
}

Index readIndex(const QString& folder) {
    Index index;
    QByteArray bytes; // what could be read, whole or not
    ReadSmallFile(folder + u'/' + QLatin1String(IndexName), bytes);
    for (const QByteArray& line : bytes.split('\n')) {
        const QJsonObject o = QJsonDocument::fromJson(line).object();
        if (o.isEmpty() || o["format"].toInt() != IndexFormat)
            continue;
        Indexed e;
        e.stamp = {o["size"].toInteger(-1), o["mtimeNs"].toInteger(), o["ctimeNs"].toInteger(),
                   o["inode"].toString().toULongLong()};
        JournalRunSummary& s = e.summary;
        s.id = o["id"].toString();
        s.time = QDateTime::fromString(o["time"].toString(), Qt::ISODateWithMs);
        s.files = o["files"].toInt();
        s.undoAttempted = o["undone"].toBool();
        s.undoBegun = o["undoBegun"].toBool();
        s.notRestored = o["notRestored"].toInt();
        for (const QJsonValue& d : o["damage"].toArray())
            s.damage << d.toString();
        s.settled = o["settled"].toBool();
        index.insert(o["name"].toString(), e);
    }
    return index;
}

// Replaces the index in one step, so that a reader sees the old one or the
// new one. It is a shortcut only: not flushed, and a failure is ignored.
void writeIndex(const QString& folder, const Index& index) {
    QByteArray bytes;
    for (auto e = index.begin(); e != index.end(); ++e)
        bytes += QJsonDocument(toJson(e.key(), e.value())).toJson(QJsonDocument::Compact) + '\n';
    const QByteArray target = pathBytes(folder + u'/' + QLatin1String(IndexName));
    QByteArray temporary = target + "-XXXXXX";
    const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0)
        return;
    bool ok = WriteAll(fd, bytes.constData(), bytes.size());
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temporary.constData(), target.constData()) != 0)
        ::unlink(temporary.constData());
}

// The journal's summary with the stamp it had before it was read: a run
// appended to meanwhile then looks changed next time and is read again.
bool summarise(const QString& file, Indexed& entry) {
    if (!stampOf(file, entry.stamp))
        return false;
    const JournalRun run = ReadJournalRun(file);
    if (run.id.isEmpty())
        return false;
    entry.summary = SummaryOf(run);
    return true;
}

} // namespace

JournalRunSummary SummaryOf(const JournalRun& run) {
    JournalRunSummary s;
    s.id = run.id;
    s.time = run.time;
    s.file = run.file;
    s.files = run.changedFiles();
    s.undoAttempted = run.undoAttempted;
    s.undoBegun = run.undoBegun;
    s.notRestored = run.notRestored();
    s.damage = run.damage;
    s.settled = run.settled();
    return s;
}

QString JournalFolderProblem(const QString& folder) {
    const QByteArray path = pathBytes(folder);
    // Listed but not searched, the folder would show its runs' names only.
    if (DIR* dir = ::opendir(path.constData())) {
        ::closedir(dir);
        if (::access(path.constData(), R_OK | X_OK) == 0)
            return {};
    }
    const int err = errno;
    if (err == ENOENT)
        return {};
    return QStringLiteral("cannot read the journal folder %1: %2")
        .arg(folder, qt_error_string(err));
}

QList<JournalRunSummary> ReadJournalSummaries(const QString& folder) {
    const Index indexed = readIndex(folder);
    Index now;
    bool changed = false;
    DIR* dir = ::opendir(pathBytes(folder).constData());
    if (!dir)
        return {};
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray bytes(entry->d_name);
        if (bytes.startsWith('.') || !bytes.endsWith(".jsonl"))
            continue;
        const QString name = pathFromBytes(bytes);
        const QString file = folder + u'/' + name;
        Indexed e;
        const auto known = indexed.constFind(name);
        // Looked up in the folder open already, not along the whole path. A
        // damaged run is read again all the same: it is rare, and what a
        // newer version makes of it may differ.
        if (known != indexed.constEnd() && known->summary.damage.isEmpty() &&
            stampAt(::dirfd(dir), entry->d_name, e.stamp) && e.stamp == known->stamp) {
            e.summary = known->summary;
        } else {
            changed = true;
            if (!summarise(file, e))
                continue;
        }
        e.summary.file = file;
        now.insert(name, e);
    }
    ::closedir(dir);
    if (changed || now.size() != indexed.size())
        writeIndex(folder, now);
    QList<JournalRunSummary> runs;
    for (const Indexed& e : std::as_const(now))
        runs.append(e.summary);
    std::sort(runs.begin(), runs.end(), [](const JournalRunSummary& a, const JournalRunSummary& b) {
        return a.time != b.time ? a.time > b.time : a.id > b.id;
    });
    return runs;
}

namespace {

void putInIndex(const QString& journalFile, const Indexed* e) {
    const QString folder = folderOfPath(journalFile);
    Index index = readIndex(folder);
    if (e)
        index.insert(nameOfPath(journalFile), *e);
    else
        index.remove(nameOfPath(journalFile));
    writeIndex(folder, index);
}

} // namespace

void IndexJournalRun(const QString& journalFile) {
    Indexed e;
    putInIndex(journalFile, summarise(journalFile, e) ? &e : nullptr);
}

void IndexJournalRun(const QString& journalFile, const JournalRunSummary& summary, qint64 size) {
    Indexed e;
    e.summary = summary;
    if (!stampOf(journalFile, e.stamp))
        putInIndex(journalFile, nullptr);
    else if (size >= 0 && e.stamp.size != size)
        IndexJournalRun(journalFile);
    else
        putInIndex(journalFile, &e);
}
