#include <QProcess>
#include <QTest>

// The dispatcher's contract: --help and --version succeed, anything it does
// not know is a usage error (exit 2) with a reason on standard error.
class TestCliDispatch : public QObject {
    Q_OBJECT
private slots:
    void exitStatus_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("stdoutHas");
        QTest::addColumn<QString>("stderrHas");
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: quorvel-cli"
                              << "";
        QTest::newRow("version") << QStringList{"--version"} << 0 << QUORVEL_VERSION << "";
        QTest::newRow("nothing") << QStringList{} << 2 << "Usage"
                                 << "a command is needed";
        QTest::newRow("unknown") << QStringList{"frobnicate"} << 2 << ""
                                 << "unknown command 'frobnicate'";
        // A script's empty variable names no run: it must not undo the newest.
        QTest::newRow("undo of an empty RUN") << QStringList{"undo", ""} << 2 << ""
                                              << "undo: RUN is empty";
    }
    void exitStatus() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, stdoutHas);
        QFETCH(QString, stderrHas);
        QProcess p;
        p.start(QStringLiteral(QUORVEL_CLI_PATH), args);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), status);
        QVERIFY2(QString::fromUtf8(p.readAllStandardOutput()).contains(stdoutHas),
                 qPrintable(stdoutHas));
        QVERIFY2(QString::fromUtf8(p.readAllStandardError()).contains(stderrHas),
                 qPrintable(stderrHas));
    }
};

QTEST_GUILESS_MAIN(TestCliDispatch)
#include "test_cli_dispatch.moc"
