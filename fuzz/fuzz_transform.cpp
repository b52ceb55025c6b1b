// Tokenize, ParseInputs and Transform on arbitrary formats, inputs and
// options. The input's first byte holds the options; the rest splits at
// line feeds into the separator, the eight inputs, the eight parse formats
// and the eight create formats (missing ones take the field's own code).
#include "transform/fields.h"
#include "transform/parseinputs.h"
#include "transform/removecharacters.h"
#include "transform/tokenize.h"
#include "transform/transform.h"

#include <QList>

#include <cstdio>
#include <cstdlib>

namespace {

void Fail(const char* what, const QString& detail = {}) {
    std::fprintf(stderr, "transform: %s: %s\n", what, qPrintable(detail));
    std::abort();
}

bool HasLoneSurrogate(const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            return true;
    }
    return false;
}

// Code tokens are "%" and one character, literals are non-empty and hold no
// "%", no two literals stand together, and the tokens spell the start of the
// format.
void CheckTokens(const QString& format, const TokenList& tokens) {
    QString spelled;
    bool lastLiteral = false;
    for (const QString& token : tokens) {
        if (token.isEmpty())
            Fail("empty token", format);
        if (IsCodeToken(token)) {
            const bool pair =
                token.size() == 3 && token[1].isHighSurrogate() && token[2].isLowSurrogate();
            if (token.size() != 2 && !pair)
                Fail("code token of more than one character", format);
            lastLiteral = false;
        } else {
            if (token.contains(QLatin1Char('%')) || lastLiteral)
                Fail("bad literal token", format);
            lastLiteral = true;
        }
        spelled += token;
    }
    if (!format.startsWith(spelled))
        Fail("tokens do not spell the format", format);
}

QString Piece(const QList<QByteArray>& pieces, int index, bool utf16, const QString& fallback) {
    if (index >= pieces.size())
        return fallback;
    const QByteArray& bytes = pieces[index];
    if (utf16)
        return QString(reinterpret_cast<const QChar*>(bytes.constData()), bytes.size() / 2);
    return QString::fromUtf8(bytes);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    const uint8_t flags = data[0];
    const bool utf16 = flags & 0x20;
    const QList<QByteArray> pieces =
        QByteArray(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1)).split('\n');

    const TransformOptions options{flags & 1, (flags >> 1) & 7,
                                   Piece(pieces, 0, utf16, QStringLiteral("SPACE"))};
    FieldGrid grid;
    for (int field = 0; field < FieldCount; ++field) {
        grid[RowInput][field] = Piece(pieces, 1 + field, utf16, QString());
        grid[RowParse][field] = Piece(pieces, 9 + field, utf16, fieldCode(field));
        grid[RowCreate][field] = Piece(pieces, 17 + field, utf16, fieldCode(field));
    }
    bool wellFormed = true;
    for (int row = RowInput; row <= RowCreate; ++row) {
        for (const QString& value : grid[row])
            wellFormed = wellFormed && !HasLoneSurrogate(value);
    }
    wellFormed = wellFormed && !HasLoneSurrogate(options.separator);

    QStringList messages;
    const MessageSink sink = [&](const QString& m) { messages.append(m); };
    for (int row = RowParse; row <= RowCreate; ++row) {
        for (const QString& format : grid[row]) {
            TokenList tokens;
            Tokenize(format, tokens, true, sink);
            CheckTokens(format.left(MaxFormatLength), tokens);
        }
    }
    CodeMap codes;
    ParseInputs(grid[RowInput], grid[RowParse], true, codes, sink);

    if (Transform(grid, options, flags & 0x10, false, sink)) {
        if (grid[RowOutput][FieldFilename].contains(QLatin1Char('/')))
            Fail("a file name with a folder in it", grid[RowOutput][FieldFilename]);
        for (const QString& output : grid[RowOutput]) {
            if (wellFormed && HasLoneSurrogate(output))
                Fail("a character pair split", output);
        }
    }

    // Values from tags and the file name never steer the folder: with the
    // Location input kept as it is, the output stays below it (or, for a
    // Location of tag values alone, relative), one level per code at most,
    // with no "." or ".." level.
    for (const QString& format : {QStringLiteral("%L/%A/%B"), QStringLiteral("%A/%B")}) {
        const QString base = format.startsWith(u"%L") ? QStringLiteral("/music/in") : QString();
        FieldGrid hostile = grid;
        hostile[RowInput][FieldLocation] = QStringLiteral("/music/in");
        hostile[RowParse][FieldLocation] = QStringLiteral("%L");
        hostile[RowCreate][FieldLocation] = format;
        if (!Transform(hostile, options, false, false))
            continue;
        const QString location = hostile[RowOutput][FieldLocation];
        if (base.isEmpty() ? location.startsWith(QLatin1Char('/')) : !location.startsWith(base))
            Fail("the folder left the Location input", location);
        const QStringList levels =
            location.mid(base.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
        if (levels.size() > 2)
            Fail("a value added a folder level", location);
        for (const QString& level : levels) {
            if (level == QLatin1String(".") || level == QLatin1String(".."))
                Fail("a value formed a relative level", location);
        }
    }
    return 0;
}
