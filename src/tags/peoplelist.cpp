#include "tags/peoplelist.h"

#include "tags/framecontent.h"
#include "tags/latin1.h"
#include "tags/textcodec.h"

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

// The strings of a list, a person added to a role that has none.
std::optional<QStringList> PeopleOf(const FrameInfo& frame) {
    if (frame.opaque || !frame.hasRaw)
        return std::nullopt;
    const std::optional<QByteArray> content = FrameContent(frame.raw, frame.flags);
    if (!content || content->isEmpty())
        return std::nullopt;
    const int encoding = static_cast<quint8>(content->at(0));
    if (encoding > EncodingUtf8)
        return std::nullopt;
    QStringList strings = DecodeTextValues(encoding, content->mid(1));
    if (strings.size() % 2)
        strings << QString();
    return strings;
}

// Latin-1 when every string fits, else each string in UTF-16 with its mark.
QByteArray PeopleListBody(const QStringList& strings) {
    QByteArray latin1(1, char(EncodingLatin1));
    bool allFit = true;
    for (const QString& s : strings) {
        bool fits = false;
        latin1 += WideToLatin1(s, &fits) + '\0';
        allFit = allFit && fits;
    }
    if (allFit)
        return latin1;
    QByteArray utf16(1, char(EncodingUtf16));
    for (const QString& s : strings)
        utf16 += EncodeUtf16WithMark(s) + QByteArray(2, '\0');
    return utf16;
}

} // namespace

bool IsV24PeopleListId(const char* id) {
    return std::strcmp(id, "TIPL") == 0 || std::strcmp(id, "TMCL") == 0;
}

bool JoinPeopleList(std::list<FrameInfo>& frames, const FrameInfo& more) {
    const auto list = std::find_if(frames.begin(), frames.end(),
                                   [](const FrameInfo& f) { return f.IsId("IPLS"); });
    if (list == frames.end())
        return false;
    const std::optional<QStringList> first = PeopleOf(*list), second = PeopleOf(more);
    if (!first || !second)
        return false;
    const QStringList strings = *first + *second;
    list->SetBody(PeopleListBody(strings));
    return true;
}
