// quorvel-fixture: writes N MP3 files with a given tag shape, for benchmarks.
#include "fixtures.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes COUNT MP3 files (silent audio, an ID3v2 tag) into FOLDER.");
    parser.addHelpOption();
    parser.addPositionalArgument("FOLDER", "where the files go (created when missing)");
    parser.addPositionalArgument("COUNT", "how many files");
    parser.addOption({"tag-version", "ID3v2 version 2, 3 or 4 (default 3)", "N", "3"});
    parser.addOption({"cover", "APIC picture size in bytes (default 0: none)", "BYTES", "0"});
    parser.addOption({"padding", "padding bytes after the frames (default 0)", "BYTES", "0"});
    parser.addOption({"audio-frames", "MPEG frames of audio (default 240)", "N", "240"});
    parser.addOption({"v1", "append an ID3v1.1 block"});
    parser.addOption(
        {"name", "file names: TEXT then the number (default \"fixture-\")", "TEXT", "fixture-"});
    parser.process(app);

    QTextStream err(stderr);
    const QStringList args = parser.positionalArguments();
    bool countOk = false, versionOk = false, coverOk = false, padOk = false, audioOk = false;
    const int count = args.value(1).toInt(&countOk);
    const int version = parser.value("tag-version").toInt(&versionOk);
    const int cover = parser.value("cover").toInt(&coverOk);
    const int padding = parser.value("padding").toInt(&padOk);
    const int audio = parser.value("audio-frames").toInt(&audioOk);
    if (args.size() != 2 || !countOk || count < 0 || !versionOk || version < 2 || version > 4 ||
        !coverOk || cover < 0 || !padOk || padding < 0 || !audioOk || audio < 1) {
        err << "quorvel-fixture: bad arguments (see --help)\n";
        return 2;
    }
    if (!QDir().mkpath(args[0])) {
        err << "quorvel-fixture: cannot create " << args[0] << "\n";
        return 1;
    }
    const bool v22 = version == 2;
    for (int i = 0; i < count; ++i) {
        fixture::Tag tag;
        tag.version = version;
        tag.padding = padding;
        const QString n = QString::number(i + 1);
        tag.frames = {
            {v22 ? "TP1" : "TPE1", fixture::TextBody(0, "Artist " + n)},
            {v22 ? "TT2" : "TIT2", fixture::TextBody(1, "Title " + n)},
            {v22 ? "TAL" : "TALB", fixture::TextBody(0, "Album")},
            {v22 ? "TRK" : "TRCK", fixture::TextBody(0, n)},
        };
        if (cover > 0) {
            const QByteArray body =
                v22 ? QByteArray("\0JPG\x03\0", 6) + fixture::ImageData(cover)
                    : fixture::PictureBody(0, "image/jpeg", 3, "", fixture::ImageData(cover));
            tag.frames.append({v22 ? "PIC" : "APIC", body});
        }
        fixture::V1 v1{"Title " + n.toLatin1(), "Artist", "Album", "2001", "", i % 256, 17};
        const QByteArray bytes =
            fixture::BuildFile(&tag, audio, parser.isSet("v1") ? &v1 : nullptr);
        const QString path = QDir(args[0]).filePath(
            parser.value("name") + QString("%1.mp3").arg(i + 1, 5, 10, QChar('0')));
        if (!fixture::WriteFile(path, bytes)) {
            err << "quorvel-fixture: cannot write " << path << "\n";
            return 1;
        }
    }
    return 0;
}
