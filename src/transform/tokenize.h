#pragma once

#include "transform/messagesink.h"

#include <QStringList>

// The tokens of a format string: code tokens ("%" and one character) and
// literal tokens (non-empty text without "%"), never two of a kind in a row.
using TokenList = QStringList;

// Format strings longer than this take part with their first characters only.
constexpr qsizetype MaxFormatLength = 2047;

// Cuts format into tokens appended to the (empty) list. A format error ends
// the list early, with a message when showMessages is set; the caller goes on
// with what was built.
void Tokenize(const QString& format, TokenList& tokens, bool showMessages,
              const MessageSink& sink = {});

inline bool IsCodeToken(const QString& token) {
    return token.startsWith(QLatin1Char('%'));
}
