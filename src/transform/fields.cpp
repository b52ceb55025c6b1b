#include "fields.h"

namespace {
constexpr std::array<const char*, FieldCount> keys = {"Location", "Filename", "Artist", "Title",
                                                      "Album",    "Genre",    "Year",   "Track"};
constexpr std::array<const char*, FieldCount> codes = {"%L", "%F", "%A", "%T",
                                                       "%B", "%G", "%Y", "%#"};
} // namespace

QString fieldKey(int field) {
    return field >= 0 && field < FieldCount ? QString::fromLatin1(keys[field]) : QString();
}

QString fieldCode(int field) {
    return field >= 0 && field < FieldCount ? QString::fromLatin1(codes[field]) : QString();
}

int fieldFromKey(const QString& key) {
    for (int f = 0; f < FieldCount; ++f) {
        if (key.compare(QLatin1String(keys[f]), Qt::CaseInsensitive) == 0)
            return f;
    }
    return -1;
}
