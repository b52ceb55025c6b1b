#pragma once

#include "tags/taginfo.h"
#include "transform/fields.h"

struct SelectionRead {
    int result = -1;
    bool ok = false;
    // Why ok is false, in words ("cannot open file: Permission denied", "not MPEG audio (FLAC
    // audio)", ...); empty when ok.
    QString failure;
    FieldValues inputs;
};

// Reads the file's tags into tag (TagInfo::Read) and takes the eight Input
// values as the window does on selecting a file: the extension is cut from
// the file-name part, the path splits at its last "/" into Location and
// Filename (a file in "/" gives an empty Location), Artist is TPE1 else
// TPE2, Title TIT2, Album TALB, Genre TCON, Year TYER, Track TRCK, each up to
// its first 0 unit. ok is false (inputs empty) when Read fails, the path has
// no "/" or no MPEG audio follows the tag: such a file is no MP3 file to
// retag or rename, whatever its name says.
SelectionRead ReadSelection(TagInfo& tag, const QString& path);
// The same for a tag record already read from path, with the result of its
// read.
SelectionRead SelectionOf(const TagInfo& tag, int result, const QString& path);

// The failure text of a Read that returned result.
QString ReadFailure(const TagInfo& tag, int result);
