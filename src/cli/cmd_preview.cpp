// quorvel-cli preview: plans each file as apply would (read, transformation
// with its messages, target, what Apply would refuse) and shows the Input
// and Output values and the target path, without changing anything.

#include "command.h"
#include "jsonwriter.h"
#include "streamout.h"
#include "transformcommand.h"

#include "apply/absolutepath.h"
#include "apply/inorder.h"
#include "apply/planfile.h"
#include "profiles/profile.h"
#include "tags/pathbytes.h"

#include <QTextStream>

namespace {

const QString usage = QStringLiteral("preview [--json] [OPTIONS] FILE...");

// One file as an element of the printed array; the keys of earlier
// versions, in the same (sorted) order.
QByteArray toJson(const FilePlan& p) {
    JsonWriter json(1);
    json.beginObject();
    json.key("inputs");
    WriteFieldValues(json, p.inputs);
    json.key("messages").stringArray(p.allMessages());
    json.key("ok").boolean(p.ready());
    json.key("outputs");
    WriteFieldValues(json, p.outputs);
    json.key("path").string(p.path);
    if (p.ready())
        json.key("target").string(p.target);
    json.endObject();
    return json.take();
}

QString asText(const FilePlan& p) {
    QString out = OneLine(p.path) + u'\n';
    for (const QString& message : p.allMessages())
        out += QStringLiteral("  message: ") + OneLine(message) + u'\n';
    if (p.read) {
        for (int f = 0; f < FieldCount; ++f) {
            out += QStringLiteral("  ") + fieldKey(f).leftJustified(9) + QStringLiteral(" \"") +
                   OneLine(p.inputs[f]) + QStringLiteral("\" -> \"") + OneLine(p.outputs[f]) +
                   QStringLiteral("\"\n");
        }
    }
    if (p.ready())
        out += QStringLiteral("  target: ") + OneLine(p.target) + u'\n';
    else
        out += QStringLiteral("  failed: ") + OneLine(p.status()) + u'\n'; // may name a file
    return out;
}

struct Previewed {
    bool read = false;
    bool ready = false;
    QByteArray out;
};

int runPreview(const QStringList& arguments) {
    TransformCommand run;
    if (const auto status = startTransformCommand(arguments, QStringLiteral("preview"), usage,
                                                  {QStringLiteral("--json")}, run))
        return *status;
    const bool json = run.given.has("--json");
    const QStringList paths = AbsolutePaths(run.given.files);
    QTextStream err(stderr);
    JsonArrayOut array;
    bool allOk = true;
    // Each file is planned and put into words on a reading thread; this
    // thread prints the results in order.
    ProduceInOrder<Previewed>(
        int(paths.size()),
        [&](int i) {
            const FilePlan p = PlanFile(paths[i], run.profile);
            return Previewed{p.read, p.ready(), json ? toJson(p) : printableBytes(asText(p))};
        },
        [&](int i, Previewed&& p) {
            if (!p.read)
                err << "quorvel-cli: cannot read " << OneLine(paths[i]) << "\n" << Qt::flush;
            allOk = allOk && p.ready;
            if (json)
                array.add(p.out);
            else
                PrintOut(p.out);
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
