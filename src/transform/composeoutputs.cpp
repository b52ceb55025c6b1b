#include "composeoutputs.h"

#include "transform/locationpieces.h"
#include "transform/removecharacters.h"
#include "transform/tokenize.h"

namespace {

// A lone U+DC80..U+DCFF stands for a byte of a path that is no UTF-8, and
// goes back to the file system as that byte. Tag text holds one only when
// its own encoding was broken: in a name it shows as U+FFFD instead.
QString withoutByteEscapes(QString text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 0xDC80 && c <= 0xDCFF && !(i > 0 && text[i - 1].isHighSurrogate()))
            text[i] = QChar(QChar::ReplacementCharacter);
    }
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
                                      ? withoutByteEscapes(found->value)
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
