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

// Where a run's standard output goes, for RunCliBytes: a file it writes
// (read back into out), a descriptor of the caller's, or nowhere (closed).
struct CliOutput {
    enum Kind { File, Descriptor, Closed } kind = File;
    QByteArray path; // File: empty for a file of the run's own
    int fd = -1;     // Descriptor
};

// The same with arguments as bytes: QProcess would encode a file name that is
// no UTF-8 into another one. status is -1 also when a signal ended the run.
inline CliRun RunCliBytes(const QList<QByteArray>& args, const QByteArray& workingDirectory = {},
                          const CliOutput& output = {}) {
    CliRun r;
    QTemporaryDir io;
    const QByteArray out =
        output.path.isEmpty() ? QFile::encodeName(io.filePath("out")) : output.path;
    const QByteArray err = QFile::encodeName(io.filePath("err"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (output.kind == CliOutput::File)
        posix_spawn_file_actions_addopen(&actions, 1, out.constData(), O_WRONLY | O_CREAT, 0600);
    else if (output.kind == CliOutput::Descriptor)
        posix_spawn_file_actions_adddup2(&actions, output.fd, 1);
    else
        posix_spawn_file_actions_addclose(&actions, 1);
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
    QFile o(QFile::decodeName(out)), e(io.filePath("err"));
    if (output.kind == CliOutput::File && output.path.isEmpty() && o.open(QIODevice::ReadOnly))
        r.out = o.readAll();
    if (e.open(QIODevice::ReadOnly))
        r.err = e.readAll();
    return r;
}
