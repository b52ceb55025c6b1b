#include "tags/tagheader.h"

#include "tags/synchsafe.h"

bool ParseTagHeader(const QByteArray& bytes, TagHeader* header) {
    if (bytes.size() < 10 || !bytes.startsWith("ID3"))
        return false;
    header->major = static_cast<quint8>(bytes[3]);
    header->revision = static_cast<quint8>(bytes[4]);
    header->flags = static_cast<quint8>(bytes[5]);
    header->size = DecodeSynchsafe(bytes.constData() + 6);
    return true;
}
