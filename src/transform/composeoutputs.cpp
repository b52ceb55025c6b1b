#include "composeoutputs.h"

#include "transform/locationpieces.h"
#include "transform/removecharacters.h"
#include "transform/tokenize.h"

bool ComposeOutputs(const CodeMap& codes, const FieldValues& createFormats, FieldValues& outputs,
                    bool showMessages, const MessageSink& sink) {
    for (int field = 0; field < FieldCount; ++field) {
        TokenList tokens;
        Tokenize(createFormats[field], tokens, showMessages, sink);
        QString& output = outputs[field];
        output.clear();
        QList<LocationPiece> pieces;
        for (const QString& token : tokens) {
            if (!IsCodeToken(token)) {
                output += token;
                pieces.append({token, false});
                continue;
            }
            const auto found = codes.constFind(token);
            if (found == codes.constEnd()) {
                ReportMessage(showMessages, sink,
                              createFormats[field] + QStringLiteral(" has invalid value ") + token);
                return false;
            }
            output += found->value;
            pieces.append({found->value, found->source != FieldLocation});
        }
        if (field == FieldLocation)
            output = JoinLocationPieces(pieces);
        else if (field == FieldFilename)
            RemoveCharacters(output, FilenameRemovedCharacters);
    }
    return true;
}
