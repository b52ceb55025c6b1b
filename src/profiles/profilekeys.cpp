#include "profilekeys.h"

#include <QCryptographicHash>

namespace {
const QChar encodedMark = QLatin1Char('~');
}

QString profileNameValue() {
    return QStringLiteral("ProfileName");
}

bool needsEncodedGroup(const QString& name) {
    // QSettings reads a group "general" back as "General", in any case:
    // the name of its own section for the values outside any group.
    return name.isEmpty() || name.size() > MaxPlainGroupLength || name.contains(QLatin1Char('/')) ||
           name.contains(QLatin1Char('\\')) || name.startsWith(encodedMark) ||
           name.compare(QLatin1String("general"), Qt::CaseInsensitive) == 0;
}

bool isEncodedGroup(const QString& group) {
    return group.startsWith(encodedMark);
}

QString groupNameFor(const QString& name) {
    if (!needsEncodedGroup(name))
        return name;
    // A digest keeps the group short whatever the name's length.
    const QByteArray digest =
        QCryptographicHash::hash(name.toCaseFolded().toUtf8(), QCryptographicHash::Sha1);
    return encodedMark + QString::fromLatin1(digest.toHex());
}
