#include "tags/audiocontent.h"

#include <array>

namespace {

struct Signature {
    qsizetype offset;
    QByteArrayView magic;
    const char* kind;
};

// Formats that turn up in music folders under an ".mp3" name.
constexpr std::array Signatures{
    Signature{0, "fLaC", "FLAC audio"},
    Signature{0, "OggS", "Ogg audio"},
    Signature{4, "ftyp", "MP4 audio or video"},
    Signature{0, "RIFF", "a RIFF file (WAV)"},
    Signature{0, "FORM", "an IFF file (AIFF)"},
    Signature{0, "MAC ", "Monkey's Audio"},
    Signature{0, "wvpk", "WavPack audio"},
    Signature{0, "0&\xB2u\x8E\x66\xCF\x11", "a Windows Media file"},
    Signature{0, "\x89PNG", "a PNG image"},
    Signature{0, "\xFF\xD8\xFF", "a JPEG image"},
    Signature{0, "GIF8", "a GIF image"},
    Signature{0, "BM", "a BMP image"},
    Signature{0, "%PDF", "a PDF document"},
    Signature{0, "PK\x03\x04", "a ZIP archive"},
    Signature{0, "Rar!", "a RAR archive"},
    Signature{0, "7z\xBC\xAF", "a 7z archive"},
    Signature{0, "\x1F\x8B", "a gzip archive"},
};

// Bit rates in kbit/s by [MPEG-1?][layer 1..3][index].
constexpr int BitRates[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};
constexpr int SampleRates[3] = {44100, 48000, 32000};

// The length of the MPEG audio frame whose header starts at p, or 0 when the
// four bytes are no valid header. Free-format frames (bit rate index 0) have
// no length to check and are not taken.
qsizetype FrameLength(const unsigned char* p) {
    if (p[0] != 0xFF || (p[1] & 0xE0) != 0xE0)
        return 0;
    const int version = (p[1] >> 3) & 3; // 0: 2.5, 2: 2, 3: 1
    const int layer = 4 - ((p[1] >> 1) & 3);
    const int rateIndex = p[2] >> 4;
    const int sampleIndex = (p[2] >> 2) & 3;
    if (version == 1 || layer == 4 || rateIndex == 0 || rateIndex == 15 || sampleIndex == 3)
        return 0;
    const bool mpeg1 = version == 3;
    const int bitRate = BitRates[mpeg1][layer - 1][rateIndex] * 1000;
    const int sampleRate = SampleRates[sampleIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const int padding = (p[2] >> 1) & 1;
    if (layer == 1)
        return (12 * bitRate / sampleRate + padding) * 4;
    const int perSample = layer == 3 && !mpeg1 ? 72 : 144;
    return perSample * bitRate / sampleRate + padding;
}

} // namespace

QString ShortFileKind(qint64 fileSize) {
    return fileSize == 0 ? QStringLiteral("empty file")
                         : QStringLiteral("%1 bytes in all").arg(fileSize);
}

AudioContent JudgeAudioContent(QByteArrayView bytes, bool atEnd) {
    for (const Signature& s : Signatures) {
        if (bytes.size() >= s.offset + s.magic.size() &&
            bytes.sliced(s.offset, s.magic.size()) == s.magic)
            return {false, QString::fromUtf8(s.kind)};
    }
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    for (qsizetype at = 0; at + 4 <= bytes.size(); ++at) {
        const qsizetype length = FrameLength(data + at);
        if (length == 0)
            continue;
        // The next header shows the first was no chance match; a single
        // frame that ends the file counts too.
        const qsizetype next = at + length;
        if (next + 4 <= bytes.size() ? FrameLength(data + next) != 0
                                     : atEnd && next == bytes.size())
            return {true, {}};
    }
    return {false, bytes.isEmpty() ? QStringLiteral("no audio after the tag")
                                   : QStringLiteral("no MPEG audio frame after the tag")};
}
