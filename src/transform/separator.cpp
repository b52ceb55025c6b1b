#include "separator.h"

QString ResolveSeparator(const QString& separatorText) {
    if (separatorText == QLatin1String("SPACE"))
        return QStringLiteral(" ");
    if (separatorText == QLatin1String("NONE"))
        return QString();
    if (separatorText == QLatin1String("_(underscore)"))
        return QStringLiteral("_");
    if (separatorText == QLatin1String("-(dash)"))
        return QStringLiteral("-");
    return separatorText;
}
