#include "tags/synchsafe.h"

qint32 DecodeSynchsafe(const char* bytes) {
    qint32 value = 0;
    for (int i = 0; i < 4; ++i) {
        const auto b = static_cast<quint8>(bytes[i]);
        if (b & 0x80)
            return -1;
        value = value * 128 + b;
    }
    return value;
}

QByteArray EncodeSynchsafe(quint32 value) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (21 - 7 * i)) & 0x7F);
    return out;
}

quint32 DecodeBigEndian(const char* bytes, int width) {
    quint32 value = 0;
    for (int i = 0; i < width; ++i)
        value = (value << 8) | static_cast<quint8>(bytes[i]);
    return value;
}

QByteArray EncodeBigEndian32(quint32 value) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (24 - 8 * i)) & 0xFF);
    return out;
}
