#include "locationpieces.h"

#include "transform/removecharacters.h"

#include <algorithm>
#include <vector>

namespace {

bool isDotComponent(QStringView component) {
    return component == u"." || component == u"..";
}

} // namespace

QString JoinLocationPieces(const QList<LocationPiece>& pieces) {
    QString joined;
    std::vector<bool> foreign;           // per UTF-16 unit of joined
    std::vector<qsizetype> emptyForeign; // where a value from another field added nothing
    for (const LocationPiece& piece : pieces) {
        QString text = piece.text;
        RemoveCharacters(text, LocationRemovedCharacters);
        if (piece.fromOtherField)
            RemoveCharacters(text, u"/");
        if (piece.fromOtherField && text.isEmpty())
            emptyForeign.push_back(joined.size());
        joined += text;
        foreign.insert(foreign.end(), size_t(text.size()), piece.fromOtherField);
    }

    QString result;
    result.reserve(joined.size());
    qsizetype start = 0;
    while (start <= joined.size()) {
        qsizetype end = joined.indexOf(QLatin1Char('/'), start);
        if (end < 0)
            end = joined.size();
        const QStringView component = QStringView(joined).mid(start, end - start);
        // An empty value touches the component it stands in: "%A.." with no
        // artist is no climb either.
        const bool touched =
            std::any_of(foreign.begin() + start, foreign.begin() + end, [](bool b) { return b; }) ||
            std::any_of(emptyForeign.begin(), emptyForeign.end(),
                        [&](qsizetype at) { return at >= start && at <= end; });
        if (!(touched && isDotComponent(component)))
            result += component;
        if (end < joined.size())
            result += QLatin1Char('/');
        start = end + 1;
    }
    // A Location that begins with a value from another field (once the
    // characters no folder path holds are gone) is relative: an empty or
    // dropped value must not leave the format's "/" at its start.
    if ((!foreign.empty() && foreign.front()) ||
        (!emptyForeign.empty() && emptyForeign.front() == 0)) {
        qsizetype lead = 0;
        while (lead < result.size() && result.at(lead) == u'/')
            ++lead;
        result.remove(0, lead);
    }
    return result;
}
