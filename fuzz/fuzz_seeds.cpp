// fuzz_seeds FOLDER: writes the seed corpora of the fuzz targets, made by the
// fixture builder: FOLDER/tag (MP3 files with tags of every shape, for the
// reader and the round trip) and FOLDER/transform (format and input sets).
#include "fixtures.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

using fixture::Frame;
using fixture::Tag;

QList<Frame> UsualFrames(int version, int encoding) {
    const bool v22 = version == 2;
    QList<Frame> frames = {
        {v22 ? "TP1" : "TPE1", fixture::TextBody(encoding, QStringLiteral(u"Zoë Keating"))},
        {v22 ? "TT2" : "TIT2", fixture::TextBody(encoding, QStringLiteral(u"Escape Artist"))},
        {v22 ? "TAL" : "TALB", fixture::TextBody(encoding, QStringLiteral("Into the Trees"))},
        {v22 ? "TCO" : "TCON", fixture::TextBody(encoding, QStringLiteral("(32)Classical"))},
        {v22 ? "TRK" : "TRCK", fixture::TextBody(encoding, QStringLiteral("3/11"))},
        {v22 ? "COM" : "COMM",
         fixture::CommentBody(encoding, "eng", QStringLiteral("note"), QStringLiteral(u"cello ♫"))},
    };
    if (version == 4)
        frames.append({"TDRC", fixture::TextBody(encoding, QStringLiteral("2010-05-01"))});
    else
        frames.append({v22 ? "TYE" : "TYER", fixture::TextBody(encoding, QStringLiteral("2010"))});
    if (!v22) {
        frames.append({"TXXX", fixture::UserTextBody(encoding, "mood", "calm")});
        frames.append({"APIC", fixture::PictureBody(encoding, "image/png", 3, "front",
                                                    fixture::ImageData(300))});
        frames.append({"PRIV", QByteArray("owner\0\x01\x02\xFF\xE0", 10)});
    } else {
        frames.append({"PIC", QByteArray("\0PNG\x03\0", 6) + fixture::ImageData(300)});
    }
    return frames;
}

int written = 0;

void Write(const QString& folder, const QString& name, const QByteArray& bytes) {
    if (fixture::WriteFile(folder + "/" + name, bytes))
        ++written;
    else
        std::fprintf(stderr, "fuzz_seeds: cannot write %s\n", qPrintable(name));
}

void TagSeeds(const QString& folder) {
    const fixture::V1 v1{"Title", "Artist", "Album", "1999", "comment", 7, 17};
    for (int version = 2; version <= 4; ++version) {
        const int encodings = version == 4 ? 4 : 2;
        for (int encoding = 0; encoding < encodings; ++encoding) {
            Tag tag;
            tag.version = version;
            tag.frames = UsualFrames(version, encoding);
            const QString stem = QString("v2%1-enc%2").arg(version).arg(encoding);
            Write(folder, stem + ".mp3", fixture::BuildFile(&tag, 2));
            tag.padding = 64;
            Write(folder, stem + "-padded-v1.mp3", fixture::BuildFile(&tag, 2, &v1));
            if (version > 2) {
                tag.unsync = true;
                Write(folder, stem + "-unsync.mp3", fixture::BuildFile(&tag, 1));
                tag.unsync = false;
                tag.extendedHeader = true;
                tag.footer = version == 4;
                Write(folder, stem + "-extended.mp3", fixture::BuildFile(&tag, 1));
            }
        }
    }
    Tag plain;
    plain.version = 4;
    plain.sizes = fixture::SizeForm::Plain;
    plain.frames = UsualFrames(4, 3);
    Write(folder, "v24-plain-sizes.mp3", fixture::BuildFile(&plain, 1));
    Tag flagged;
    flagged.frames = {{"TIT2", fixture::TextBody(0, "grouped"), 0x0020},
                      {"TPE1", QByteArray("\0\0\0\x10xcompressed", 15), 0x0080}};
    Write(folder, "v23-frame-flags.mp3", fixture::BuildFile(&flagged, 1));
    for (int version : {3, 4}) {
        Tag quirks;
        quirks.version = version;
        quirks.frames = {
            fixture::CompressedFrame(version, "TIT2", fixture::TextBody(1, QStringLiteral(u"Zïp"))),
            fixture::CompressedFrame(version, "COMM",
                                     fixture::CommentBody(0, "eng", "iTunNORM", " 0000021C")),
            {"COMM", fixture::CommentBody(1, "eng", "iTunes_CDDB_1", "7A0B1C2D")},
            {"COMM", fixture::CommentBody(0, QByteArray(3, '\0'), "", "zero language")},
            {"TCON", fixture::TextValuesBody(1, {"Rock", "Pop"})},
            {"TALB", QByteArray("\x81secret", 7), quint16(version == 4 ? 0x0004 : 0x0040)}};
        Write(folder, QString("v2%1-quirks.mp3").arg(version), fixture::BuildFile(&quirks, 1));
    }
    Tag beyond;
    beyond.frames = UsualFrames(3, 0);
    beyond.sizeBytes = QByteArray("\x00\x00\x7F\x7F", 4);
    Write(folder, "size-beyond-end.mp3", fixture::BuildFile(&beyond, 1));
    Write(folder, "v1-only.mp3", fixture::BuildFile(nullptr, 2, &v1));
    Write(folder, "no-tag.mp3", fixture::BuildFile(nullptr, 1));
}

void TransformSeeds(const QString& folder) {
    // Options byte, then separator, 8 inputs, 8 parse and 8 create formats.
    const QList<QStringList> sets = {
        {"SPACE",
         "/music/Incoming",
         "03 - the_river_band - HELP!",
         "",
         "",
         "Blue Sky Over Ålesund",
         "Hard_Rock",
         "1999",
         "",
         "%L",
         "%# - %A - %T",
         "",
         "",
         "%B",
         "%G",
         "%Y",
         "",
         "%L/%A/%B",
         "%# - %A - %T",
         "%A",
         "%T",
         "%B",
         "%G",
         "%Y",
         "%#"},
        {"_(underscore)",
         "/m",
         "x",
         "AC/DC",
         "../../etc",
         "..",
         "Ελληνικά",
         "２０２０",
         "12/14",
         "%L",
         "%F",
         "%A",
         "%T",
         "%B",
         "%G",
         "%Y",
         "%#",
         "%L/%A/%B",
         "%F",
         "%A",
         "%T",
         "%B",
         "%G",
         "%Y",
         "%#"},
        {"NONE", "/a", "b",  "A%C",   "Mr. Ünïcødé 🎵 song",
         "x",    "y",  "z",  "999",   "%L",
         "%C%%", "%C", "%T", "%%%",   "%G%Y",
         "%Y",   "%#", "%L", "%C %%", "%A",
         "%T",   "%B", "%G", "%Y",    "%02#"},
    };
    const uint8_t options[] = {0x10, 0x03, 0x17};
    for (int i = 0; i < sets.size(); ++i) {
        const QByteArray bytes = QByteArray(1, char(options[i])) + sets[i].join('\n').toUtf8();
        Write(folder, QString("set-%1.txt").arg(i + 1), bytes);
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    const QString root = QFile::decodeName(argv[1]);
    const QString tags = root + "/tag", transform = root + "/transform";
    if (!QDir().mkpath(tags) || !QDir().mkpath(transform)) {
        std::fprintf(stderr, "fuzz_seeds: cannot create %s\n", argv[1]);
        return 1;
    }
    TagSeeds(tags);
    TransformSeeds(transform);
    std::printf("%d seed files in %s\n", written, argv[1]);
    return 0;
}
