#pragma once

#include <QByteArray>

// The version 3 id of a version 2.2 frame id ("TT2" -> "TIT2"); empty when
// version 3 has no counterpart.
QByteArray MapV22Id(const QByteArray& id);
// A v2.2 picture body (encoding, 3-letter image format, type, description,
// data) as an APIC body with the format turned into a MIME type.
QByteArray PicToApicBody(const QByteArray& body);
// A v2.2 link body (the 3-letter id of the linked frame, URL, ID data) as a
// LINK body, which names the frame by its 4-letter id; empty when the
// linked frame has no version 3 counterpart.
QByteArray LnkToLinkBody(const QByteArray& body);
