#include "journal.h"

#include "filedigest.h"
#include "foldercreation.h"
#include "journalfileops.h"
#include "jsonline.h"
#include "parallelfor.h"
#include "profiles/storename.h"
#include "runindex.h"
#include "syncfiles.h"
#include "tags/descriptorio.h"
#include "tags/pathbytes.h"
#include "tags/rewritetemp.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

namespace {

// The largest ID3v2 region a header can announce (a 28-bit size, the header
// and a footer). A start record's sizes and references beyond it are not
// ones a run wrote, and would make undo reach for gigabytes.
constexpr qint64 MostRegion = 10 + 0x0FFFFFFF + 10;
// Start records missing that a damaged journal is read past, in all; a
// number further on is no run's, and would take a placeholder each.
constexpr int MostMissingStarts = 1 << 16;

// The id of the run whose journal is <id>.jsonl, when its records cannot
// tell it.
QString runIdOfFile(const QString& journalFile) {
    return nameOfPath(journalFile).chopped(6);
}

// When a run began, as its id says (UTC, to the millisecond): for a run
// whose run record is missing or cannot be read, so that history still
// lists it in its place.
QDateTime timeOfRunId(const QString& id) {
    // UTC from the start, as the run records' times are ("...Z" in JSON),
    // never a local time (which a change to summer time may skip).
    const QDate date = QDate::fromString(id.left(8), QStringLiteral("yyyyMMdd"));
    const QTime time = QTime::fromString(id.mid(9, 10), QStringLiteral("HHmmss-zzz"));
    return date.isValid() && time.isValid() ? QDateTime(date, time, Qt::UTC) : QDateTime();
}

QByteArray toLine(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

QByteArray refsToJson(const QList<RegionRef>& refs) {
    QByteArray array("[");
    for (const RegionRef& r : refs) {
        if (array.size() > 1)
            array += ',';
        array += '[' + QByteArray::number(r.at) + ',' + QByteArray::number(r.length) + ',' +
                 QByteArray::number(r.from) + ']';
    }
    return array + ']';
}

QByteArray stringsToJson(const QStringList& strings) {
    QByteArray array("[");
    for (const QString& s : strings) {
        if (array.size() > 1)
            array += ',';
        array += JsonLine::string(s);
    }
    return array + ']';
}

QList<RegionRef> refsFromJson(const QJsonValue& value) {
    QList<RegionRef> refs;
    for (const QJsonValue& r : value.toArray())
        refs.append({r[0].toInteger(-1), r[1].toInteger(-1), r[2].toInteger(-1)});
    return refs;
}

// Written for every file: straight into bytes (jsonline.h).
QByteArray startRecord(const JournalEntry& e) {
    return JsonLine()
        .add("type", "start")
        .add("seq", e.seq)
        .add("original", e.originalPath)
        .add("target", e.targetPath)
        .add("headAt", e.headAt)
        .add("headSize", e.headSize)
        .add("region", e.regionSize)
        .addJson("refs", refsToJson(e.saved.refs))
        .add("inPlace", e.saved.inPlace)
        .add("tail", QString::fromLatin1(e.tail.toBase64()))
        .add("size", e.originalSize)
        .add("print", QString::fromLatin1(e.originalDigest.toHex()))
        .add("mtimeNs", e.originalMtimeNs)
        .addJson("folders", stringsToJson(e.plannedFolders))
        .finish();
}

QByteArray outcomeRecord(const JournalEntry& e) {
    return JsonLine()
        .add("type", "outcome")
        .add("seq", e.seq)
        .add("changed", e.changed)
        .add("final", e.finalPath)
        .add("size", e.finalSize)
        .add("print", QString::fromLatin1(e.finalDigest.toHex()))
        .finish();
}

QByteArray fromBase64(const QJsonValue& v) {
    return QByteArray::fromBase64(v.toString().toLatin1());
}

QByteArray fromHex(const QJsonValue& v) {
    return QByteArray::fromHex(v.toString().toLatin1());
}

// Takes the lock of the journal open as fd, waiting up to two seconds for
// a holder to let go: another undo holds it for the moment it appends its
// marks, the run's writer until the run ends. 0 once taken, else the errno
// (EWOULDBLOCK: still held).
int lockJournal(int fd) {
    for (int tries = 0;; ++tries) {
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            return 0;
        if (errno != EWOULDBLOCK || tries == 39)
            return errno;
        ::usleep(50'000);
    }
}

// Appends records (whole lines) to an existing journal and flushes them. A
// line cut off by a killed run gets its end first, so that each record
// stays a line of its own; a write that fails half-way is cut off again.
// False with errno set on failure.
bool appendLines(const QString& file, QByteArray lines) {
    const int fd = ::open(pathBytes(file).constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Only where no run is writing the journal now (it holds the lock) is
    // its end this call's own to cut. Another undo's append is waited for,
    // or its write that failed and is cut off again would cut off these
    // lines too.
    const bool alone = lockJournal(fd) == 0;
    struct stat st;
    if (::fstat(fd, &st) != 0) {
        const int err = errno;
        ::close(fd);
        errno = err;
        return false;
    }
    char last = '\n';
    if (st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        lines.prepend('\n');
    JournalFileOps& ops = currentJournalFileOps();
    bool ok = ops.append(fd, lines);
    if (!ok && alone) {
        const int err = errno;
        (void)::ftruncate(fd, st.st_size);
        errno = err;
    }
    ok = ok && ops.sync(fd);
    const int err = errno;
    ::close(fd);
    errno = err;
    return ok;
}

bool appendTo(const QString& file, const QJsonObject& record) {
    return appendLines(file, toLine(record));
}

QJsonObject undoAttemptRecord() {
    return {{"type", "undo"},
            {"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)}};
}

qint64 fileSize(const QString& path) {
    struct stat st;
    return ::stat(pathBytes(path).constData(), &st) == 0 ? qint64(st.st_size) : 0;
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

JournalEntry* JournalRun::entry(int seq) {
    // Numbered from 1 in order.
    if (seq >= 1 && seq <= entries.size() && entries[seq - 1].seq == seq)
        return &entries[seq - 1];
    return nullptr;
}

int JournalRun::notRestored() const {
    return int(std::count_if(entries.begin(), entries.end(), [this](const JournalEntry& e) {
        return mayHaveTouched(e) && !e.undone;
    }));
}

bool JournalRun::settled() const {
    return damage.isEmpty() && !undoUnfinished() &&
           std::none_of(entries.begin(), entries.end(), [this](const JournalEntry& e) {
               return !e.undone && (e.restoring || (!e.done && mayHaveTouched(e)));
           });
}

QString JournalFolder(const QString& application) {
    // Both may name folders whose names are no UTF-8: taken as bytes.
    QString state = pathFromBytes(qgetenv("XDG_STATE_HOME"));
    // The base directory rules ignore a relative path.
    if (state.isEmpty() || !state.startsWith(u'/')) {
        const QByteArray home = qgetenv("HOME");
        state = (home.isEmpty() ? QDir::homePath() : pathFromBytes(home)) +
                QStringLiteral("/.local/state");
    }
    return state + QLatin1Char('/') + QLatin1String(StoreOrganization) + QLatin1Char('/') +
           application + QStringLiteral("/journal");
}

QString JournalFolder() {
    return JournalFolder(currentStoreApplicationName());
}

JournalWriter::JournalWriter(QString folder) : m_folder(std::move(folder)) {
    // A new run: its growing writes sweep each folder again, once.
    NewRewriteTempSweep();
}

JournalWriter::~JournalWriter() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_bytesFd >= 0)
        ::close(m_bytesFd);
}

bool JournalWriter::fail(const QString& path, QString* error) {
    if (error)
        *error = QStringLiteral("%1: %2").arg(path, qt_error_string(errno));
    return false;
}

bool JournalWriter::open(QString* error) {
    if (m_fd >= 0)
        return true;
    if (!CreateFolderLevels(m_folder)) {
        if (error)
            *error = QStringLiteral("cannot create %1").arg(m_folder);
        return false;
    }
    const QDateTime now = QDateTime::currentDateTimeUtc();
    m_time = now;
    const QString stem = now.toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    for (int n = 1; m_fd < 0; ++n) {
        m_id = n == 1 ? stem : stem + QLatin1Char('-') + QString::number(n);
        m_path = m_folder + QLatin1Char('/') + m_id + QStringLiteral(".jsonl");
        m_fd = ::open(pathBytes(m_path).constData(),
                      O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0600);
        if (m_fd < 0 && errno != EEXIST)
            return fail(m_path, error);
    }
    // Held while the run writes, so that forgetting old runs passes over it.
    ::flock(m_fd, LOCK_EX | LOCK_NB);
    // The name is this run's now; a byte file left by a run that lost its
    // journal is of no use to anyone.
    m_bytesPath = BytesFileOf(m_path);
    m_bytesFd =
        ::open(pathBytes(m_bytesPath).constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    const QJsonObject run{
        {"type", "run"}, {"id", m_id}, {"time", now.toString(Qt::ISODateWithMs)}, {"begins", true}};
    const QByteArray line = toLine(run);
    if (m_bytesFd >= 0 && currentJournalFileOps().append(m_fd, line)) {
        m_size = line.size();
        return true;
    }
    // Half made: nothing of it stays, and the next record tries afresh.
    fail(m_bytesFd < 0 ? m_bytesPath : m_path, error);
    ::close(m_fd);
    ::unlink(pathBytes(m_path).constData());
    if (m_bytesFd >= 0) {
        ::close(m_bytesFd);
        ::unlink(pathBytes(m_bytesPath).constData());
    }
    m_fd = m_bytesFd = -1;
    return false;
}

bool JournalWriter::removed() const {
    struct stat st;
    for (const int fd : {m_fd, m_bytesFd}) {
        if (fd >= 0 && ::fstat(fd, &st) == 0 && st.st_nlink == 0)
            return true;
    }
    return false;
}

bool JournalWriter::append(const QByteArray& lines, QString* error, bool* left) {
    if (left)
        *left = m_uncut;
    if (m_fd < 0 && !open(error))
        return false;
    if (m_uncut) {
        // Part of a record the journal could not cut off stands at its end:
        // whatever came after it would not read, so nothing more is written.
        errno = EIO;
        return fail(m_path, error);
    }
    if (removed()) {
        // Its folder cleared meanwhile, by hand or by another program: no
        // undo would find these records, so no file not begun yet is touched
        // on their word (one being written is finished; its outcome is lost).
        errno = ENOENT;
        return fail(m_path, error);
    }
    if (!currentJournalFileOps().append(m_fd, lines)) {
        const int err = errno;
        m_failed = true;
        m_uncut = ::ftruncate(m_fd, m_size) != 0;
        if (left)
            *left = m_uncut;
        errno = err;
        return fail(m_path, error);
    }
    m_size += lines.size();
    return true;
}

bool JournalWriter::flush(QString* error) {
    if (m_fd < 0)
        return true;
    // The saved bytes and the records that point into them, flushed
    // together: no file is touched before both are on disk, and a record
    // whose bytes a crash lost belongs to a file that was never touched.
    // The first time, the journal's own name too, so it survives a power cut.
    JournalFileOps& ops = currentJournalFileOps();
    QList<int> fds{m_bytesFd, m_fd};
    const int dir =
        m_durable == 0 ? ::open(pathBytes(m_folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                       : -1;
    if (dir >= 0)
        fds << dir;
    const QList<int> errors =
        SyncTogether(fds, [&](int fd) { return fd == dir ? ::fsync(fd) == 0 : ops.sync(fd); });
    if (dir >= 0)
        ::close(dir);
    for (int i = 0; i < 2; ++i) {
        if (errors[i] != 0) {
            errno = errors[i];
            return fail(i == 0 ? m_bytesPath : m_path, error);
        }
    }
    m_durable = m_next - 1;
    return true;
}

bool JournalWriter::recordStart(JournalEntry& entry, QString* error, Flush flush) {
    return recordStarts({&entry}, error) &&
           (flush == Flush::Later || makeDurable(entry.seq, error));
}

bool JournalWriter::recordStarts(const std::vector<JournalEntry*>& entries, QString* error) {
    if (m_fd < 0 && !open(error))
        return false;
    QByteArray lines;
    int seq = m_next;
    for (JournalEntry* entry : entries) {
        entry->seq = seq++;
        if (entry->headAt < 0 && !saveHead(*entry, error))
            return false;
        lines += startRecord(*entry);
    }
    bool left = false;
    if (!append(lines, error, &left)) {
        if (left)
            m_next = seq; // records of them may stand there: their numbers are not given again
        return false;
    }
    m_next = seq;
    m_open += int(entries.size());
    return true;
}

bool JournalWriter::saveHead(JournalEntry& entry, QString* error) {
    if (entry.saved.size != entry.head.size() ||
        (entry.saved.literal.isEmpty() && entry.saved.refs.isEmpty()))
        entry.saved = SaveRegionWhole(entry.head);
    const QByteArray bytes = entry.saved.stored();
    // Each head gets its own span of the file, so writers never overlap.
    const qint64 at = m_bytesSize.fetch_add(bytes.size());
    if (!currentJournalFileOps().writeAt(m_bytesFd, bytes, at))
        return fail(m_bytesPath, error);
    entry.headAt = at;
    entry.headSize = bytes.size();
    entry.regionSize = entry.saved.size;
    return true;
}

bool JournalWriter::makeDurable(int seq, QString* error) {
    return seq <= m_durable || flush(error);
}

bool JournalWriter::recordBegin(int seq, QString* error) {
    return recordBegins({seq}, error);
}

bool JournalWriter::recordBegins(const QList<int>& seqs, QString* error) {
    QByteArray lines;
    for (const int seq : seqs)
        lines += JsonLine().add("type", "begin").add("seq", seq).finish();
    return append(lines, error);
}

bool JournalWriter::recordOutcome(const JournalEntry& entry, QString* error) {
    return recordOutcomes({&entry}, error);
}

bool JournalWriter::recordOutcomes(const std::vector<const JournalEntry*>& entries,
                                   QString* error) {
    // Not flushed on their own: an outcome lost in a crash leaves an entry
    // that undo treats as cut off, and the next flush or the end of the run
    // writes it anyway. One flush per file (or per group) instead of two.
    QByteArray lines;
    for (const JournalEntry* entry : entries)
        lines += outcomeRecord(*entry);
    if (!append(lines, error))
        return false;
    for (const JournalEntry* entry : entries) {
        --m_open;
        if (entry->changed)
            ++m_changed;
        if (entry->changed && (entry->finalPath.isEmpty() || entry->finalDigest.isEmpty()))
            m_unchecked = true;
    }
    return true;
}

void JournalWriter::finish() {
    if (m_fd < 0)
        return;
    append(toLine({{"type", "end"}, {"files", m_next - 1}}), nullptr);
    const bool flushed = flush(nullptr);
    ::close(m_fd);
    ::close(m_bytesFd);
    m_fd = m_bytesFd = -1;
    if (m_changed == 0 && m_open == 0) {
        ::unlink(pathBytes(m_path).constData());
        ::unlink(pathBytes(m_bytesPath).constData());
    } else if (flushed && !m_failed && m_open == 0 && !m_unchecked) {
        // Every file has its outcome, every record reached the journal:
        // the summary is known without reading it back.
        JournalRunSummary summary;
        summary.id = m_id;
        summary.time = m_time;
        summary.file = m_path;
        summary.files = summary.notRestored = m_changed;
        summary.settled = true;
        IndexJournalRun(m_path, summary);
    } else {
        IndexJournalRun(m_path); // history need not read it again
    }
}

namespace {

// Reads the records of a journal into run, noting what does not fit.
class RunReader {
public:
    explicit RunReader(JournalRun& run) : m_run(run) {}

    void read(const QByteArray& bytes) {
        const QList<QByteArray> lines = bytes.split('\n');
        // A journal ends with a line break; a last line without one was cut
        // off by a kill while it was written.
        qsizetype count = lines.size();
        if (count > 0 && lines.last().isEmpty())
            --count;
        // Parsed a part at a time on the batch threads (a run of 10,000
        // files has 30,000 lines, and undo waits for them), taken in order.
        // A short run is parsed where it is: waking the threads costs more.
        constexpr qsizetype Part = 1024;
        constexpr int ParallelLines = 64;
        std::vector<QJsonObject> records;
        std::vector<char> parsed;
        for (qsizetype first = 0; first < count; first += Part) {
            const int n = int(std::min(Part, count - first));
            records.assign(size_t(n), QJsonObject());
            parsed.assign(size_t(n), 0);
            const auto parse = [&](int k) {
                QJsonParseError error;
                const QJsonDocument doc = QJsonDocument::fromJson(lines[first + k], &error);
                if (error.error == QJsonParseError::NoError && doc.isObject()) {
                    records[size_t(k)] = doc.object();
                    parsed[size_t(k)] = 1;
                }
            };
            if (n < ParallelLines) {
                for (int k = 0; k < n; ++k)
                    parse(k);
            } else {
                ParallelFor(n, parse);
            }
            for (int k = 0; k < n; ++k) {
                ++m_lines;
                const int line = int(first + k + 1);
                if (!parsed[size_t(k)]) {
                    if (m_cutLine == 0)
                        m_cutLine = line;
                    continue;
                }
                take(records[size_t(k)], line);
            }
        }
        finish();
    }

private:
    void damaged(const QString& what) { m_run.damage << what; }

    // A record about a file: its start record must be there.
    JournalEntry* recordOf(const QJsonObject& r, const QString& what) {
        const int seq = r.value("seq").toInt();
        JournalEntry* e = m_run.entry(seq);
        if (!e)
            damaged(QStringLiteral("%1 of file %2 has no start record: that file cannot be "
                                   "checked")
                        .arg(what)
                        .arg(seq));
        return e;
    }

    void take(const QJsonObject& r, int line) {
        const QString type = r.value("type").toString();
        // Undo appends to a journal whatever state the run left it in, also
        // after a line that a killed run cut short; nothing else may follow
        // such a line.
        const bool byUndo = type == QLatin1String("undone") || type == QLatin1String("undo") ||
                            type == QLatin1String("restoring") || type == QLatin1String("undoing");
        m_undoLines += byUndo;
        if (m_cutLine != 0 && !byUndo && !m_cutReported) {
            m_cutReported = true;
            damaged(QStringLiteral("line %1 cannot be read and line %2 follows it: the records "
                                   "it held cannot be checked")
                        .arg(m_cutLine)
                        .arg(line));
        }
        if (type == QLatin1String("run")) {
            m_sawRun = true;
            m_run.id = r.value("id").toString();
            m_run.time = QDateTime::fromString(r.value("time").toString(), Qt::ISODateWithMs);
            m_run.marksBegin = r.value("begins").toBool();
        } else if (type == QLatin1String("start")) {
            takeStart(r);
        } else if (type == QLatin1String("outcome")) {
            if (JournalEntry* e = recordOf(r, QStringLiteral("the outcome"))) {
                e->done = true;
                e->changed = r.value("changed").toBool();
                e->finalPath = r.value("final").toString();
                e->finalSize = r.value("size").toInteger();
                e->finalDigest = fromHex(r.value(e->wholeFileDigests ? "digest" : "print"));
                if (e->changed && (e->finalPath.isEmpty() || e->finalDigest.isEmpty()))
                    damaged(QStringLiteral("the outcome of file %1 is incomplete: that file "
                                           "cannot be checked")
                                .arg(e->seq));
            }
        } else if (type == QLatin1String("begin")) {
            if (JournalEntry* e = recordOf(r, QStringLiteral("the begin mark")))
                e->begun = true;
        } else if (type == QLatin1String("undone")) {
            if (JournalEntry* e = recordOf(r, QStringLiteral("the undo mark")))
                e->undone = true;
        } else if (type == QLatin1String("restoring")) {
            if (JournalEntry* e = recordOf(r, QStringLiteral("the restore mark")))
                e->restoring = !r.value("left").toBool(); // "left": not written after all
        } else if (type == QLatin1String("undoing")) {
            m_run.undoBegun = true;
        } else if (type == QLatin1String("undo")) {
            m_run.undoAttempted = true;
            m_run.undoBegun = false; // that undo ended
        } else if (type == QLatin1String("end")) {
            m_run.complete = true;
            m_endFiles = r.value("files").toInt(-1);
        } else if (m_cutLine == 0) {
            m_cutLine = line; // no record this program writes
        }
    }

    void takeStart(const QJsonObject& r) {
        JournalEntry e;
        e.seq = r.value("seq").toInt();
        e.originalPath = r.value("original").toString();
        e.targetPath = r.value("target").toString();
        // Earlier versions kept the region inline, as base64, or whole in
        // the byte file.
        if (r.contains("head")) {
            e.head = fromBase64(r.value("head"));
            e.headSize = e.head.size();
        } else {
            e.headAt = r.value("headAt").toInteger(-1);
            e.headSize = r.value("headSize").toInteger(-1);
        }
        if (r.contains("region")) {
            e.regionSize = e.saved.size = r.value("region").toInteger(-1);
            e.saved.refs = refsFromJson(r.value("refs"));
            e.saved.inPlace = r.value("inPlace").toBool();
        }
        e.tail = fromBase64(r.value("tail"));
        e.originalSize = r.value("size").toInteger(-1);
        // Earlier versions kept digests of the whole file.
        e.wholeFileDigests = !r.contains("print");
        e.originalDigest = fromHex(r.value(e.wholeFileDigests ? "digest" : "print"));
        e.originalMtimeNs = r.value("mtimeNs").toInteger();
        for (const QJsonValue& f : r.value("folders").toArray())
            e.plannedFolders.append(f.toString());
        // Numbered from 1 without a gap: a start record that went missing
        // leaves one.
        const int expected = int(m_run.entries.size()) + 1;
        if (e.seq > expected && e.seq - expected > MostMissingStarts - m_placeholders) {
            damaged(QStringLiteral("file %1 is numbered beyond the files the run recorded: it "
                                   "cannot be checked")
                        .arg(e.seq));
            return;
        }
        if (e.seq != expected) {
            if (e.seq == expected + 1)
                damaged(QStringLiteral("the start record of file %1 is missing: that file "
                                       "cannot be checked")
                            .arg(expected));
            else if (e.seq > expected)
                damaged(QStringLiteral("the start records of files %1 to %2 are missing: those "
                                       "files cannot be checked")
                            .arg(expected)
                            .arg(e.seq - 1));
            else
                damaged(QStringLiteral("file %1 is recorded twice").arg(e.seq));
            if (e.seq < expected)
                return;
            while (m_run.entries.size() + 1 < e.seq) {
                ++m_placeholders;
                JournalEntry missing;
                missing.seq = int(m_run.entries.size()) + 1;
                missing.done = true; // nothing known; never acted on
                m_run.entries.append(missing);
            }
        }
        // References lie in the original region, and in a region of the
        // written file.
        const bool refsValid =
            std::all_of(e.saved.refs.begin(), e.saved.refs.end(), [&e](const RegionRef& x) {
                return x.at >= 0 && x.length > 0 && x.from >= 0 && x.length <= e.regionSize &&
                       x.at <= e.regionSize - x.length && x.from <= MostRegion - x.length;
            });
        const bool sizesValid =
            e.headSize >= 0 && e.headSize <= 2 * MostRegion &&
            (!r.contains("region") || (e.regionSize >= 0 && e.regionSize <= MostRegion));
        if (e.originalPath.isEmpty() || e.originalSize < 0 || e.originalDigest.isEmpty() ||
            !sizesValid || !refsValid)
            damaged(
                QStringLiteral("the start record of file %1 is incomplete: %2 cannot be "
                               "checked")
                    .arg(e.seq)
                    .arg(e.originalPath.isEmpty() ? QStringLiteral("that file") : e.originalPath));
        m_run.entries.append(e);
    }

    void finish() {
        if (!m_sawRun) {
            m_run.id = runIdOfFile(m_run.file);
            m_run.time = timeOfRunId(m_run.id);
            // Killed between making its journal and writing the run record
            // (at most that line, cut short): the run began no file, so
            // there is nothing to check. What an undo appended since does
            // not change that.
            const int runLines = m_lines - m_undoLines;
            if (runLines == 0 || (runLines == 1 && m_cutLine == 1))
                return;
            damaged(QStringLiteral("the run record is missing: when and how the run began "
                                   "cannot be checked"));
        }
        if (m_endFiles > m_run.entries.size())
            damaged(QStringLiteral("the run recorded %1 files and the journal holds %2: the "
                                   "others cannot be checked")
                        .arg(m_endFiles)
                        .arg(m_run.entries.size()));
    }

    JournalRun& m_run;
    int m_lines = 0;        // read, records or not
    int m_undoLines = 0;    // records that undo appended
    int m_placeholders = 0; // for start records missing
    int m_cutLine = 0;      // the first line that is no record, 1-based
    bool m_cutReported = false;
    bool m_sawRun = false;
    int m_endFiles = -1;
};

} // namespace

JournalRun ReadJournalRun(const QString& file) {
    JournalRun run;
    run.file = file;
    run.bytesFile = BytesFileOf(file);
    QByteArray bytes;
    if (!ReadSmallFile(file, bytes)) {
        // Gone meanwhile (forgotten) is no run; one that is there and cannot
        // be read is a run that cannot be checked, not one to leave out.
        if (errno == ENOENT)
            return run;
        const int err = errno;
        run.id = runIdOfFile(file);
        run.time = timeOfRunId(run.id);
        run.damage << QStringLiteral("the journal cannot be read: %1").arg(qt_error_string(err));
        return run;
    }
    RunReader(run).read(bytes);
    run.journalBytes = bytes.size();
    return run;
}

bool LoadSavedHead(const JournalRun& run, JournalEntry& entry, int bytesFd) {
    entry.headDigests.clear();
    if (entry.regionSize < 0 && entry.head.size() == entry.headSize)
        return true; // inline, or nothing to load
    if (entry.headAt < 0 || entry.headSize < 0)
        return false;
    Descriptor own;
    if (bytesFd < 0)
        bytesFd = own.fd = ::open(pathBytes(run.bytesFile).constData(), O_RDONLY | O_CLOEXEC);
    if (bytesFd < 0)
        return false;
    const QByteArray bytes = ReadAt(bytesFd, entry.headAt, entry.headSize);
    if (bytes.size() != entry.headSize)
        return false;
    if (entry.regionSize < 0) {
        entry.head = bytes;
        return true;
    }
    if (!entry.saved.takeStored(bytes))
        return false;
    if (entry.saved.refs.isEmpty())
        entry.head = entry.saved.literal;
    return true;
}

bool RestoreSavedHead(JournalEntry& entry, int fd, QByteArrayView start) {
    entry.headDigests.clear();
    if (entry.regionSize < 0 || entry.saved.refs.isEmpty())
        return entry.head.size() == (entry.regionSize >= 0 ? entry.regionSize : entry.headSize);
    const qint64 needed = entry.saved.fileBytesNeeded();
    const bool given = start.size() >= needed;
    const QByteArray read = given ? QByteArray() : ReadAt(fd, 0, needed);
    QByteArray digests;
    const std::optional<QByteArray> head =
        RestoreRegion(entry.saved, given ? start.first(needed) : QByteArrayView(read), &digests);
    if (!head)
        return false;
    entry.head = *head;
    entry.headDigests = digests;
    return true;
}

QList<JournalRun> ReadJournalRuns(const QString& folder) {
    QList<JournalRun> runs;
    DIR* dir = ::opendir(pathBytes(folder).constData());
    if (!dir)
        return runs;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.startsWith('.') || !name.endsWith(".jsonl"))
            continue;
        const JournalRun run = ReadJournalRun(folder + u'/' + pathFromBytes(name));
        if (!run.id.isEmpty())
            runs.append(run);
    }
    ::closedir(dir);
    std::sort(runs.begin(), runs.end(), [](const JournalRun& a, const JournalRun& b) {
        return a.time != b.time ? a.time > b.time : a.id > b.id;
    });
    return runs;
}

bool RecordUndone(const QString& file, int seq) {
    return appendTo(file, {{"type", "undone"}, {"seq", seq}});
}

bool RecordUndoAttempt(const QString& file) {
    return appendTo(file, undoAttemptRecord());
}

bool recordRestoring(const QString& file, int seq) {
    return appendTo(file, {{"type", "restoring"}, {"seq", seq}});
}

JournalMarks::JournalMarks(const JournalRun& run) : m_file(run.file) {
    if (run.damage.isEmpty() && run.journalBytes >= 0)
        m_run = run;
}

JournalMarks::~JournalMarks() = default;

void JournalMarks::take(Mark mark, int seq, const QByteArray& line) {
    m_pending += line;
    m_pendingMarks.emplace_back(mark, seq);
}

void JournalMarks::restoring(int seq) {
    take(Mark::Restoring, seq, toLine({{"type", "restoring"}, {"seq", seq}}));
}

void JournalMarks::notRestoring(int seq) {
    take(Mark::NotRestoring, seq, toLine({{"type", "restoring"}, {"seq", seq}, {"left", true}}));
}

void JournalMarks::undone(int seq) {
    take(Mark::Undone, seq, toLine({{"type", "undone"}, {"seq", seq}}));
}

void JournalMarks::undoBegins() {
    take(Mark::UndoBegins, 0, toLine({{"type", "undoing"}}));
}

void JournalMarks::undoAttempt() {
    take(Mark::UndoAttempt, 0, toLine(undoAttemptRecord()));
}

bool JournalMarks::flush() {
    if (m_pending.isEmpty())
        return true;
    const bool ok = appendLines(m_file, m_pending);
    if (!ok) {
        m_run.reset(); // not known as the journal stands now: undo reads it again
    } else if (m_run) {
        // As RunReader takes these records.
        for (const auto& [mark, seq] : m_pendingMarks) {
            JournalEntry* e = m_run->entry(seq);
            if (mark == Mark::UndoAttempt) {
                m_run->undoAttempted = true;
                m_run->undoBegun = false;
            } else if (mark == Mark::UndoBegins) {
                m_run->undoBegun = true;
            } else if (!e) {
                m_run.reset(); // the reader finds the journal damaged
            } else if (mark == Mark::Undone) {
                e->undone = true;
            } else {
                e->restoring = mark == Mark::Restoring;
            }
            if (!m_run)
                break;
        }
        if (m_run)
            m_run->journalBytes += m_pending.size();
    }
    m_pending.clear();
    m_pendingMarks.clear();
    return ok;
}

bool RunBeingWritten(const QString& journalFile) {
    const int fd = ::open(pathBytes(journalFile).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool held = lockJournal(fd) == EWOULDBLOCK;
    ::close(fd);
    return held;
}

ForgetReport forgetRuns(int days, const QDateTime& now, const QString& folder) {
    ForgetReport report;
    const QDateTime before = now.addDays(-days);
    for (const JournalRunSummary& run : ReadJournalSummaries(folder)) {
        // A run without a readable time is not known to be old.
        if (!run.time.isValid() || run.time >= before || !run.settled)
            continue;
        // A run still being written holds its journal locked.
        const int fd = ::open(pathBytes(run.file).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (fd >= 0)
                ::close(fd);
            continue;
        }
        const QString bytesFile = BytesFileOf(run.file);
        const qint64 size = fileSize(run.file) + fileSize(bytesFile);
        const bool removed = ::unlink(pathBytes(run.file).constData()) == 0;
        ::close(fd);
        if (!removed)
            continue;
        ::unlink(pathBytes(bytesFile).constData());
        report.runs << run.id;
        report.bytes += size;
    }
    return report;
}
