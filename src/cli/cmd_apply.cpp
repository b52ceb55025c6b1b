#include "command.h"
#include "fileargs.h"
#include "progressbar.h"
#include "runoptions.h"
#include "runprofile.h"
#include "stopsignal.h"

#include "apply/applyservice.h"
#include "apply/batchplan.h"
#include "apply/journal.h"
#include "tags/diagnostics.h"
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

void applyOne(BatchFile& file, const Profile& profile, bool dryRun, JournalWriter& journal) {
    const QStringList planMessages = file.result.messages;
    if (dryRun) {
        file.result = PreviewApply(file.path, file.outputs);
    } else {
        // Read again right before the write: the tag record must hold what
        // the file holds now.
        TagInfo tag;
        if (!ReadSelection(tag, file.path).ok) {
            file.result.messages << QStringLiteral("Cannot read %1").arg(file.path);
            return;
        }
        file.result = ApplyFile(tag, file.outputs,
                                {profile.clearOtherV2 != 0, profile.clearV1 != 0}, &journal);
    }
    file.result.messages = planMessages + file.result.messages;
}

// For tests of an interrupted run: with QUORVEL_APPLY_PAUSE set, the run
// says "applied N" on standard error after each file but the last and
// waits for a line on standard input, so that a signal or a kill can be
// sent exactly between two files.
void pauseBetweenFiles(int done, int total) {
    static const bool pause = qEnvironmentVariableIsSet("QUORVEL_APPLY_PAUSE");
    if (!pause || done >= total)
        return;
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
    QStringList args = arguments;
    RunOptions options;
    QString error;
    if (!takeRunOptions(args, options, error))
        return usageError(error);
    FileArgs given;
    if (const auto status = takeFileArgs(
            args, QStringLiteral("apply"), {QStringLiteral("--json"), QStringLiteral("--dry-run")},
            QStringLiteral("Usage: quorvel-cli %1\n\n").arg(QLatin1String(ApplyUsage)) +
                runOptionsHelp(),
            given))
        return *status;
    const bool json = given.has("--json");
    const bool dryRun = given.has("--dry-run");
    const QStringList& paths = given.files;

    QTextStream out(stdout);
    QTextStream err(stderr);
    const std::optional<Profile> runProfile = loadRunProfileOrReport(options);
    if (!runProfile)
        return ExitFailed;
    const Profile& profile = *runProfile;

    // Standard output carries the JSON alone.
    if (json)
        SetTagDiagnosticStream(stderr);

    // Nothing has changed while the batch is planned: a stop request then
    // ends the run before the first file is touched.
    InstallStopHandlers();
    QList<BatchFile> files;
    for (const QString& p : paths) {
        BatchFile f;
        f.path = QDir::cleanPath(QFileInfo(p).absoluteFilePath());
        if (!StopRequested())
            plan(f, profile);
        files << f;
    }
    refuseSharedTargets(files);

    JournalWriter journal;
    {
        ProgressBar bar(int(files.size()));
        for (int i = 0; i < files.size(); ++i) {
            if (StopRequested()) {
                for (int j = i; j < files.size(); ++j)
                    files[j].result.messages << QStringLiteral("Not applied: the run was stopped");
                break;
            }
            bar.show(i, QFileInfo(files[i].path).fileName());
            if (files[i].planned)
                applyOne(files[i], profile, dryRun, journal);
            pauseBetweenFiles(i + 1, int(files.size()));
        }
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
