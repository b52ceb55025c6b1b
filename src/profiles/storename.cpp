#include "storename.h"

#include <QCoreApplication>
#include <QFileInfo>

QString storeApplicationName(const QString& executablePath) {
    QString name = QFileInfo(executablePath).fileName();
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    const QLatin1String cliSuffix("-cli");
    // "-cli" alone would leave no name; keep it then rather than use the
    // company-wide file.
    if (name.endsWith(cliSuffix) && name.size() > cliSuffix.size())
        name.chop(cliSuffix.size());
    return name.isEmpty() ? QStringLiteral("quorvel") : name;
}

QString currentStoreApplicationName() {
    const QStringList args = QCoreApplication::arguments();
    return storeApplicationName(args.isEmpty() ? QString() : args.first());
}
