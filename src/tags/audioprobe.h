#pragma once

#include "tags/audiocontent.h"

#include <QString>

// Whether the file at path holds MPEG audio, judged as TagInfo::Read judges
// it (JudgeAudioContent on the bytes after the ID3v2 region, up to an ID3v1
// block) but from the fewest bytes: the ten header bytes, AudioProbeSize
// bytes after the tag and three bytes where an ID3v1 block would begin. No
// frame is parsed. The file is opened without blocking and read only when
// it is a regular file, so a FIFO or a device never stalls the caller. Safe
// on any thread. When mpeg is false, kind says why: "cannot open file",
// "not a regular file", "tag refused" (a header whose tag size cannot be
// taken) or what the bytes are.
AudioContent ProbeAudioFile(const QString& path);

// Where the audio begins when more ID3v2 tags follow the one at the start
// (taggers that put a new tag in front of an old one): past each whole one,
// a few at most, up to audioEnd. known holds the file's bytes from
// audioStart on, as far as they were read; the file is read only where
// another tag begins beyond them.
qint64 AudioStartPastTags(int fd, qint64 audioStart, qint64 audioEnd, QByteArrayView known);
