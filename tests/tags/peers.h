#pragma once

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>

// Programs nobody here wrote, used as peers: mutagen (Debian's, through
// /usr/bin/python3) and ffmpeg.
namespace peers {

struct Run {
    int status = -1;
    QByteArray out, err;
};

inline Run Execute(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Run run;
    if (!p.waitForFinished(120000))
        return run;
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

inline QString MutagenScript() {
    return QStringLiteral(QUORVEL_SOURCE_DIR "/tests/tags/mutagen_peer.py");
}

inline bool MutagenTag(const QString& path, int version, int encoding, int coverBytes) {
    return Execute("/usr/bin/python3", {MutagenScript(), "tag", path, QString::number(version),
                                        QString::number(encoding), QString::number(coverBytes)})
               .status == 0;
}

// Tags the file as other programs make one of the quirks that
// mutagen_peer.py names ("itunes-comments", "multi-values").
inline bool MutagenQuirk(const QString& path, const QString& name) {
    return Execute("/usr/bin/python3", {MutagenScript(), "quirk", path, name}).status == 0;
}

// What mutagen reads: frame key -> values; empty on failure.
inline QJsonObject MutagenDump(const QString& path) {
    const Run run = Execute("/usr/bin/python3", {MutagenScript(), "dump", path});
    return run.status == 0 ? QJsonDocument::fromJson(run.out).object() : QJsonObject();
}

// ffprobe finds an MP3 audio stream and ffmpeg decodes it, neither of them
// reporting any error.
inline bool AudioDecodesCleanly(const QString& path, QByteArray* errors) {
    const Run probe = Execute("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries",
                                          "stream=codec_name", "-of", "csv=p=0", path});
    const Run decode = Execute(
        "ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-map", "0:a", "-f", "null", "-"});
    *errors = probe.err + decode.err;
    return probe.status == 0 && probe.out.trimmed() == "mp3" && decode.status == 0 &&
           errors->trimmed().isEmpty();
}

} // namespace peers
