// quorvel-cli profile list|show|save|delete: the profiles of the store that
// the window uses.

#include "command.h"
#include "runoptions.h"
#include "runprofile.h"
#include "streamout.h"

#include "profiles/optioncontrols.h"
#include "profiles/settingsstore.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

int failed(const QString& reason) {
    QTextStream(stderr) << "quorvel-cli: " << reason << "\n";
    return ExitFailed;
}

// Why a profile was not found: it is not in the store, or the store
// cannot be read at all.
QString notFound(const SettingsStore& store, const QString& name) {
    return store.isReadable() ? QStringLiteral("unknown profile \"%1\"").arg(name)
                              : CannotReadStore(store);
}

// Takes "--json" out of args, before a "--" only: after it, "--json" is a
// profile's name.
bool takeJson(QStringList& args) {
    const qsizetype end = args.indexOf(QStringLiteral("--"));
    bool json = false;
    for (qsizetype i = (end < 0 ? args.size() : end) - 1; i >= 0; --i) {
        if (args[i] == QLatin1String("--json")) {
            args.removeAt(i);
            json = true;
        }
    }
    return json;
}

// The one NAME argument; anything else is a usage error. After "--" a name
// may begin with a dash.
bool takeName(const QStringList& args, const QString& command, QString& name, int& status) {
    QStringList rest;
    bool options = true;
    for (const QString& arg : args) {
        if (options && arg == QLatin1String("--")) {
            options = false;
        } else if (options && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            status =
                usageError(QStringLiteral("profile %1: unknown option '%2'").arg(command, arg));
            return false;
        } else {
            rest.append(arg);
        }
    }
    if (rest.size() != 1) {
        status = usageError(QStringLiteral("profile %1 needs one profile NAME").arg(command));
        return false;
    }
    name = rest.first();
    return true;
}

void print(const QJsonDocument& doc) {
    QTextStream(stdout) << doc.toJson(QJsonDocument::Indented);
}

int list(QStringList args) {
    const bool json = takeJson(args);
    if (!args.isEmpty())
        return usageError(
            QStringLiteral("profile list: unexpected argument '%1'").arg(args.first()));
    const SettingsStore store;
    if (!store.isReadable())
        return failed(CannotReadStore(store));
    const QStringList names = store.EnumProfiles();
    const QString last = store.ReadText(ApplicationKey, StoreValue::LastProfile, QString());
    if (!json) {
        QTextStream out(stdout);
        for (const QString& name : names)
            out << OneLine(name) << "\n";
        return ExitOk;
    }
    QJsonArray array;
    for (const QString& name : names) {
        // Profile names compare without regard to case, as the store's keys do.
        const bool isLast = !last.isEmpty() && name.compare(last, Qt::CaseInsensitive) == 0;
        array.append(QJsonObject{{QStringLiteral("name"), name}, {QStringLiteral("last"), isLast}});
    }
    print(QJsonDocument(array));
    return ExitOk;
}

QJsonArray toJson(const FieldValues& formats) {
    QJsonArray array;
    for (const QString& f : formats)
        array.append(f);
    return array;
}

int show(QStringList args) {
    const bool json = takeJson(args);
    QString name;
    int status = ExitOk;
    if (!takeName(args, QStringLiteral("show"), name, status))
        return status;
    const SettingsStore store;
    const std::optional<QString> stored = store.findProfile(name);
    if (!stored)
        return failed(notFound(store, name));
    const Profile p = store.readProfile(*stored);
    if (json) {
        print(QJsonDocument(QJsonObject{
            {QStringLiteral("name"), p.name},
            {QStringLiteral("parse"), toJson(p.parse)},
            {QStringLiteral("create"), toJson(p.create)},
            {StoreValue::Separator, p.separator},
            {StoreValue::Case, p.caseMode},
            {StoreValue::Ansi, p.ansi},
            {StoreValue::ClearOtherV2, p.clearOtherV2},
            {StoreValue::ClearV1, p.clearV1},
        }));
        return ExitOk;
    }
    // A name or format may hold a line break or a terminal escape: shown as
    // "?", as the other commands show them.
    QTextStream out(stdout);
    out << "name=" << OneLine(p.name) << "\n";
    for (int f = 0; f < FieldCount; ++f)
        out << StoreValue::field(RowParse, f) << "=" << OneLine(p.parse[f]) << "\n";
    for (int f = 0; f < FieldCount; ++f)
        out << StoreValue::field(RowCreate, f) << "=" << OneLine(p.create[f]) << "\n";
    out << StoreValue::Separator << "=" << OneLine(p.separator) << "\n"
        << StoreValue::Case << "=" << p.caseMode << "\n"
        << StoreValue::Ansi << "=" << p.ansi << "\n"
        << StoreValue::ClearOtherV2 << "=" << p.clearOtherV2 << "\n"
        << StoreValue::ClearV1 << "=" << p.clearV1 << "\n";
    return ExitOk;
}

int save(QStringList args) {
    // The store keeps text: a byte that is no UTF-8 would be dropped from a
    // value without a word, and from "LastProfile" when the window leaves it.
    for (const QString& arg : std::as_const(args)) {
        if (!arg.isValidUtf16())
            return usageError(QStringLiteral("profile save stores text: NAME and the values "
                                             "must be UTF-8"));
    }
    RunOptions options;
    QString error;
    if (!takeRunOptions(args, options, error))
        return usageError(error);
    if (options.profileName)
        return usageError(QStringLiteral("profile save takes the profile NAME, not --profile"));
    QString name;
    int status = ExitOk;
    if (!takeName(args, QStringLiteral("save"), name, status))
        return status;
    SettingsStore store;
    // An existing profile keeps the spelling it is stored under; another
    // program's save of it meanwhile waits, so neither change is lost.
    const auto change = [&options](Profile& p) {
        options.applyTo(p);
        takeOptionsAsWindow(p);
    };
    if (!store.UpdateProfile(name, change, LastProfileUpdate::Keep))
        return failed(CannotSaveToStore(store));
    return ExitOk;
}

int remove(const QStringList& args) {
    QString name;
    int status = ExitOk;
    if (!takeName(args, QStringLiteral("delete"), name, status))
        return status;
    SettingsStore store;
    const QString onlyOne = QStringLiteral("At least 1 profile should always exist");
    switch (store.DeleteProfileKey(name, true)) {
    case Deletion::Done:
        return ExitOk;
    case Deletion::NotStored:
        // The "Default" an empty store runs on is the only profile there is.
        return failed(store.findProfile(name) ? onlyOne : notFound(store, name));
    case Deletion::OnlyProfile:
        return failed(onlyOne);
    case Deletion::Failed:
        break;
    }
    return failed(CannotSaveToStore(store));
}

// Help for every subcommand at once; save takes the run options except
// --profile, since NAME is the profile it saves.
void printHelp() {
    QStringList options = runOptionsHelp().split(QLatin1Char('\n'));
    // What a run takes for itself, save stores.
    options.removeIf([](const QString& line) {
        return line.startsWith(QLatin1String("  --profile ")) ||
               line.contains(QLatin1String("\"LastProfile\""));
    });
    for (QString& line : options)
        line.replace(QLatin1String(" for this run"), QLatin1String(" to store"));
    QTextStream(stdout)
        << "Usage: quorvel-cli profile list [--json]\n"
           "       quorvel-cli profile show NAME [--json]\n"
           "       quorvel-cli profile save NAME [OPTIONS]\n"
           "       quorvel-cli profile delete NAME\n\n"
           "list prints the names in the store's order, show the values of one\n"
           "profile; save creates or changes NAME (\"LastProfile\" stays as it is);\n"
           "delete removes NAME. Put -- before a NAME that begins with a dash, after\n"
           "the options: every argument after -- is the NAME.\n\n"
           "  --json                    JSON output of list and show\n"
           "OPTIONS of save:\n"
        << options.join(QLatin1Char('\n'));
}

bool asksForHelp(const QStringList& args) {
    for (const QString& arg : args) {
        if (arg == QLatin1String("--"))
            return false;
        if (arg == QLatin1String("--help") || arg == QLatin1String("-h"))
            return true;
    }
    return false;
}

int run(QStringList args) {
    if (asksForHelp(args)) {
        printHelp();
        return ExitOk;
    }
    if (args.isEmpty())
        return usageError(QStringLiteral("profile needs list, show, save or delete"));
    const QString sub = args.takeFirst();
    if (sub == QLatin1String("list"))
        return list(args);
    if (sub == QLatin1String("show"))
        return show(args);
    if (sub == QLatin1String("save"))
        return save(args);
    if (sub == QLatin1String("delete"))
        return remove(args);
    return usageError(QStringLiteral("unknown profile command '%1'").arg(sub));
}

const CommandRegistration registration{
    Command{QStringLiteral("profile"),
            QStringLiteral("profile list [--json] | show NAME [--json] | save NAME [OPTIONS] | "
                           "delete NAME"),
            QStringLiteral("list, show, save or delete the stored profiles"), run}};

} // namespace
