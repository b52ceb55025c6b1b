// quorvel-cli show: reads files as the window does on selecting them and
// prints their eight Input values and their frames.
#include "command.h"
#include "fileargs.h"
#include "jsonwriter.h"
#include "streamout.h"

#include "apply/absolutepath.h"
#include "apply/inorder.h"
#include "tags/pathbytes.h"
#include "tags/selectionread.h"

namespace {

const char* const showUsage = "show [--json] FILE...";

bool ShowsText(const FrameInfo& frame) {
    // Encrypted or otherwise undecodable text frames hold no readable text.
    return frame.IsTextFrame() && !frame.opaque;
}

// Values stay separated by 0 units; terminators are dropped.
QStringView ShownText(const FrameInfo& frame) {
    QStringView text = frame.text;
    while (text.endsWith(QChar(0)))
        text.chop(1);
    return text;
}

// One file as an element of the printed array. The keys are those of
// earlier versions, in the same (sorted) order.
QByteArray AsJson(const QString& path, const TagInfo& tag, const SelectionRead& read) {
    JsonWriter json(1);
    json.beginObject();
    if (!read.ok)
        json.key("error").string(read.failure);
    json.key("fields");
    WriteFieldValues(json, read.inputs);
    json.key("frames").beginArray();
    if (read.ok) {
        for (const FrameInfo& frame : tag.frames) {
            if (frame.IsPseudoFrame())
                continue;
            json.beginObject();
            json.key("id").string(QLatin1StringView(frame.id));
            if (ShowsText(frame))
                json.key("text").string(ShownText(frame));
            else
                json.key("size").number(frame.WrittenBodySize());
            json.endObject();
        }
    }
    json.endArray();
    json.key("hasV1").boolean(tag.hasV1);
    json.key("hasV2").boolean(tag.hasV2);
    json.key("ok").boolean(read.ok);
    json.key("path").string(path);
    json.key("tagSize").number(tag.tagSize);
    json.key("version").number(tag.hasV2 ? tag.version : 0);
    json.endObject();
    return json.take();
}

QByteArray AsText(const QString& path, const TagInfo& tag, const SelectionRead& read) {
    QString out = OneLine(path) + u'\n';
    if (!read.ok)
        return printableBytes(out + QStringLiteral("  error: ") + OneLine(read.failure) + u'\n');
    out += QStringLiteral("  ID3v2: ") +
           (tag.hasV2 ? QStringLiteral("2.%1, %2 bytes").arg(tag.version).arg(tag.tagSize)
                      : QStringLiteral("none")) +
           QStringLiteral("; ID3v1: ") +
           (tag.hasV1 ? QStringLiteral("yes") : QStringLiteral("no")) + u'\n';
    for (int f = 0; f < FieldCount; ++f)
        out += QStringLiteral("  ") + fieldKey(f) + QStringLiteral(": ") + OneLine(read.inputs[f]) +
               u'\n';
    for (const FrameInfo& frame : tag.frames) {
        if (frame.IsPseudoFrame())
            continue;
        out += QStringLiteral("  [") + QLatin1StringView(frame.id) + QStringLiteral("] ");
        if (ShowsText(frame))
            out += OneLine(ShownText(frame).toString().replace(QChar(0), QLatin1Char('/'))) + u'\n';
        else
            out += QString::number(frame.WrittenBodySize()) + QStringLiteral(" bytes\n");
    }
    return printableBytes(out); // file names as their bytes
}

// One file's output, made on a reading thread.
struct Shown {
    bool ok = false;
    QByteArray out;
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

    // Files are read a few at a time; each result is printed, in the order
    // given, as soon as it is known.
    const QString workingFolder = WorkingFolder();
    JsonArrayOut array;
    bool allOk = true;
    ProduceInOrder<Shown>(
        int(files.size()),
        [&](int i) {
            const QString path = AbsolutePath(files[i], workingFolder);
            TagInfo tag;
            const SelectionRead read = ReadSelection(tag, path);
            return Shown{read.ok, json ? AsJson(path, tag, read) : AsText(path, tag, read)};
        },
        [&](int, Shown&& shown) {
            allOk = allOk && shown.ok;
            if (json)
                array.add(shown.out);
            else
                PrintOut(shown.out);
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
