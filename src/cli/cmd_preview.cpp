// quorvel-cli preview: plans each file as apply would (read, transformation
// with its messages, target, what Apply would refuse) and shows the Input
// and Output values and the target path, without changing anything.

#include "command.h"
#include "streamout.h"
#include "transformcommand.h"

#include "apply/absolutepath.h"
#include "apply/planfile.h"
#include "profiles/profile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

namespace {

const QString usage = QStringLiteral("preview [--json] [OPTIONS] FILE...");

QJsonObject fieldObject(const FieldValues& values) {
    QJsonObject object;
    for (int f = 0; f < FieldCount; ++f)
        object.insert(fieldKey(f), values[f]);
    return object;
}

QJsonObject toJson(const FilePlan& p) {
    QJsonObject object{{"path", p.path},
                       {"ok", p.ready()},
                       {"messages", QJsonArray::fromStringList(p.allMessages())},
                       {"inputs", fieldObject(p.inputs)},
                       {"outputs", fieldObject(p.outputs)}};
    if (p.ready())
        object.insert(QStringLiteral("target"), p.target);
    return object;
}

QString asText(const FilePlan& p) {
    QString out = p.path + u'\n';
    for (const QString& message : p.allMessages())
        out += QStringLiteral("  message: ") + message + u'\n';
    if (p.read) {
        for (int f = 0; f < FieldCount; ++f) {
            out += QStringLiteral("  ") + fieldKey(f).leftJustified(9) + QStringLiteral(" \"") +
                   p.inputs[f] + QStringLiteral("\" -> \"") + p.outputs[f] + QStringLiteral("\"\n");
        }
    }
    if (p.ready())
        out += QStringLiteral("  target: ") + p.target + u'\n';
    else
        out += QStringLiteral("  failed: ") + p.status() + u'\n';
    return out;
}

int runPreview(const QStringList& arguments) {
    TransformCommand run;
    if (const auto status = startTransformCommand(arguments, QStringLiteral("preview"), usage,
                                                  {QStringLiteral("--json")}, run))
        return *status;
    const bool json = run.given.has("--json");
    QStringList paths;
    for (const QString& file : run.given.files)
        paths << AbsolutePath(file);
    QTextStream err(stderr);
    JsonArrayOut array;
    bool allOk = true;
    PlanFiles(paths, run.profile, [&](int, FilePlan&& p) {
        if (!p.read)
            err << "quorvel-cli: cannot read " << p.path << "\n" << Qt::flush;
        allOk = allOk && p.ready();
        if (json)
            array.add(toJson(p));
        else
            PrintOut(asText(p));
    });
    if (json)
        array.finish();
    FlushOut();
    return allOk ? ExitOk : ExitFailed;
}

const CommandRegistration registration{
    Command{QStringLiteral("preview"), usage,
            QStringLiteral("shows the Input and Output values and the target path of each file"),
            runPreview}};

} // namespace
