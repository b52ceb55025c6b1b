#pragma once

#include <QByteArray>

// The version 3 id of a version 2.2 frame id ("TT2" -> "TIT2"); empty when
// version 3 has no counterpart.
QByteArray MapV22Id(const QByteArray& id);
// A v2.2 picture body (encoding, 3-letter image format, type, description,
// data) as an APIC body with the format turned into a MIME type.
QByteArray PicToApicBody(const QByteArray& body);
