#include "tags/unsync.h"

QByteArray RemoveUnsynchronisation(const QByteArray& data) {
    QByteArray out;
    out.reserve(data.size());
    for (qsizetype i = 0; i < data.size(); ++i) {
        out.append(data[i]);
        if (static_cast<quint8>(data[i]) == 0xFF && i + 1 < data.size() && data[i + 1] == '\0')
            ++i;
    }
    return out;
}
