#pragma once

#include <QByteArray>

// Version 3 tags know only the encodings 0 and 1. Rewrites a body in UTF-16BE
// (2) or UTF-8 (3) as UTF-16 with a mark (1), for the frames whose layout is
// known; ok is false, and the body comes back unchanged, for the others.
QByteArray ReencodeToUtf16(const char* id, const QByteArray& body, bool* ok);
