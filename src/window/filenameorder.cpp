#include "window/filenameorder.h"

#include <QLocale>

QCollator fileNameCollator() {
    // The C locale collates by code points ("É" after "z", "10" before "2")
    // and its sort keys keep letter case; the root order that most
    // languages share fits a user who set no language better.
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English);
    QCollator collator(locale);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}
