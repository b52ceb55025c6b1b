#include "tags/taginfo.h"

#include <cstring>

namespace {

// Ids of which a tag keeps one frame (COMM: one per language and
// descriptor start), in the order they are compared.
const char* const singleInstanceIds[] = {"TALB", "TIT2", "TPE1", "TPE2",
                                         "TYER", "TCON", "COMM", "TRCK"};

bool IsSingleInstance(const FrameInfo& frame) {
    for (const char* id : singleInstanceIds) {
        if (std::strncmp(frame.id, id, 4) == 0)
            return true;
    }
    return false;
}

// The language and the first descriptor unit; missing units count as 0.
bool SameCommentKey(const QString& a, const QString& b) {
    for (int i = 0; i < 4; ++i) {
        const QChar ca = i < a.size() ? a[i] : QChar(0);
        const QChar cb = i < b.size() ? b[i] : QChar(0);
        if (ca != cb)
            return false;
    }
    return true;
}

} // namespace

void TagInfo::AddFrame(const FrameInfo& frame) {
    if (!IsSingleInstance(frame)) {
        frames.push_back(frame);
        return;
    }
    if (frame.text.isEmpty() || frame.text[0] == QChar(0))
        return;
    const bool comment = frame.IsId("COMM");
    frames.remove_if([&](const FrameInfo& f) {
        return f.IsId(frame.id) && (!comment || SameCommentKey(f.text, frame.text));
    });
    frames.push_back(frame);
}

const FrameInfo* TagInfo::FindFrame(const char* id) const {
    for (const FrameInfo& f : frames) {
        if (f.IsId(id))
            return &f;
    }
    return nullptr;
}

QString TagInfo::FindFrame(const char* id, int* lengthOut) const {
    const FrameInfo* f = FindFrame(id);
    if (lengthOut)
        *lengthOut = f ? f->length() : 0;
    return f ? f->text : QString();
}

void TagInfo::SetFrameLatin1(const char* id, const char* bytes, int count) {
    if (!id || !*id || !bytes)
        return;
    if (count == -1)
        count = static_cast<int>(std::strlen(bytes));
    if (count <= 0)
        return;
    FrameInfo frame;
    frame.SetId(id);
    frame.SetLatin1(bytes, count);
    AddFrame(frame);
}

void TagInfo::SetFrameWide(const char* id, const char16_t* text, int count) {
    if (!id || !*id || !text)
        return;
    if (count == -1)
        count = static_cast<int>(std::char_traits<char16_t>::length(text));
    if (count <= 0)
        return;
    FrameInfo frame;
    frame.SetId(id);
    frame.SetWide(text, count);
    AddFrame(frame);
}

void TagInfo::SetFrameWide(const char* id, const QString& text, int count) {
    if (count == -1) {
        const qsizetype zero = text.indexOf(QChar(0));
        count = static_cast<int>(zero < 0 ? text.size() : zero);
    }
    count = std::min(count, static_cast<int>(text.size()));
    SetFrameWide(id, reinterpret_cast<const char16_t*>(text.utf16()), count);
}

void TagInfo::Clear() {
    frames.clear();
    unparsed.clear();
}
