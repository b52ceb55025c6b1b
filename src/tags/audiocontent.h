#pragma once

#include <QByteArrayView>
#include <QString>

// What a file holds after its ID3v2 region, judged by its bytes and never by
// its name: an ID3v2 tag written in front of a FLAC stream, a picture or an
// archive ruins it, and renaming it to ".mp3" hides what it was.
struct AudioContent {
    bool mpeg = false;
    // What the bytes are instead ("FLAC audio", "a PNG image", ...), or why
    // they are not taken for MPEG audio; empty when mpeg is set.
    QString kind;
};

// How many bytes after the ID3v2 region JudgeAudioContent looks at: enough
// to pass the zeros some taggers leave after a tag and still see the frame
// that follows the first one (an MPEG frame is under 3,000 bytes).
inline constexpr qsizetype AudioProbeSize = 16384;

// Judges the bytes that follow the ID3v2 region (up to AudioProbeSize of
// them; fewer when the file ends sooner). MPEG audio needs a frame header
// there whose frame is followed by a second header, or ends the bytes given
// when they are the end of the file (atEnd).
AudioContent JudgeAudioContent(QByteArrayView bytes, bool atEnd);

// A file shorter than an ID3v2 header holds neither a tag nor audio; what
// it is, said so ("empty file") rather than as a refused tag.
inline constexpr qint64 ShortestTaggableFile = 10;
QString ShortFileKind(qint64 fileSize);
