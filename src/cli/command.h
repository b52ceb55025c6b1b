#pragma once

#include <QStringList>

#include <functional>

// A subcommand of quorvel-cli. Each command's file defines one static
// CommandRegistration; the dispatcher finds it by name.
struct Command {
    QString name;
    QString usage;   // one line shown by --help, e.g. "show [--json] FILE..."
    QString summary; // what it does, one line
    // Receives the arguments after the command name; returns the exit status.
    std::function<int(const QStringList&)> run;
};

// Exit statuses shared by every command.
enum ExitStatus { ExitOk = 0, ExitFailed = 1, ExitUsage = 2 };

struct CommandRegistration {
    explicit CommandRegistration(Command command);
};

const QList<Command>& registeredCommands();

// Prints "quorvel-cli: <reason>" on standard error and returns ExitUsage.
int usageError(const QString& reason);
