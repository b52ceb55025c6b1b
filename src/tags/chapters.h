#pragma once

#include <QByteArray>

// A chapter (CHAP: element id, a 0 byte, start and end time, start and end
// offset, 4 bytes each) or a table of contents (CTOC: element id, a 0 byte,
// a flags byte, a count, that many 0-terminated child element ids), then
// frames of its own.
bool IsChapterId(const char* id);

// The body of a version 2.4 chapter or table of contents with its own frames
// converted as the tag's frames are: plain sizes, version 3 flags and
// encodings 0 and 1, so that version 3 readers find them. The body comes
// back as it was when one of those frames cannot be read (or is itself a
// chapter), rather than losing it.
QByteArray ChapterBodyInV23Form(const char* id, const QByteArray& body, qint64* inflateBudget);
