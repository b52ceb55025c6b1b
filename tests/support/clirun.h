#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

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

// The same with arguments as bytes: QProcess would encode a file name that is
// no UTF-8 into another one.
inline CliRun RunCliBytes(const QList<QByteArray>& args, const QByteArray& workingDirectory = {}) {
    CliRun r;
    QTemporaryDir io;
    const QByteArray out = QFile::encodeName(io.filePath("out"));
    const QByteArray err = QFile::encodeName(io.filePath("err"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, err.constData(), O_WRONLY | O_CREAT, 0600);
    if (!workingDirectory.isEmpty())
        posix_spawn_file_actions_addchdir_np(&actions, workingDirectory.constData());
    QByteArray program(QUORVEL_CLI_PATH);
    std::vector<char*> argv{program.data()};
    QList<QByteArray> copies = args;
    for (QByteArray& a : copies)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int status = 0;
    const bool ran =
        ::posix_spawn(&pid, program.constData(), &actions, nullptr, argv.data(), environ) == 0 &&
        ::waitpid(pid, &status, 0) == pid;
    posix_spawn_file_actions_destroy(&actions);
    if (ran && WIFEXITED(status))
        r.status = WEXITSTATUS(status);
    QFile o(io.filePath("out")), e(io.filePath("err"));
    if (o.open(QIODevice::ReadOnly))
        r.out = o.readAll();
    if (e.open(QIODevice::ReadOnly))
        r.err = e.readAll();
    return r;
}
