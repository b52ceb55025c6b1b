#include "window/formathelp.h"

#include "transform/fields.h"

#include <QStringList>

QString formatHelp(int page) {
    if (page != RowParse && page != RowCreate)
        return {};
    // What the codes of the default profile hold; a note where the name
    // alone would not say it.
    static const char* const notes[FieldCount] = {
        "the folder", "the file name without extension",
        nullptr,      nullptr,
        nullptr,      nullptr,
        nullptr,      "two digits",
    };
    QStringList lines;
    lines.append(page == RowParse
                     ? QStringLiteral("Cuts this field's input into parts; the text between "
                                      "codes must stand in the input:")
                     : QStringLiteral("Puts this field's output together from the parts and "
                                      "text:"));
    for (int f = 0; f < FieldCount; ++f) {
        QString line = fieldCode(f) + QStringLiteral("  ") + fieldKey(f);
        if (notes[f])
            line += QStringLiteral(" (%1)").arg(QLatin1String(notes[f]));
        lines.append(line);
    }
    lines.append(QStringLiteral("%C  any other part; may be parsed more than once, the last "
                                "one counts"));
    lines.append(QStringLiteral("Example: \"%# - %A - %T\" for \"03 - Artist - Title\""));
    return lines.join(QLatin1Char('\n'));
}
