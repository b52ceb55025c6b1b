#include "command.h"
#include "stopsignal.h"
#include "streamout.h"

#include "apply/journal.h"
#include "apply/runindex.h"
#include "apply/undo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

QJsonObject toJson(const UndoReport& report) {
    QJsonArray files;
    for (const UndoFileResult& f : report.files) {
        files.append(QJsonObject{{"path", f.path},
                                 {"restoredTo", f.restoredPath},
                                 {"ok", f.ok},
                                 {"messages", QJsonArray::fromStringList(f.messages)}});
    }
    QJsonObject object{{"run", report.runId},
                       {"ok", report.ok},
                       {"files", files},
                       {"foldersRemoved", QJsonArray::fromStringList(report.foldersRemoved)}};
    if (!report.damage.isEmpty())
        object.insert(QStringLiteral("damaged"), QJsonArray::fromStringList(report.damage));
    return object;
}

const char UndoHelp[] =
    "Usage: quorvel-cli undo [--json] [RUN]\n\n"
    "Takes back the newest apply run not yet undone, or RUN (an id that history\n"
    "lists): each file is moved back and its old bytes restored.\n\n"
    "  --json  one JSON object with the run's report\n";

int runUndo(const QStringList& args) {
    bool json = false;
    QString wanted;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << UndoHelp;
            return ExitOk;
        }
        if (arg == QLatin1String("--json"))
            json = true;
        else if (arg.isEmpty())
            return usageError(QStringLiteral("undo: RUN is empty (see history)"));
        else if (arg.startsWith(QLatin1Char('-')) || !wanted.isEmpty())
            return usageError(QStringLiteral("undo: unexpected argument '%1'").arg(arg));
        else
            wanted = arg;
    }
    KeepGoingWhenOutputCloses();
    QTextStream err(stderr);
    if (const QString problem = JournalFolderProblem(); !problem.isEmpty()) {
        err << "quorvel-cli: " << problem << "; nothing was undone\n";
        return ExitFailed;
    }
    // Chosen from the summaries; only that run is read whole.
    const QList<JournalRunSummary> runs = ReadJournalSummaries();
    // Without RUN: the newest run with files not taken back yet (a run whose
    // undo failed for some files among them) or whose undo was cut off
    // before it removed the run's folders, or a damaged one, which is
    // refused with what is wrong with it. A run killed before it changed a
    // file has nothing to take back.
    const auto found = std::find_if(runs.begin(), runs.end(), [&](const JournalRunSummary& r) {
        return wanted.isEmpty() ? r.leftToUndo() || !r.damage.isEmpty() : r.id == wanted;
    });
    if (found == runs.end()) {
        err << "quorvel-cli: "
            << (wanted.isEmpty() ? QStringLiteral("nothing to undo")
                                 : QStringLiteral("no run '%1' (see history)").arg(wanted))
            << "\n";
        return ExitFailed;
    }
    const UndoReport report = UndoRun(ReadJournalRun(found->file));
    if (!report.damage.isEmpty()) {
        // Nothing was done: which files the missing records describe, and so
        // which files undo would have to leave alone, is not known.
        err << "quorvel-cli: the journal of " << report.runId
            << " is damaged; nothing was undone\n";
        for (const QString& d : report.damage)
            err << "quorvel-cli:   " << d << "\n";
        err.flush();
    } else if (report.stillApplying) {
        err << "quorvel-cli: run " << report.runId
            << " is still being applied; nothing was undone (undo it once it has ended)\n";
        err.flush();
    } else if (report.beingUndone) {
        err << "quorvel-cli: run " << report.runId
            << " is being undone by another program; nothing was undone here\n";
        err.flush();
    }
    if (json) {
        PrintOut(QJsonDocument(toJson(report)).toJson(QJsonDocument::Indented));
    } else if (report.damage.isEmpty() && !report.stillApplying && !report.beingUndone) {
        QString out = QStringLiteral("Run %1\n").arg(report.runId);
        for (const UndoFileResult& f : report.files) {
            out += (f.ok ? QStringLiteral("ok     ") : QStringLiteral("FAILED ")) +
                   OneLine(f.path) + QStringLiteral(" -> ") + OneLine(f.restoredPath) + u'\n';
            for (const QString& m : f.messages)
                out += QStringLiteral("       ") + OneLine(m) + u'\n';
        }
        for (const QString& folder : report.foldersRemoved)
            out += QStringLiteral("removed folder ") + OneLine(folder) + u'\n';
        if (report.files.isEmpty() && report.foldersRemoved.isEmpty() && found->notRestored == 0) {
            out += found->files == 0
                       ? QStringLiteral("nothing to take back: the run changed no file\n")
                       : QStringLiteral("nothing left to take back: its files were taken back "
                                        "before\n");
        }
        PrintOut(out);
    }
    FlushOut();
    return report.ok ? ExitOk : ExitFailed;
}

const CommandRegistration registration(
    {QStringLiteral("undo"), QStringLiteral("undo [--json] [RUN]"),
     QStringLiteral("takes back the newest apply run (or RUN): files moved back, bytes restored"),
     runUndo});

} // namespace
