#pragma once

#include <QString>

// Changes the case of one word by case mode (0 title, 1 lower, 2 upper; any
// other value acts as 0). Only the ASCII letters change; every other
// character keeps its case.
QString ChangeCase(const QString& word, int caseMode);
