#pragma once

#include <QStringList>

// The words of value, in order. Runs of space, "-" and "_" separate words and
// disappear; a word also ends where an upper-case letter follows a lower-case
// one, and where a letter follows neutral characters that opened the value or
// a separator ("4ever" gives "4" and "ever"). Surrogate pairs stay whole.
QStringList SplitWords(const QString& value);
