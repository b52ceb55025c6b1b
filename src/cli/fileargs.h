#pragma once

#include <QStringList>

#include <optional>

// The arguments of a command that works on files, after its run options have
// been taken out: its own switches ("--json", "--dry-run", ...) and the
// FILEs. "--" ends the switches; "-h"/"--help" prints the help text and
// "--version" the version.
struct FileArgs {
    QStringList switches; // the known switches that were given
    QStringList files;

    bool has(const char* name) const { return switches.contains(QLatin1String(name)); }
};

// Sorts args into out. Returns an exit status when the command must end now
// (help printed: ExitOk; unknown option or no FILE: ExitUsage with the reason
// on standard error), or nothing to go on.
std::optional<int> takeFileArgs(const QStringList& args, const QString& command,
                                const QStringList& knownSwitches, const QString& helpText,
                                FileArgs& out);
