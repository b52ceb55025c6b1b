#pragma once

#include "transform/codemap.h"
#include "transform/fields.h"
#include "transform/messagesink.h"

// Cuts each input value with its field's parse format into the (empty) map,
// fields in Field order. Returns false at once when a code other than "%C" is
// produced twice; the remaining fields are then not parsed.
bool ParseInputs(const FieldValues& inputs, const FieldValues& parseFormats, bool showMessages,
                 CodeMap& codes, const MessageSink& sink = {});
