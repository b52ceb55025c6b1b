#pragma once

#include "transform/codemap.h"
#include "transform/transformoptions.h"

// Rewrites every value of the map in place: the track "%#" as two digits,
// "%G", "%L" and "%Y" left as parsed, every other code converted to ASCII
// (when the option says so), split into words, recased and joined with the
// separator (unless the case mode keeps the original).
void NormalizeValues(CodeMap& codes, const TransformOptions& options);
