#include "runoptions.h"

namespace {

bool takeFieldFormat(const QString& value, QList<std::pair<int, QString>>& into,
                     const QString& option, QString& error) {
    const qsizetype eq = value.indexOf(QLatin1Char('='));
    const int field = eq < 0 ? -1 : fieldFromKey(value.left(eq));
    if (field < 0) {
        error = QStringLiteral("%1 needs FIELD=FORMAT with FIELD one of location, filename, "
                               "artist, title, album, genre, year, track")
                    .arg(option);
        return false;
    }
    into.append({field, value.mid(eq + 1)});
    return true;
}

bool takeCase(const QString& value, std::optional<int>& into, QString& error) {
    static const QStringList names = {QStringLiteral("title"), QStringLiteral("lower"),
                                      QStringLiteral("upper"), QStringLiteral("keep")};
    const qsizetype index = names.indexOf(value.toLower());
    if (index < 0) {
        error = QStringLiteral("--case takes title, lower, upper or keep");
        return false;
    }
    into = int(index);
    return true;
}

} // namespace

void RunOptions::applyTo(Profile& profile) const {
    for (const auto& [field, format] : parse)
        profile.parse[field] = format;
    for (const auto& [field, format] : create)
        profile.create[field] = format;
    if (caseMode)
        profile.caseMode = *caseMode;
    if (separator)
        profile.separator = *separator;
    if (ansi)
        profile.ansi = *ansi;
    if (clearOtherV2)
        profile.clearOtherV2 = *clearOtherV2;
    if (clearV1)
        profile.clearV1 = *clearV1;
}

bool takeRunOptions(QStringList& args, RunOptions& options, QString& error) {
    QStringList rest;
    const struct {
        const char* name;
        std::optional<int> RunOptions::*member;
        int value;
    } switches[] = {
        {"--ansi", &RunOptions::ansi, 1},
        {"--no-ansi", &RunOptions::ansi, 0},
        {"--clear-other-v2", &RunOptions::clearOtherV2, 1},
        {"--no-clear-other-v2", &RunOptions::clearOtherV2, 0},
        {"--clear-v1", &RunOptions::clearV1, 1},
        {"--no-clear-v1", &RunOptions::clearV1, 0},
    };
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString arg = args[i];
        if (arg == QLatin1String("--")) {
            rest += args.mid(i);
            break;
        }
        // Options with a value accept both "--opt VALUE" and "--opt=VALUE".
        QString name = arg;
        std::optional<QString> inlineValue;
        if (arg.startsWith(QLatin1String("--")) && arg.contains(QLatin1Char('='))) {
            name = arg.left(arg.indexOf(QLatin1Char('=')));
            inlineValue = arg.mid(arg.indexOf(QLatin1Char('=')) + 1);
        }
        auto value = [&](QString& out) {
            if (inlineValue) {
                out = *inlineValue;
                return true;
            }
            if (i + 1 >= args.size()) {
                error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            out = args[++i];
            return true;
        };

        bool matchedSwitch = false;
        for (const auto& s : switches) {
            if (arg == QLatin1String(s.name)) {
                options.*(s.member) = s.value;
                matchedSwitch = true;
            }
        }
        if (matchedSwitch)
            continue;

        QString v;
        if (name == QLatin1String("--parse") || name == QLatin1String("--create")) {
            if (!value(v) ||
                !takeFieldFormat(v,
                                 name == QLatin1String("--parse") ? options.parse : options.create,
                                 name, error))
                return false;
        } else if (name == QLatin1String("--case")) {
            if (!value(v) || !takeCase(v, options.caseMode, error))
                return false;
        } else if (name == QLatin1String("--separator")) {
            if (!value(v))
                return false;
            options.separator = v;
        } else if (name == QLatin1String("--profile")) {
            if (!value(v))
                return false;
            options.profileName = v;
        } else {
            rest.append(arg);
        }
    }
    args = rest;
    return true;
}

QString runOptionsHelp() {
    return QStringLiteral(
        "  --profile NAME            base profile (default: the one the window opens with,\n"
        "                            \"LastProfile\", else the first stored, else \"Default\")\n"
        "  --parse FIELD=FORMAT      parse format of FIELD for this run (repeatable)\n"
        "  --create FIELD=FORMAT     create format of FIELD for this run (repeatable)\n"
        "                            FIELD: location filename artist title album genre year track\n"
        "  --case title|lower|upper|keep\n"
        "  --separator TEXT          SPACE, NONE, \"_(underscore)\", \"-(dash)\" (or text that\n"
        "                            begins one, in any case) or any other text\n"
        "  --ansi, --no-ansi         ASCII characters only, or not\n"
        "  --clear-other-v2, --no-clear-other-v2\n"
        "  --clear-v1, --no-clear-v1\n");
}
