#include "tags/framecontent.h"

#include "tags/frameinfo.h"
#include "tags/synchsafe.h"
#include "tags/zlibinflate.h"

#include <algorithm>

std::optional<QByteArray> FrameContent(const QByteArray& body, quint16 flags, qint64 limit) {
    if (flags & FrameFlagEncrypted)
        return std::nullopt;
    const bool compressed = flags & FrameFlagCompressed;
    const qsizetype prefix = (compressed ? 4 : 0) + ((flags & FrameFlagGrouped) ? 1 : 0);
    if (body.size() < prefix)
        return std::nullopt;
    const QByteArray data = prefix ? body.mid(prefix) : body;
    if (!compressed)
        return data;
    const qint64 declared = DecodeBigEndian(body.constData(), 4);
    return InflateZlib(data, std::min({declared, limit, qint64(MaxInflatedFrameSize)}));
}
