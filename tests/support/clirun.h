#pragma once

#include <QProcess>
#include <QStringList>

// One run of quorvel-cli for the command-line tests.
struct CliRun {
    int status = -1; // the exit code; -1 when it crashed or did not finish
    QByteArray out;
    QByteArray err;
};

// program: quorvel-cli under another name, which gives it another store and
// journal (see storeApplicationName).
inline CliRun RunCli(const QStringList& args, const QString& workingDirectory = QString(),
                     const QString& program = QStringLiteral(QUORVEL_CLI_PATH)) {
    QProcess p;
    if (!workingDirectory.isEmpty())
        p.setWorkingDirectory(workingDirectory);
    p.start(program, args);
    CliRun r;
    if (!p.waitForFinished(60000))
        return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}
