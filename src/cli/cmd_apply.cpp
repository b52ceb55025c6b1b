#include "command.h"
#include "parallelfor.h"
#include "progressbar.h"
#include "stopsignal.h"
#include "transformcommand.h"

#include "apply/applyservice.h"
#include "apply/batchplan.h"
#include "apply/journal.h"
#include "apply/originalbytes.h"
#include "tags/selectionread.h"
#include "tags/taginfo.h"
#include "transform/transform.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>
#include <functional>
#include <list>
#include <vector>

namespace {

const char ApplyUsage[] = "apply [--json] [--dry-run] [--profile NAME] [OPTIONS] FILE...";

// One FILE of the batch: what the plan found and what Apply did.
struct BatchFile {
    QString path;
    bool planned = false; // read and transformed, target known and unique
    FieldValues outputs;
    ApplyResult result;
};

// Reads the file as on selection and runs the transformation with messages.
void plan(BatchFile& file, const Profile& profile) {
    TagInfo tag;
    const SelectionRead read = ReadSelection(tag, file.path);
    if (!read.ok) {
        file.result.messages << QStringLiteral("Cannot read %1").arg(file.path);
        return;
    }
    FieldGrid grid;
    grid[RowInput] = read.inputs;
    grid[RowParse] = profile.parse;
    grid[RowCreate] = profile.create;
    const bool ok = Transform(grid, TransformOptions::fromProfile(profile), true, false,
                              [&file](const QString& m) { file.result.messages << m; });
    if (!ok)
        return;
    file.outputs = grid[RowOutput];
    file.result.target = ApplyTarget(file.outputs);
    file.planned = true;
}

// Two files with the same target: both are reported and neither is touched.
void refuseSharedTargets(QList<BatchFile>& files) {
    QStringList targets;
    for (const BatchFile& f : files)
        targets << (f.planned ? f.result.target : QString());
    const QList<QList<int>> shared = SharedTargets(targets);
    for (int i = 0; i < files.size(); ++i) {
        for (int other : shared[i]) {
            files[i].planned = false;
            files[i].result.messages
                << QStringLiteral("%1 has the same target").arg(files[other].path);
        }
    }
}

// A file of the group in hand: read again right before the write, so that
// the tag record holds what the file holds now, and recorded in the journal.
struct Recorded {
    int index = 0;
    TagInfo tag;
    JournalEntry entry;
    QString error;
};

// Start records are flushed a group at a time: one flush for many files
// instead of one each. The group's tags are held in memory until written;
// files are read a few at a time, in parallel, until the group is full.
constexpr int GroupFiles = 64;
constexpr qint64 GroupBytes = 32 << 20;
constexpr int ReadAtOnce = 8;

// Reads and records the planned files from first on, until the group is
// full; returns the index after the last one taken.
int recordGroup(QList<BatchFile>& files, int first, const Profile& profile, JournalWriter& journal,
                std::list<Recorded>& group) {
    qint64 bytes = 0;
    int i = first;
    while (i < files.size() && int(group.size()) < GroupFiles && bytes < GroupBytes) {
        std::vector<Recorded> batch;
        for (; i < files.size() && int(batch.size()) < ReadAtOnce; ++i) {
            if (files[i].planned)
                batch.emplace_back().index = i;
        }
        QString journalError;
        if (!batch.empty() && !journal.open(&journalError))
            journalError = JournalFailure(journalError);
        ParallelFor(int(batch.size()), [&](int k) {
            Recorded& r = batch[size_t(k)];
            const BatchFile& file = files[r.index];
            QString reason;
            if (!journalError.isEmpty())
                r.error = journalError;
            else if (!ReadSelection(r.tag, file.path).ok)
                r.error = QStringLiteral("Cannot read %1").arg(file.path);
            else if (PrepareApplyStart(r.entry, file.path, ReadOriginalBytes(file.path),
                                       file.outputs, profile.clearV1 != 0, r.error) &&
                     !journal.saveHead(r.entry, &reason))
                r.error = JournalFailure(reason);
            r.entry.head = QByteArray(); // in the journal now
        });
        for (Recorded& r : batch) {
            BatchFile& file = files[r.index];
            if (r.error.isEmpty())
                RecordApplyStart(journal, r.entry, r.error, JournalWriter::Flush::Later);
            if (!r.error.isEmpty()) {
                file.result.messages << r.error;
                continue;
            }
            bytes += r.entry.headSize;
            group.push_back(std::move(r));
        }
    }
    return i;
}

// Files written whose outcome is still to be recorded: digested together,
// in parallel, when their group is done (a run cut off before that leaves
// them begun without an outcome, which undo handles).
void recordOutcomes(JournalWriter& journal, std::vector<Recorded>& written,
                    const QList<BatchFile>& files) {
    ParallelFor(int(written.size()), [&written, &files](int k) {
        CompleteOutcome(written[size_t(k)].entry, files[written[size_t(k)].index].result);
    });
    for (Recorded& r : written)
        journal.recordOutcome(r.entry, nullptr);
    written.clear();
}

// A recorded file that the run will not touch after all.
void recordNotApplied(JournalWriter& journal, JournalEntry& entry) {
    entry.done = true;
    entry.changed = false;
    entry.finalPath = entry.originalPath;
    entry.finalSize = entry.originalSize;
    entry.finalDigest = entry.originalDigest;
    journal.recordOutcome(entry, nullptr);
}

// For tests of an interrupted run: with QUORVEL_APPLY_PAUSE set, the run
// says "applied N" on standard error after each file but the last and
// waits for a line on standard input, so that a signal or a kill can be
// sent exactly between two files.
void pauseBetweenFiles(int done, int total, const std::function<void()>& beforePause) {
    static const bool pause = qEnvironmentVariableIsSet("QUORVEL_APPLY_PAUSE");
    if (!pause || done >= total)
        return;
    beforePause(); // the journal as a run between two files leaves it
    std::fprintf(stderr, "applied %d\n", done);
    std::fflush(stderr);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return;
}

QJsonArray toJson(const QList<BatchFile>& files) {
    QJsonArray array;
    for (const BatchFile& f : files) {
        array.append(QJsonObject{{"path", f.path},
                                 {"ok", f.result.ok},
                                 {"target", f.result.target},
                                 {"tagsWritten", f.result.tagsWritten},
                                 {"moved", f.result.moved},
                                 {"messages", QJsonArray::fromStringList(f.result.messages)}});
    }
    return array;
}

void printText(QTextStream& out, const QList<BatchFile>& files) {
    for (const BatchFile& f : files) {
        out << (f.result.ok ? "ok     " : "FAILED ") << f.path;
        if (!f.result.target.isEmpty())
            out << " -> " << f.result.target;
        out << "\n";
        for (const QString& m : f.result.messages)
            out << "       " << m << "\n";
    }
}

int runApply(const QStringList& arguments) {
    TransformCommand run;
    if (const auto status =
            startTransformCommand(arguments, QStringLiteral("apply"), QLatin1String(ApplyUsage),
                                  {QStringLiteral("--json"), QStringLiteral("--dry-run")}, run))
        return *status;
    const bool json = run.given.has("--json");
    const bool dryRun = run.given.has("--dry-run");
    const QStringList& paths = run.given.files;
    const Profile& profile = run.profile;
    QTextStream out(stdout);

    // Nothing has changed while the batch is planned: a stop request then
    // ends the run before the first file is touched.
    InstallStopHandlers();
    QList<BatchFile> files(paths.size());
    for (int i = 0; i < paths.size(); ++i)
        files[i].path = QDir::cleanPath(QFileInfo(paths[i]).absoluteFilePath());
    ParallelFor(int(files.size()), [&files, &profile](int i) {
        if (!StopRequested())
            plan(files[i], profile);
    });
    refuseSharedTargets(files);

    JournalWriter journal;
    {
        ProgressBar bar(int(files.size()));
        const ApplyOptions options{profile.clearOtherV2 != 0, profile.clearV1 != 0};
        auto stopAt = [&files](int from) {
            for (int j = from; j < files.size(); ++j)
                files[j].result.messages << QStringLiteral("Not applied: the run was stopped");
        };
        int next = 0; // the first file not yet recorded or passed over
        std::list<Recorded> group;
        std::vector<Recorded> written;
        for (int i = 0; i < files.size(); ++i) {
            if (StopRequested()) {
                recordOutcomes(journal, written, files);
                for (Recorded& r : group)
                    recordNotApplied(journal, r.entry);
                stopAt(i);
                break;
            }
            bar.show(i, QFileInfo(files[i].path).fileName());
            BatchFile& file = files[i];
            const QStringList planMessages = file.result.messages;
            if (file.planned && dryRun) {
                file.result = PreviewApply(file.path, file.outputs);
                file.result.messages = planMessages + file.result.messages;
            } else if (file.planned) {
                if (group.empty() && next <= i) {
                    recordOutcomes(journal, written, files);
                    next = recordGroup(files, i, profile, journal, group);
                }
                if (!group.empty() && group.front().index == i) {
                    Recorded& r = group.front();
                    file.result = ApplyRecordedFile(r.tag, file.outputs, options, journal, r.entry,
                                                    Outcome::Later);
                    file.result.messages = planMessages + file.result.messages;
                    if (r.entry.begun) {
                        r.tag = TagInfo(); // written; only the entry is needed now
                        written.push_back(std::move(r));
                    }
                    group.pop_front();
                }
            }
            pauseBetweenFiles(i + 1, int(files.size()),
                              [&] { recordOutcomes(journal, written, files); });
        }
        recordOutcomes(journal, written, files);
    }
    journal.finish();

    if (json) {
        out << QJsonDocument(toJson(files)).toJson(QJsonDocument::Indented);
    } else {
        printText(out, files);
        if (dryRun)
            out << "Dry run: nothing was changed.\n";
        else if (QFileInfo::exists(journal.filePath()))
            out << "Run " << journal.runId() << " (take it back with: quorvel-cli undo "
                << journal.runId() << ")\n";
    }
    const bool allOk =
        std::all_of(files.begin(), files.end(), [](const BatchFile& f) { return f.result.ok; });
    return allOk ? ExitOk : ExitFailed;
}

const CommandRegistration registration(
    {QStringLiteral("apply"), QString::fromLatin1(ApplyUsage),
     QStringLiteral("writes the tags and moves each FILE as its profile composes them; "
                    "keeps an undo journal"),
     runApply});

} // namespace
