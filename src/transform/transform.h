#pragma once

#include "transform/fields.h"
#include "transform/messagesink.h"
#include "transform/transformoptions.h"

// The transformation run: parses rows 0 to 2 of the grid (inputs, parse and
// create formats) into codes, normalises them under the options and writes
// the outputs into row 3. Returns false when a code is produced twice (row 3
// untouched) or a create format uses a code that was not parsed (row 3 as far
// as composition got). Messages go to sink when showMessages is set, and
// always while the "Output" page is current. The caller refreshes the
// "Output" page when it is current and the run succeeded.
bool Transform(FieldGrid& grid, const TransformOptions& options, bool showMessages,
               bool outputPageCurrent, const MessageSink& sink = {});
