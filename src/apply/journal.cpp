#include "journal.h"

#include "copyfile.h"
#include "profiles/storename.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

QString errnoText(int err) {
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray toLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QJsonObject startRecord(const JournalEntry& e) {
    return {{"type", "start"},
            {"seq", e.seq},
            {"original", e.originalPath},
            {"target", e.targetPath},
            {"headAt", e.headAt},
            {"headSize", e.headSize},
            {"tail", QString::fromLatin1(e.tail.toBase64())},
            {"size", e.originalSize},
            {"digest", QString::fromLatin1(e.originalDigest.toHex())},
            {"mtimeNs", e.originalMtimeNs},
            {"folders", QJsonArray::fromStringList(e.plannedFolders)}};
}

QJsonObject outcomeRecord(const JournalEntry& e) {
    return {{"type", "outcome"},    {"seq", e.seq},
            {"changed", e.changed}, {"final", e.finalPath},
            {"size", e.finalSize},  {"digest", QString::fromLatin1(e.finalDigest.toHex())}};
}

QByteArray fromBase64(const QJsonValue& v) {
    return QByteArray::fromBase64(v.toString().toLatin1());
}

QByteArray fromHex(const QJsonValue& v) {
    return QByteArray::fromHex(v.toString().toLatin1());
}

// Appends one record to an existing journal and flushes it.
bool appendTo(const QString& file, const QJsonObject& record) {
    const int fd = ::open(QFile::encodeName(file).constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    const QByteArray line = toLine(record);
    const bool ok =
        ::write(fd, line.constData(), size_t(line.size())) == line.size() && ::fdatasync(fd) == 0;
    ::close(fd);
    return ok;
}

// <id>.bytes beside <id>.jsonl.
QString BytesFileOf(const QString& journalFile) {
    QString stem = journalFile;
    if (stem.endsWith(QLatin1String(".jsonl")))
        stem.chop(6);
    return stem + QStringLiteral(".bytes");
}

} // namespace

bool JournalRun::mayHaveTouched(const JournalEntry& e) const {
    return e.done ? e.changed : (e.begun || !marksBegin);
}

int JournalRun::changedFiles() const {
    return int(std::count_if(entries.begin(), entries.end(),
                             [this](const JournalEntry& e) { return mayHaveTouched(e); }));
}

QString JournalFolder(const QString& application) {
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory rules ignore a relative path.
    if (state.isEmpty() || QDir::isRelativePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QLatin1Char('/') + QLatin1String(StoreOrganization) + QLatin1Char('/') +
           application + QStringLiteral("/journal");
}

QString JournalFolder() {
    return JournalFolder(currentStoreApplicationName());
}

JournalWriter::JournalWriter(QString folder) : m_folder(std::move(folder)) {}

JournalWriter::~JournalWriter() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_bytesFd >= 0)
        ::close(m_bytesFd);
}

bool JournalWriter::fail(const QString& path, QString* error) {
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, errnoText(errno));
    return false;
}

bool JournalWriter::open(QString* error) {
    if (m_fd >= 0)
        return true;
    if (!QDir().mkpath(m_folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(m_folder);
        return false;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QString stem = now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 1; m_fd < 0; ++n) {
        m_id = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        m_path = m_folder + QLatin1Char('/') + m_id + QStringLiteral(".jsonl");
        m_fd = ::open(QFile::encodeName(m_path).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (m_fd < 0 && errno != EEXIST)
            return fail(m_path, error);
    }
    // The name is this run's now; a byte file left by a run that lost its
    // journal is of no use to anyone.
    m_bytesPath = BytesFileOf(m_path);
    m_bytesFd = ::open(QFile::encodeName(m_bytesPath).constData(),
                       O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const QJsonObject run{
        {"type", "run"}, {"id", m_id}, {"time", now.toString(Qt::ISODateWithMs)}, {"begins", true}};
    const QByteArray line = toLine(run);
    if (m_bytesFd >= 0 && ::write(m_fd, line.constData(), size_t(line.size())) == line.size())
        return true;
    // Half made: nothing of it stays, and the next record tries afresh.
    fail(m_bytesFd < 0 ? m_bytesPath : m_path, error);
    ::close(m_fd);
    ::unlink(QFile::encodeName(m_path).constData());
    if (m_bytesFd >= 0) {
        ::close(m_bytesFd);
        ::unlink(QFile::encodeName(m_bytesPath).constData());
    }
    m_fd = m_bytesFd = -1;
    return false;
}

bool JournalWriter::append(const QByteArray& line, QString* error) {
    if (m_fd < 0 && !open(error))
        return false;
    if (::write(m_fd, line.constData(), size_t(line.size())) != line.size())
        return fail(m_path, error);
    return true;
}

bool JournalWriter::flush(QString* error) {
    if (m_fd < 0)
        return true;
    // The saved bytes before the records that point into them.
    if (::fdatasync(m_bytesFd) != 0)
        return fail(m_bytesPath, error);
    if (::fdatasync(m_fd) != 0)
        return fail(m_path, error);
    if (m_durable == 0) {
        // The journal's own name must survive a power cut too.
        const int dir = ::open(QFile::encodeName(m_folder).constData(), O_RDONLY | O_DIRECTORY);
        if (dir >= 0) {
            ::fsync(dir);
            ::close(dir);
        }
    }
    m_durable = m_next - 1;
    return true;
}

bool JournalWriter::recordStart(JournalEntry& entry, QString* error, Flush flush) {
    if (m_fd < 0 && !open(error))
        return false;
    entry.seq = m_next;
    if (entry.headAt < 0 && !saveHead(entry, error))
        return false;
    if (!append(toLine(startRecord(entry)), error))
        return false;
    ++m_next;
    ++m_open;
    return flush == Flush::Later || makeDurable(entry.seq, error);
}

bool JournalWriter::saveHead(JournalEntry& entry, QString* error) {
    // Each head gets its own span of the file, so writers never overlap.
    const qint64 at = m_bytesSize.fetch_add(entry.head.size());
    for (qsizetype done = 0; done < entry.head.size();) {
        const ssize_t n = ::pwrite(m_bytesFd, entry.head.constData() + done,
                                   size_t(entry.head.size() - done), at + done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return fail(m_bytesPath, error);
        }
        done += n;
    }
    entry.headAt = at;
    entry.headSize = entry.head.size();
    return true;
}

bool JournalWriter::makeDurable(int seq, QString* error) {
    return seq <= m_durable || flush(error);
}

bool JournalWriter::recordBegin(int seq, QString* error) {
    return append(toLine({{"type", "begin"}, {"seq", seq}}), error);
}

bool JournalWriter::recordOutcome(const JournalEntry& entry, QString* error) {
    // Not flushed on its own: an outcome lost in a crash leaves an entry that
    // undo treats as cut off, and the next flush or the end of the run
    // writes it anyway. One flush per file (or per group) instead of two.
    if (!append(toLine(outcomeRecord(entry)), error))
        return false;
    --m_open;
    if (entry.changed)
        ++m_changed;
    return true;
}

void JournalWriter::finish() {
    if (m_fd < 0)
        return;
    flush(nullptr);
    ::close(m_fd);
    ::close(m_bytesFd);
    m_fd = m_bytesFd = -1;
    if (m_changed == 0 && m_open == 0) {
        QFile::remove(m_path);
        QFile::remove(m_bytesPath);
    }
}

JournalRun ReadJournalRun(const QString& file) {
    JournalRun run;
    run.file = file;
    run.bytesFile = BytesFileOf(file);
    QFile in(file);
    if (!in.open(QIODevice::ReadOnly))
        return run;
    auto entryFor = [&run](int seq) -> JournalEntry* {
        // Entries are numbered from 1 in order; look there first.
        if (seq >= 1 && seq <= run.entries.size() && run.entries[seq - 1].seq == seq)
            return &run.entries[seq - 1];
        for (JournalEntry& e : run.entries) {
            if (e.seq == seq)
                return &e;
        }
        return nullptr;
    };
    while (!in.atEnd()) {
        const QJsonObject r = QJsonDocument::fromJson(in.readLine()).object();
        const QString type = r.value("type").toString();
        if (type == QLatin1String("run")) {
            run.id = r.value("id").toString();
            run.time = QDateTime::fromString(r.value("time").toString(), Qt::ISODateWithMs);
            run.marksBegin = r.value("begins").toBool();
        } else if (type == QLatin1String("start")) {
            JournalEntry e;
            e.seq = r.value("seq").toInt();
            e.originalPath = r.value("original").toString();
            e.targetPath = r.value("target").toString();
            // Earlier versions kept the region inline, as base64.
            if (r.contains("head")) {
                e.head = fromBase64(r.value("head"));
                e.headSize = e.head.size();
            } else {
                e.headAt = r.value("headAt").toInteger(-1);
                e.headSize = r.value("headSize").toInteger(-1);
            }
            e.tail = fromBase64(r.value("tail"));
            e.originalSize = r.value("size").toInteger();
            e.originalDigest = fromHex(r.value("digest"));
            e.originalMtimeNs = r.value("mtimeNs").toInteger();
            for (const QJsonValue& f : r.value("folders").toArray())
                e.plannedFolders.append(f.toString());
            run.entries.append(e);
        } else if (type == QLatin1String("outcome")) {
            if (JournalEntry* e = entryFor(r.value("seq").toInt())) {
                e->done = true;
                e->changed = r.value("changed").toBool();
                e->finalPath = r.value("final").toString();
                e->finalSize = r.value("size").toInteger();
                e->finalDigest = fromHex(r.value("digest"));
            }
        } else if (type == QLatin1String("begin")) {
            if (JournalEntry* e = entryFor(r.value("seq").toInt()))
                e->begun = true;
        } else if (type == QLatin1String("undone")) {
            if (JournalEntry* e = entryFor(r.value("seq").toInt()))
                e->undone = true;
        } else if (type == QLatin1String("undo")) {
            run.undoAttempted = true;
        }
        // Anything else is a line cut off by a kill: skipped.
    }
    return run;
}

bool LoadSavedHead(const JournalRun& run, JournalEntry& entry) {
    if (entry.head.size() == entry.headSize)
        return true; // inline, or nothing to load
    if (entry.headAt < 0 || entry.headSize < 0)
        return false;
    QFile bytes(run.bytesFile);
    if (!bytes.open(QIODevice::ReadOnly) || !bytes.seek(entry.headAt))
        return false;
    entry.head = bytes.read(entry.headSize);
    return entry.head.size() == entry.headSize;
}

QList<JournalRun> ReadJournalRuns(const QString& folder) {
    QList<JournalRun> runs;
    const QDir dir(folder);
    for (const QString& name : dir.entryList({QStringLiteral("*.jsonl")}, QDir::Files)) {
        JournalRun run = ReadJournalRun(dir.filePath(name));
        if (!run.id.isEmpty())
            runs.append(run);
    }
    std::sort(runs.begin(), runs.end(), [](const JournalRun& a, const JournalRun& b) {
        return a.time != b.time ? a.time > b.time : a.id > b.id;
    });
    return runs;
}

bool RecordUndone(const QString& file, int seq) {
    return appendTo(file, {{"type", "undone"}, {"seq", seq}});
}

bool RecordUndoAttempt(const QString& file) {
    return appendTo(file, {{"type", "undo"},
                           {"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}});
}
