#include "command.h"
#include "streamout.h"

#include "apply/runindex.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <optional>

namespace {

const char HistoryUsage[] = "history [--json] [--forget DAYS]";

const char HistoryHelp[] =
    "Usage: quorvel-cli history [--json] [--forget DAYS]\n\n"
    "Lists the apply runs of the undo journal, newest first: each run's id,\n"
    "time, the number of files it changed and whether it was undone, partly\n"
    "undone, left by an undo that was cut off (undo finishes it) or its\n"
    "journal is damaged.\n\n"
    "  --json         one JSON array with one object per run\n"
    "  --forget DAYS  removes the runs that began more than DAYS days ago, but\n"
    "                 not those that a killed apply or undo left unfinished\n"
    "                 nor damaged ones\n";

// What history shows after a run's time and file count.
QString state(const JournalRunSummary& run) {
    switch (run.state()) {
    case RunState::Damaged:
        return QStringLiteral("  (damaged)");
    case RunState::UndoUnfinished:
        return QStringLiteral("  (undo unfinished: undo again)");
    case RunState::Applied:
        return QString();
    case RunState::Undone:
        return QStringLiteral("  (undone)");
    case RunState::PartlyUndone:
        break;
    }
    return QStringLiteral("  (%1)").arg(run.partlyUndoneText());
}

int forget(int days, bool json) {
    const ForgetReport report = forgetRuns(days);
    if (json) {
        PrintOut(QJsonDocument(QJsonObject{{"forgotten", QJsonArray::fromStringList(report.runs)},
                                           {"bytes", report.bytes}})
                     .toJson(QJsonDocument::Indented));
    } else {
        PrintOut(QStringLiteral("Forgot %1 %2 (%3 KB)\n")
                     .arg(report.runs.size())
                     .arg(report.runs.size() == 1 ? QStringLiteral("run") : QStringLiteral("runs"))
                     .arg((report.bytes + 1023) / 1024));
    }
    FlushOut();
    return ExitOk;
}

int runHistory(const QStringList& args) {
    bool json = false;
    std::optional<int> forgetDays;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& arg = args[i];
        if (arg == QLatin1String("--json")) {
            json = true;
        } else if (arg == QLatin1String("--forget") || arg.startsWith(QLatin1String("--forget="))) {
            const QString value = arg.contains(u'=')
                                      ? arg.section(u'=', 1)
                                      : (i + 1 < args.size() ? args[++i] : QString());
            bool ok = false;
            forgetDays = value.toInt(&ok);
            if (!ok || *forgetDays < 0)
                return usageError(
                    QStringLiteral("history: --forget needs a number of days, not '%1'")
                        .arg(value));
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            PrintOut(QString::fromLatin1(HistoryHelp));
            return ExitOk;
        } else {
            return usageError(QStringLiteral("history: unexpected argument '%1'").arg(arg));
        }
    }
    if (const QString problem = JournalFolderProblem(); !problem.isEmpty()) {
        QTextStream(stderr) << "quorvel-cli: " << problem << "\n";
        return ExitFailed;
    }
    if (forgetDays)
        return forget(*forgetDays, json);
    // The index spares reading every run ever journalled.
    const QList<JournalRunSummary> runs = ReadJournalSummaries();
    if (json) {
        QJsonArray array;
        for (const JournalRunSummary& run : runs) {
            QJsonObject object{{"id", run.id},
                               {"time", run.time.toString(Qt::ISODateWithMs)},
                               {"files", run.files},
                               {"undone", run.undoAttempted},
                               {"notRestored", run.undoAttempted ? run.notRestored : 0},
                               {"damaged", !run.damage.isEmpty()}};
            array.append(object);
        }
        PrintOut(QJsonDocument(array).toJson(QJsonDocument::Indented));
        FlushOut();
        return ExitOk;
    }
    QString out;
    if (runs.isEmpty())
        out = QStringLiteral("No apply runs.\n");
    for (const JournalRunSummary& run : runs) {
        out += run.id + QStringLiteral("  ") +
               run.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
               QStringLiteral("  ") + QString::number(run.files) +
               (run.files == 1 ? QStringLiteral(" file") : QStringLiteral(" files")) + state(run) +
               u'\n';
    }
    PrintOut(out);
    FlushOut();
    return ExitOk;
}

const CommandRegistration
    registration({QStringLiteral("history"), QString::fromLatin1(HistoryUsage),
                  QStringLiteral("lists the apply runs, newest first; --forget DAYS removes old "
                                 "ones"),
                  runHistory});

} // namespace
