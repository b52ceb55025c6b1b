#pragma once

#include <QtGlobal>

// How word splitting sees a character: letters and digits that are lower or
// upper case, the three word separators (space, "-", "_"), and everything else.
enum class CharClass { Lower, Upper, Separator, Neutral };

CharClass ClassifyCharacter(char32_t ucs4);
