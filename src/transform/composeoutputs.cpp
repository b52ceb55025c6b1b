#include "composeoutputs.h"

#include "transform/locationpieces.h"
#include "transform/removecharacters.h"
#include "transform/tokenize.h"

namespace {

// Tag text as part of a folder or file name. A lone U+DC80..U+DCFF stands
// for a byte of a path that is no UTF-8, and goes back to the file system as
// that byte; other lone surrogates name no file. Tag text holds them only
// when its own encoding was broken: in a name they show as U+FFFD instead.
// Control characters (a line break, a terminal escape) are dropped: in a
// name they would break the listings and scripts that meet it.
QString asNamePart(QString text) {
    const QString given = text;
    for (qsizetype i = 0; i < given.size(); ++i) {
        const bool pairedHigh =
            given[i].isHighSurrogate() && i + 1 < given.size() && given[i + 1].isLowSurrogate();
        const bool pairedLow = given[i].isLowSurrogate() && i > 0 && given[i - 1].isHighSurrogate();
        if (given[i].isSurrogate() && !pairedHigh && !pairedLow)
            text[i] = QChar(QChar::ReplacementCharacter);
    }
    text.removeIf([](QChar c) { return c.category() == QChar::Other_Control; });
    return text;
}

bool isPathField(int field) {
    return field == FieldLocation || field == FieldFilename;
}

} // namespace

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
            const QString value = isPathField(field) && !isPathField(found->source)
                                      ? asNamePart(found->value)
                                      : found->value;
            output += value;
            pieces.append({value, found->source != FieldLocation});
        }
        if (field == FieldLocation)
            output = JoinLocationPieces(pieces);
        else if (field == FieldFilename)
            RemoveCharacters(output, FilenameRemovedCharacters);
    }
    return true;
}
