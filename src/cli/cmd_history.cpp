#include "command.h"

#include "apply/journal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

const char HistoryHelp[] =
    "Usage: quorvel-cli history [--json]\n\n"
    "Lists the apply runs of the undo journal, newest first: each run's id,\n"
    "time, the number of files it changed and whether it was undone.\n\n"
    "  --json  one JSON array with one object per run\n";

int runHistory(const QStringList& args) {
    bool json = false;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << HistoryHelp;
            return ExitOk;
        }
        if (arg == QLatin1String("--json"))
            json = true;
        else
            return usageError(QStringLiteral("history: unexpected argument '%1'").arg(arg));
    }
    const QList<JournalRun> runs = ReadJournalRuns();
    QTextStream out(stdout);
    if (json) {
        QJsonArray array;
        for (const JournalRun& run : runs) {
            array.append(QJsonObject{{"id", run.id},
                                     {"time", run.time.toString(Qt::ISODateWithMs)},
                                     {"files", run.changedFiles()},
                                     {"undone", run.undoAttempted}});
        }
        out << QJsonDocument(array).toJson(QJsonDocument::Indented);
        return ExitOk;
    }
    if (runs.isEmpty())
        out << "No apply runs.\n";
    for (const JournalRun& run : runs) {
        out << run.id << "  "
            << run.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) << "  "
            << run.changedFiles() << (run.changedFiles() == 1 ? " file" : " files")
            << (run.undoAttempted ? "  (undone)" : "") << "\n";
    }
    return ExitOk;
}

const CommandRegistration
    registration({QStringLiteral("history"), QStringLiteral("history [--json]"),
                  QStringLiteral("lists the apply runs, newest first"), runHistory});

} // namespace
