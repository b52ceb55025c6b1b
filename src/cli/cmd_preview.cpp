// quorvel-cli preview: reads each file as the window does on selection, runs
// the transformation with messages on and shows the Input and Output values
// and the target path, without changing anything.

#include "command.h"
#include "fileargs.h"
#include "runoptions.h"
#include "runprofile.h"

#include "profiles/profile.h"
#include "tags/diagnostics.h"
#include "tags/selectionread.h"
#include "transform/transform.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

namespace {

const QString usage = QStringLiteral("preview [--json] [OPTIONS] FILE...");

struct Preview {
    QString path;
    bool readOk = false;
    bool ok = false;
    QStringList messages;
    FieldValues inputs;
    FieldValues outputs;

    QString target() const {
        return outputs[FieldLocation] + QLatin1Char('/') + outputs[FieldFilename] +
               QStringLiteral(".mp3");
    }
};

Preview previewFile(const QString& file, const Profile& profile) {
    Preview p;
    p.path = QFileInfo(file).absoluteFilePath();
    TagInfo tag;
    const SelectionRead read = ReadSelection(tag, p.path);
    p.readOk = read.ok;
    if (!read.ok)
        return p;
    p.inputs = read.inputs;
    FieldGrid grid{read.inputs, profile.parse, profile.create, FieldValues{}};
    p.ok = Transform(grid, TransformOptions::fromProfile(profile), true, false,
                     [&p](const QString& message) { p.messages << message; });
    p.outputs = grid[RowOutput];
    return p;
}

QJsonObject fieldObject(const FieldValues& values) {
    QJsonObject object;
    for (int f = 0; f < FieldCount; ++f)
        object.insert(fieldKey(f), values[f]);
    return object;
}

QJsonObject toJson(const Preview& p) {
    QJsonObject object{{"path", p.path},
                       {"ok", p.ok},
                       {"messages", QJsonArray::fromStringList(p.messages)},
                       {"inputs", fieldObject(p.inputs)},
                       {"outputs", fieldObject(p.outputs)}};
    if (p.ok)
        object.insert(QStringLiteral("target"), p.target());
    return object;
}

void printText(QTextStream& out, const Preview& p) {
    out << p.path << "\n";
    for (const QString& message : p.messages)
        out << "  message: " << message << "\n";
    if (p.readOk) {
        for (int f = 0; f < FieldCount; ++f) {
            out << "  " << fieldKey(f).leftJustified(9) << " \"" << p.inputs[f] << "\" -> \""
                << p.outputs[f] << "\"\n";
        }
    }
    if (p.ok)
        out << "  target: " << p.target() << "\n";
    else
        out << "  failed: " << (p.readOk ? "the transformation stopped" : "cannot read the file")
            << "\n";
}

int runPreview(const QStringList& arguments) {
    QStringList args = arguments;
    RunOptions options;
    QString error;
    if (!takeRunOptions(args, options, error))
        return usageError(error);
    FileArgs given;
    if (const auto status = takeFileArgs(
            args, QStringLiteral("preview"), {QStringLiteral("--json")},
            QStringLiteral("Usage: quorvel-cli %1\n\n").arg(usage) + runOptionsHelp(), given))
        return *status;
    const bool json = given.has("--json");
    const QStringList& files = given.files;

    QTextStream out(stdout);
    QTextStream err(stderr);
    const std::optional<Profile> runProfile = loadRunProfileOrReport(options);
    if (!runProfile)
        return ExitFailed;
    const Profile& profile = *runProfile;
    // Standard output carries the JSON alone.
    if (json)
        SetTagDiagnosticStream(stderr);
    QJsonArray results;
    bool allOk = true;
    for (const QString& file : files) {
        const Preview p = previewFile(file, profile);
        if (!p.readOk)
            err << "quorvel-cli: cannot read " << p.path << "\n";
        allOk = allOk && p.ok;
        if (json)
            results.append(toJson(p));
        else
            printText(out, p);
    }
    if (json)
        out << QJsonDocument(results).toJson(QJsonDocument::Indented);
    return allOk ? ExitOk : ExitFailed;
}

const CommandRegistration registration{
    Command{QStringLiteral("preview"), usage,
            QStringLiteral("shows the Input and Output values and the target path of each file"),
            runPreview}};

} // namespace
