#pragma once

#include <QByteArray>
#include <QtGlobal>

// Integers of the ID3v2 headers: synchsafe (four 7-bit groups, most
// significant first) and plain big-endian.

// 0 to 268,435,455, or -1 when a byte has its top bit set.
qint32 DecodeSynchsafe(const char* bytes);
QByteArray EncodeSynchsafe(quint32 value);
quint32 DecodeBigEndian(const char* bytes, int width);
QByteArray EncodeBigEndian32(quint32 value);
