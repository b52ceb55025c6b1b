#include "command.h"
#include "streamout.h"

#include "apply/processguards.h"
#include "tags/diagnostics.h"
#include "tags/pathbytes.h"

#include <QCoreApplication>
#include <QTextStream>

#include <algorithm>
#include <cstring>

namespace {

QList<Command>& commandTable() {
    static QList<Command> table;
    return table;
}

void printHelp(QTextStream& out) {
    out << "Usage: quorvel-cli COMMAND [ARGS...]\n\n"
        << "Reads, renames and retags MP3 files by the rules of a Quorvel profile.\n\n"
        << "Commands:\n";
    QList<Command> commands = commandTable();
    std::sort(commands.begin(), commands.end(),
              [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const Command& c : commands)
        out << "  " << c.usage << "\n      " << c.summary << "\n";
    out << "\nOptions:\n  --help     show this text\n  --version  show the version\n";
}

// Results that could not be written (a full disk, a closed output) are a
// failure of the run, even when every file was done.
int finishOutput(int status) {
    const int err = OutputError();
    if (err == 0)
        return status;
    if (err > 0)
        std::fprintf(stderr, "quorvel-cli: cannot write the output: %s\n", std::strerror(err));
    else
        std::fputs("quorvel-cli: cannot write the output\n", stderr);
    return status == ExitOk ? ExitFailed : status;
}

int runCommand(QStringList args) {
    QTextStream out(stdout);
    if (args.isEmpty())
        return (printHelp(out), usageError(QStringLiteral("a command is needed")));
    const QString name = args.takeFirst();
    if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
        printHelp(out);
        return ExitOk;
    }
    if (name == QLatin1String("--version")) {
        out << "quorvel-cli " << QUORVEL_VERSION << "\n";
        return ExitOk;
    }
    for (const Command& c : commandTable()) {
        if (c.name == name)
            return c.run(args);
    }
    return usageError(QStringLiteral("unknown command '%1' (see --help)").arg(name));
}

} // namespace

CommandRegistration::CommandRegistration(Command command) {
    commandTable().append(std::move(command));
}

const QList<Command>& registeredCommands() {
    return commandTable();
}

int usageError(const QString& reason) {
    QTextStream err(stderr);
    err << "quorvel-cli: " << reason << "\n";
    return ExitUsage;
}

int main(int argc, char* argv[]) {
    OccupyClosedStandardDescriptors();
    FailWritesPastSizeLimit();
    BufferOutput();
    QCoreApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Norvesta"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    // Standard output carries the results alone, in the order of the files;
    // the tag layer's diagnostic lines come from the reading threads, each
    // naming its file as text output names it.
    SetTagDiagnosticStream(stderr);
    SetTagDiagnosticNamer([](const QString& path) { return printableBytes(OneLine(path)); });

    // File names are bytes: arguments() would decode a name that is no UTF-8
    // into another name, so each argument is taken as its bytes.
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << pathFromBytes(argv[i]);
    return finishOutput(runCommand(std::move(args)));
}
