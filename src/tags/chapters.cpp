#include "tags/chapters.h"

#include "tags/frameinfo.h"
#include "tags/framelayout.h"
#include "tags/v24frames.h"

#include <cstring>
#include <vector>

namespace {

// Where the embedded frames begin, or -1 when the fields before them run
// past the body.
qsizetype EmbeddedFramesStart(const char* id, const QByteArray& body) {
    qsizetype pos = body.indexOf('\0');
    if (pos < 0)
        return -1;
    ++pos;
    if (std::strcmp(id, "CHAP") == 0)
        return pos + 16 <= body.size() ? pos + 16 : -1;
    if (pos + 2 > body.size())
        return -1;
    int children = static_cast<quint8>(body[pos + 1]);
    pos += 2;
    for (; children > 0; --children) {
        pos = body.indexOf('\0', pos);
        if (pos < 0)
            return -1;
        ++pos;
    }
    return pos;
}

} // namespace

bool IsChapterId(const char* id) {
    return std::memcmp(id, "CHAP", 4) == 0 || std::memcmp(id, "CTOC", 4) == 0;
}

QByteArray ChapterBodyInV23Form(const char* id, const QByteArray& body, qint64* inflateBudget) {
    const qsizetype start = EmbeddedFramesStart(id, body);
    if (start < 0)
        return body;
    const FrameLayout layout = ChooseFrameLayout(4, body, start);
    QByteArray out = body.left(start);
    qsizetype pos = start;
    while (pos < body.size() && body[pos] != '\0') {
        // Chapters are not nested; converting nested ones would have no end.
        if (pos + 4 <= body.size() && IsChapterId(body.constData() + pos))
            return body;
        FrameInfo frame;
        const qint64 taken = frame.ReadFrame(body, pos, layout, false, inflateBudget);
        if (taken < 0)
            return body;
        pos += taken;
        std::vector<FrameInfo> replacement;
        if (!ConvertV24OnlyFrame(frame, replacement))
            replacement.push_back(frame);
        for (const FrameInfo& f : replacement) {
            if (f.WriteFrame(out) == 0)
                return body;
        }
    }
    return out;
}
