#include "tokenize.h"

namespace {

// The cut never leaves half of a surrogate pair behind.
QStringView limitedFormat(const QString& format) {
    qsizetype length = qMin(format.size(), MaxFormatLength);
    if (length < format.size() && length > 0 && format.at(length - 1).isHighSurrogate() &&
        format.at(length).isLowSurrogate())
        --length;
    return QStringView(format).left(length);
}

// Length of the code character at i: a surrogate pair is one character.
qsizetype codeCharLength(QStringView text, qsizetype i) {
    if (i + 1 < text.size() && text.at(i).isHighSurrogate() && text.at(i + 1).isLowSurrogate())
        return 2;
    return 1;
}

} // namespace

void Tokenize(const QString& format, TokenList& tokens, bool showMessages,
              const MessageSink& sink) {
    const QStringView text = limitedFormat(format);
    qsizetype pos = 0;
    while (true) {
        const qsizetype percent = text.indexOf(QLatin1Char('%'), pos);
        if (percent < 0) {
            if (pos < text.size())
                tokens.append(text.mid(pos).toString());
            return;
        }
        // A space, a control character or the end of the text cannot be a code character.
        if (percent + 1 >= text.size() || text.at(percent + 1).unicode() <= 0x20) {
            ReportMessage(showMessages, sink,
                          QStringLiteral("Invalid format: ") + format +
                              QStringLiteral(" Need a character after % sign"));
            return;
        }
        if (percent > pos) {
            tokens.append(text.mid(pos, percent - pos).toString());
        } else if (pos > 0) {
            ReportMessage(showMessages, sink,
                          QStringLiteral("Invalid format: ") + format +
                              QStringLiteral(" Two format string together, cannot parse"));
            return;
        }
        const qsizetype codeLength = 1 + codeCharLength(text, percent + 1);
        tokens.append(text.mid(percent, codeLength).toString());
        pos = percent + codeLength;
    }
}
