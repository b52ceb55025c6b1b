#pragma once

#include <QString>

// Changes the case of one word by case mode (0 title, 1 lower, 2 upper; any
// other value acts as 0). Every letter with a one-to-one upper or lower
// form changes ("é" and "É", "σ" and "Σ"); one whose form would take more
// characters ("ß", whose upper case is "SS") keeps its case, and so does
// every character without case.
QString ChangeCase(const QString& word, int caseMode);
