#include "normalizevalues.h"

#include "profiles/profile.h"
#include "transform/asciionly.h"
#include "transform/casechange.h"
#include "transform/separator.h"
#include "transform/splitwords.h"
#include "transform/tracknumber.h"

namespace {

bool keptAsParsed(const QString& code) {
    return code == QLatin1String("%G") || code == QLatin1String("%L") ||
           code == QLatin1String("%Y");
}

QString normalizeWords(const QString& value, const TransformOptions& options,
                       const QString& separator) {
    const QString converted = options.ansi != 0 ? ToAsciiOnly(value) : value;
    if (options.caseMode == CaseKeep)
        return converted;
    const QStringList words = SplitWords(converted);
    QString joined;
    for (qsizetype i = 0; i < words.size(); ++i) {
        if (i > 0)
            joined += separator;
        joined += ChangeCase(words[i], options.caseMode);
    }
    return joined;
}

} // namespace

void NormalizeValues(CodeMap& codes, const TransformOptions& options) {
    const QString separator = ResolveSeparator(options.separator);
    for (auto it = codes.begin(); it != codes.end(); ++it) {
        const QString& code = it.key();
        QString& value = it.value().value;
        if (code == QLatin1String("%#"))
            value = FormatTrackNumber(value);
        else if (!keptAsParsed(code))
            value = normalizeWords(value, options, separator);
    }
}
