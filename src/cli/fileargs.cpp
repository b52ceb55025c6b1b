#include "fileargs.h"

#include "command.h"

#include <QTextStream>

std::optional<int> takeFileArgs(const QStringList& args, const QString& command,
                                const QStringList& knownSwitches, const QString& helpText,
                                FileArgs& out) {
    bool switchesEnded = false;
    for (const QString& arg : args) {
        if (switchesEnded) {
            out.files << arg;
        } else if (arg == QLatin1String("--")) {
            switchesEnded = true;
        } else if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
            QTextStream(stdout) << helpText;
            return ExitOk;
        } else if (arg == QLatin1String("--version")) {
            QTextStream(stdout) << "quorvel-cli " << QUORVEL_VERSION << "\n";
            return ExitOk;
        } else if (knownSwitches.contains(arg)) {
            out.switches << arg;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return usageError(QStringLiteral("%1: unknown option '%2'").arg(command, arg));
        } else {
            out.files << arg;
        }
    }
    if (out.files.isEmpty())
        return usageError(QStringLiteral("%1 needs at least one FILE").arg(command));
    return std::nullopt;
}
