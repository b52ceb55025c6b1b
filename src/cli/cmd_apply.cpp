// quorvel-cli apply: plans the whole batch (every file read, transformed and
// checked, shared targets found), then applies it as one journal run and
// prints each file's outcome as soon as the journal holds it.
#include "command.h"
#include "jsonwriter.h"
#include "progressbar.h"
#include "stopsignal.h"
#include "streamout.h"
#include "transformcommand.h"

#include "apply/absolutepath.h"
#include "apply/compactplan.h"
#include "apply/journal.h"
#include "apply/planfile.h"
#include "tags/pathbytes.h"

#include <cstdio>
#include <unistd.h>

namespace {

const char ApplyUsage[] = "apply [--json] [--dry-run] [--profile NAME] [OPTIONS] FILE...";

// For tests of an interrupted run: with QUORVEL_APPLY_PAUSE set, the run
// says "applied N" on standard error after each file but the last and
// waits for a line on standard input, so that a signal or a kill can be
// sent exactly between two files.
void pauseBetweenFiles(int done) {
    FlushOut();
    std::fprintf(stderr, "applied %d\n", done);
    std::fflush(stderr);
    char line[16];
    if (!std::fgets(line, sizeof line, stdin))
        return;
}

// One file as an element of the printed array; the keys of earlier
// versions, in the same (sorted) order.
QByteArray toJson(const QString& path, const ApplyResult& r) {
    JsonWriter json(1);
    json.beginObject();
    json.key("messages").stringArray(r.messages);
    json.key("moved").boolean(r.moved);
    json.key("ok").boolean(r.ok);
    json.key("path").string(path);
    json.key("tagsWritten").boolean(r.tagsWritten);
    json.key("target").string(r.target);
    json.endObject();
    return json.take();
}

QString asText(const QString& path, const ApplyResult& r) {
    QString out = (r.ok ? QStringLiteral("ok     ") : QStringLiteral("FAILED ")) + OneLine(path);
    if (!r.target.isEmpty())
        out += QStringLiteral(" -> ") + OneLine(r.target);
    out += u'\n';
    for (const QString& m : r.messages)
        out += QStringLiteral("       ") + OneLine(m) + u'\n';
    return out;
}

int runApply(const QStringList& arguments) {
    TransformCommand run;
    if (const auto status =
            startTransformCommand(arguments, QStringLiteral("apply"), QLatin1String(ApplyUsage),
                                  {QStringLiteral("--json"), QStringLiteral("--dry-run")}, run))
        return *status;
    const bool json = run.given.has("--json");
    const bool dryRun = run.given.has("--dry-run");
    const Profile& profile = run.profile;

    // Nothing changes while the batch is planned: a stop request then ends
    // the run before the first file is touched.
    InstallStopHandlers();
    KeepGoingWhenOutputCloses();
    const QStringList paths = AbsolutePaths(run.given.files);
    // Kept compact until applied; a file that a stop request keeps from
    // being planned is not applied.
    std::vector<CompactPlan> plans;
    plans.reserve(size_t(paths.size()));
    for (const QString& path : paths)
        plans.emplace_back(path);
    PlanFiles(
        paths, profile,
        [&plans](int i, FilePlan&& plan) { plans[size_t(i)] = CompactPlan(std::move(plan)); },
        StopRequested);
    MarkSharedTargets(plans);

    JsonArrayOut array;
    bool allOk = true;
    auto print = [&](int i, const ApplyResult& result) {
        allOk = allOk && result.ok;
        const QString& path = plans[size_t(i)].path();
        if (json)
            array.add(toJson(path, result));
        else
            PrintOut(asText(path, result));
    };

    JournalWriter journal;
    if (dryRun) {
        for (size_t i = 0; i < plans.size(); ++i)
            print(int(i), DryRunResult(plans[i].plan()));
    } else {
        ProgressBar bar(int(plans.size()));
        BatchHooks hooks;
        hooks.stopRequested = StopRequested;
        hooks.starting = [&](int i) { bar.show(i, nameOfPath(plans[size_t(i)].path())); };
        hooks.finished = [&](int i, const ApplyResult& result) {
            bar.finish(); // the results and the bar share the terminal
            print(i, result);
        };
        // Only then: a run between two files records each outcome on its own,
        // where a plain run records them a group at a time.
        if (qEnvironmentVariableIsSet("QUORVEL_APPLY_PAUSE"))
            hooks.betweenFiles = [](int i) { pauseBetweenFiles(i + 1); };
        ApplyBatch(plans, profile, journal, hooks);
        journal.finish();
    }

    if (json) {
        array.finish();
    } else if (dryRun) {
        PrintOut(QStringLiteral("Dry run: nothing was changed.\n"));
    } else if (::access(pathBytes(journal.filePath()).constData(), F_OK) == 0) {
        PrintOut(QStringLiteral("Run %1 (take it back with: quorvel-cli undo %1)\n")
                     .arg(journal.runId()));
    }
    FlushOut();
    return allOk ? ExitOk : ExitFailed;
}

const CommandRegistration registration(
    {QStringLiteral("apply"), QString::fromLatin1(ApplyUsage),
     QStringLiteral("writes the tags and moves each FILE as its profile composes them; "
                    "keeps an undo journal"),
     runApply});

} // namespace
