#include "clirun.h"

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <QTest>

// The help texts of quorvel-cli are the one list of its options: every
// option that `quorvel-cli --help` or `quorvel-cli COMMAND --help` prints
// must be named in the man page, in the section of that command (".SS
// COMMAND"), or under ".SH OPTIONS" for the program's own options.

namespace {

const QString ManPage = QStringLiteral("resources/man/quorvel-cli.1.in");

// The page's sections by heading (".SH OPTIONS" gives "OPTIONS", ".SS apply"
// gives "apply"), each as plain text: font changes dropped, "\-" as "-".
QHash<QString, QString> manSections() {
    QFile file(QStringLiteral(QUORVEL_SOURCE_DIR "/") + ManPage);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QString text = QString::fromUtf8(file.readAll());
    text.remove(QRegularExpression(QStringLiteral(R"(\\f(\[[^\]]*\]|\(..|.))")));
    text.replace(QStringLiteral("\\-"), QStringLiteral("-"));
    QHash<QString, QString> sections;
    QString heading;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH ")) || line.startsWith(QLatin1String(".SS "))) {
            heading = line.mid(4).remove(QLatin1Char('"')).trimmed();
            continue;
        }
        sections[heading] += line + QLatin1Char('\n');
    }
    return sections;
}

QStringList optionsIn(const QString& text) {
    static const QRegularExpression option(
        QStringLiteral("(?<![A-Za-z0-9-])--[A-Za-z0-9][A-Za-z0-9-]*"));
    QStringList found;
    for (const QRegularExpressionMatch& m : option.globalMatch(text))
        found.append(m.captured());
    found.removeDuplicates();
    return found;
}

bool names(const QString& section, const QString& option) {
    return section.contains(QRegularExpression(QStringLiteral("(?<![A-Za-z0-9-])") +
                                               QRegularExpression::escape(option) +
                                               QStringLiteral("(?![A-Za-z0-9-])")));
}

// What `quorvel-cli --help` prints, cut into the section each line belongs
// to: a command's usage line to the command, the "Options:" lines to OPTIONS.
QList<std::pair<QString, QString>> mainHelpBySection(const QString& help) {
    QList<std::pair<QString, QString>> parts;
    static const QRegularExpression usage(QStringLiteral("^  ([a-z][a-z-]*)( |$)"));
    QString block;
    for (const QString& line : help.split(QLatin1Char('\n'))) {
        if (line == QLatin1String("Commands:") || line == QLatin1String("Options:")) {
            block = line;
            continue;
        }
        const QRegularExpressionMatch m = usage.match(line);
        if (block == QLatin1String("Commands:") && m.hasMatch())
            parts.append({m.captured(1), line});
        else if (block == QLatin1String("Options:"))
            parts.append({QStringLiteral("OPTIONS"), line});
    }
    return parts;
}

QStringList commandsOf(const QString& help) {
    QStringList commands;
    for (const auto& [section, line] : mainHelpBySection(help)) {
        if (section != QLatin1String("OPTIONS"))
            commands.append(section);
    }
    return commands;
}

} // namespace

class TestManOptions : public QObject {
    Q_OBJECT
private slots:
    void everyCommandHasASection() {
        const CliRun help = RunCli({QStringLiteral("--help")});
        QCOMPARE(help.status, 0);
        const QStringList commands = commandsOf(QString::fromUtf8(help.out));
        QVERIFY2(commands.contains(QStringLiteral("apply")),
                 "no commands found in the output of quorvel-cli --help");
        const QHash<QString, QString> sections = manSections();
        QVERIFY2(!sections.isEmpty(), qPrintable(ManPage + QStringLiteral(" cannot be read")));
        QStringList missing;
        for (const QString& command : commands) {
            if (!sections.contains(command))
                missing.append(QStringLiteral("%1 has no section \".SS %2\" for the command %2")
                                   .arg(ManPage, command));
        }
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    }

    void everyOptionIsNamed_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("quorvel-cli --help") << QStringList{QStringLiteral("--help")};
        const CliRun help = RunCli({QStringLiteral("--help")});
        for (const QString& command : commandsOf(QString::fromUtf8(help.out))) {
            QTest::newRow(qPrintable(QStringLiteral("quorvel-cli %1 --help").arg(command)))
                << QStringList{command, QStringLiteral("--help")};
        }
    }
    void everyOptionIsNamed() {
        QFETCH(QStringList, args);
        const QString invocation = QStringLiteral("quorvel-cli ") + args.join(QLatin1Char(' '));
        const CliRun help = RunCli(args);
        QVERIFY2(help.status == 0, qPrintable(invocation + QStringLiteral(" does not succeed")));
        const QString text = QString::fromUtf8(help.out);

        QList<std::pair<QString, QString>> parts;
        if (args.size() == 1)
            parts = mainHelpBySection(text);
        else
            parts.append({args.first(), text});

        const QHash<QString, QString> sections = manSections();
        int checked = 0;
        QStringList missing;
        for (const auto& [section, part] : parts) {
            for (const QString& option : optionsIn(part)) {
                ++checked;
                if (!names(sections.value(section), option))
                    missing.append(QStringLiteral("%1 prints %2; %3 does not name it in \"%4\"")
                                       .arg(invocation, option, ManPage,
                                            section == QLatin1String("OPTIONS")
                                                ? QStringLiteral(".SH OPTIONS")
                                                : QStringLiteral(".SS ") + section));
            }
        }
        QVERIFY2(checked > 0, qPrintable(invocation + QStringLiteral(" printed no option")));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestManOptions)
#include "test_man_options.moc"
