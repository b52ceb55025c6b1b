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
    std::vector<bool> foreign; // per UTF-16 unit of joined
    for (const LocationPiece& piece : pieces) {
        QString text = piece.text;
        RemoveCharacters(text, LocationRemovedCharacters);
        if (piece.fromOtherField)
            RemoveCharacters(text, u"/");
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
        const bool touched =
            std::any_of(foreign.begin() + start, foreign.begin() + end, [](bool b) { return b; });
        if (touched && isDotComponent(component)) {
            for (qsizetype i = start; i < end; ++i) {
                if (!foreign[size_t(i)])
                    result += joined.at(i);
            }
        } else {
            result += component;
        }
        if (end < joined.size())
            result += QLatin1Char('/');
        start = end + 1;
    }
    return result;
}
