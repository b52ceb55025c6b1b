#include "parseinputs.h"

#include "transform/tokenize.h"

namespace {

enum class FieldParse { Done, Duplicate };

FieldParse parseField(int field, const QString& input, const TokenList& tokens, bool showMessages,
                      CodeMap& codes, const MessageSink& sink) {
    QStringView rest(input);
    for (qsizetype i = 0; i < tokens.size(); ++i) {
        const QString& token = tokens[i];
        if (!IsCodeToken(token)) {
            // A leading literal must open the input; later ones were consumed
            // by the code before them.
            if (i == 0) {
                if (!rest.startsWith(token))
                    return FieldParse::Done;
                rest = rest.mid(token.size());
            }
            continue;
        }
        QStringView value = rest;
        if (i + 1 < tokens.size()) {
            // Shortest match: the code ends at the first occurrence of the next literal.
            const QString& literal = tokens[i + 1];
            const qsizetype at = rest.indexOf(literal);
            if (at < 0)
                return FieldParse::Done;
            value = rest.left(at);
            rest = rest.mid(at + literal.size());
        }
        if (!IsRepeatableCode(token) && codes.contains(token)) {
            ReportMessage(showMessages, sink,
                          token + QStringLiteral(" is created from multiple input fields"));
            return FieldParse::Duplicate;
        }
        codes.insert(token, CodeEntry{value.toString(), field});
    }
    return FieldParse::Done;
}

} // namespace

bool ParseInputs(const FieldValues& inputs, const FieldValues& parseFormats, bool showMessages,
                 CodeMap& codes, const MessageSink& sink) {
    for (int field = 0; field < FieldCount; ++field) {
        TokenList tokens;
        Tokenize(parseFormats[field], tokens, showMessages, sink);
        if (parseField(field, inputs[field], tokens, showMessages, codes, sink) ==
            FieldParse::Duplicate)
            return false;
    }
    return true;
}
