#pragma once

#include <QHash>
#include <QString>

// A code's value in one run, with the field it was parsed from, so that
// composition can tell a value of the Location input from tag or file-name
// text that lands in the Location output.
struct CodeEntry {
    QString value;
    int source = -1;
};

// Code ("%A") to value, exact and case-sensitive keys; lives for one run.
using CodeMap = QHash<QString, CodeEntry>;

// "%C" may be parsed more than once; every other code at most once per run.
inline bool IsRepeatableCode(const QString& code) {
    return code == QLatin1String("%C");
}
