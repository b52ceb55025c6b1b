#pragma once

#include "transform/codemap.h"
#include "transform/fields.h"
#include "transform/messagesink.h"

// Composes the eight outputs from the create formats and the normalised map,
// fields in Field order, and cleans the Location and Filename outputs. A code
// the map lacks stops it with false: earlier outputs are complete, this
// field's output holds what was appended so far, later outputs are untouched.
bool ComposeOutputs(const CodeMap& codes, const FieldValues& createFormats, FieldValues& outputs,
                    bool showMessages, const MessageSink& sink = {});
