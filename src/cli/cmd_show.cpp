// quorvel-cli show: reads files as the window does on selecting them and
// prints their eight Input values and their frames.
#include "command.h"
#include "fileargs.h"
#include "streamout.h"

#include "apply/absolutepath.h"
#include "apply/inorder.h"
#include "tags/diagnostics.h"
#include "tags/selectionread.h"

#include <QJsonArray>
#include <QJsonObject>

namespace {

const char* const showUsage = "show [--json] FILE...";

// Body bytes as the frame stands (raw) or would be written.
qsizetype BodySize(const FrameInfo& frame) {
    if (frame.hasRaw)
        return frame.raw.size();
    QByteArray bytes;
    return std::max<qsizetype>(frame.WriteFrame(bytes) - 10, 0);
}

bool ShowsText(const FrameInfo& frame) {
    // Encrypted or otherwise undecodable text frames hold no readable text.
    return frame.IsTextFrame() && !frame.opaque;
}

QJsonObject Describe(const QString& path, const TagInfo& tag, const SelectionRead& read) {
    QJsonObject o;
    o["path"] = path;
    o["ok"] = read.ok;
    if (!read.ok)
        o["error"] = read.failure;
    o["hasV1"] = tag.hasV1;
    o["hasV2"] = tag.hasV2;
    o["version"] = tag.hasV2 ? tag.version : 0;
    o["tagSize"] = tag.tagSize;
    QJsonObject fields;
    for (int f = 0; f < FieldCount; ++f)
        fields[fieldKey(f)] = read.inputs[f];
    o["fields"] = fields;
    QJsonArray frames;
    if (read.ok) {
        for (const FrameInfo& frame : tag.frames) {
            if (frame.IsPseudoFrame())
                continue;
            QJsonObject fo;
            fo["id"] = QString::fromLatin1(frame.id);
            if (ShowsText(frame)) {
                // Values stay separated by 0 units; terminators are dropped.
                QString text = frame.text;
                while (text.endsWith(QChar(0)))
                    text.chop(1);
                fo["text"] = text;
            } else {
                fo["size"] = qint64(BodySize(frame));
            }
            frames.append(fo);
        }
    }
    o["frames"] = frames;
    return o;
}

QString AsText(const QJsonObject& o) {
    QString out;
    out += o["path"].toString() + u'\n';
    if (!o["ok"].toBool())
        return out + QStringLiteral("  error: ") + o["error"].toString() + u'\n';
    out += QStringLiteral("  ID3v2: ") +
           (o["hasV2"].toBool()
                ? QString("2.%1, %2 bytes").arg(o["version"].toInt()).arg(o["tagSize"].toInt())
                : QString("none")) +
           QStringLiteral("; ID3v1: ") + (o["hasV1"].toBool() ? "yes" : "no") + u'\n';
    const QJsonObject fields = o["fields"].toObject();
    for (int f = 0; f < FieldCount; ++f)
        out += QStringLiteral("  ") + fieldKey(f) + QStringLiteral(": ") +
               fields[fieldKey(f)].toString() + u'\n';
    for (const QJsonValue& v : o["frames"].toArray()) {
        const QJsonObject fo = v.toObject();
        out += QStringLiteral("  [") + fo["id"].toString() + QStringLiteral("] ");
        if (fo.contains("text"))
            out += QString(fo["text"].toString()).replace(QChar(0), QLatin1Char('/')) + u'\n';
        else
            out += QString::number(fo["size"].toInteger()) + QStringLiteral(" bytes\n");
    }
    return out;
}

// One file's output, made on a reading thread.
struct Shown {
    bool ok = false;
    QJsonObject json;
    QByteArray text;
};

int RunShow(const QStringList& args) {
    FileArgs given;
    if (const auto status = takeFileArgs(
            args, QStringLiteral("show"), {QStringLiteral("--json")},
            QStringLiteral("Usage: quorvel-cli %1\n\n"
                           "Reads each FILE as the window does when the file is selected "
                           "and prints\nits eight Input values and its frames.\n\n"
                           "  --json  one JSON array with one object per FILE\n")
                .arg(QLatin1String(showUsage)),
            given))
        return *status;
    const bool json = given.has("--json");
    const QStringList& files = given.files;
    // Standard output carries the JSON alone.
    if (json)
        SetTagDiagnosticStream(stderr);

    // Files are read a few at a time; each result is printed, in the order
    // given, as soon as it is known.
    JsonArrayOut array;
    bool allOk = true;
    ProduceInOrder<Shown>(
        int(files.size()),
        [&](int i) {
            const QString path = AbsolutePath(files[i]);
            TagInfo tag;
            const SelectionRead read = ReadSelection(tag, path);
            Shown shown;
            shown.ok = read.ok;
            shown.json = Describe(path, tag, read);
            if (!json) {
                shown.text = AsText(shown.json).toUtf8();
                shown.json = QJsonObject();
            }
            return shown;
        },
        [&](int, Shown&& shown) {
            allOk = allOk && shown.ok;
            if (json)
                array.add(shown.json);
            else
                PrintOut(shown.text);
        });
    if (json)
        array.finish();
    FlushOut();
    return allOk ? ExitOk : ExitFailed;
}

const CommandRegistration registration({QStringLiteral("show"), QString::fromLatin1(showUsage),
                                        QStringLiteral("print the Input values and frames of "
                                                       "each file"),
                                        RunShow});

} // namespace
