#include "tags/taginfo.h"

#include <algorithm>
#include <cstring>

namespace {

// Ids of which a tag keeps one frame (COMM: one per language and
// descriptor), in the order they are compared.
const char* const singleInstanceIds[] = {"TALB", "TIT2", "TPE1", "TPE2",
                                         "TYER", "TCON", "COMM", "TRCK"};

bool IsSingleInstance(const FrameInfo& frame) {
    for (const char* id : singleInstanceIds) {
        if (std::strncmp(frame.id, id, 4) == 0)
            return true;
    }
    return false;
}

// A comment's text is three language units, the descriptor, a 0 unit and
// the comment. Two comments are one when language and descriptor are equal
// (their key); an ID3v1 comment has "eng" and an empty descriptor.

// Where the 0 unit that ends the descriptor stands; -1 when there is none.
qsizetype DescriptorEnd(const QString& text) {
    return text.size() < 3 ? -1 : text.indexOf(QChar(0), 3);
}

QStringView CommentKey(const QString& text) {
    const qsizetype end = DescriptorEnd(text);
    return end < 0 ? QStringView(text) : QStringView(text).left(end);
}

// A value that adds nothing: a comment without comment text (whatever its
// language bytes; nothing but 0 units after the descriptor), any other text
// that is empty or begins with a 0 unit. A comment text that begins with a
// 0 unit holds more after it (a second value, as mutagen writes and shows
// it), which a dropped frame would lose.
bool IsEmptyValue(const FrameInfo& frame) {
    if (frame.IsId("COMM")) {
        const QString& text = frame.text;
        const qsizetype end = DescriptorEnd(text);
        return end < 0 || std::all_of(text.cbegin() + end + 1, text.cend(),
                                      [](QChar c) { return c.isNull(); });
    }
    return frame.text.isEmpty() || frame.text[0] == QChar(0);
}

} // namespace

bool TagInfo::AddFrame(const FrameInfo& frame) {
    const bool comment = frame.IsId("COMM");
    // A comment that cannot be decoded has no language or descriptor to
    // compare: it is kept beside the others.
    if (!IsSingleInstance(frame) || (comment && frame.opaque)) {
        frames.push_back(frame);
        return true;
    }
    // A frame that cannot be decoded holds a value all the same.
    if (!frame.opaque && IsEmptyValue(frame))
        return false;
    const QStringView key = comment ? CommentKey(frame.text) : QStringView();
    frames.remove_if([&](const FrameInfo& f) {
        if (!f.IsId(frame.id))
            return false;
        return !comment || (!f.opaque && CommentKey(f.text) == key);
    });
    frames.push_back(frame);
    return true;
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
