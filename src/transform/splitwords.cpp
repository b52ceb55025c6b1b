#include "splitwords.h"

#include "transform/charclass.h"

namespace {

// The classes a run can have: the character classes plus the class of the
// empty run at the start and the class of neutral text after a separator run.
enum class RunClass { Start, Lower, Upper, Separator, AfterSeparator };

RunClass runClassOf(CharClass c) {
    switch (c) {
    case CharClass::Lower:
        return RunClass::Lower;
    case CharClass::Upper:
        return RunClass::Upper;
    default:
        return RunClass::Separator;
    }
}

} // namespace

QStringList SplitWords(const QString& value) {
    QStringList words;
    qsizetype runStart = 0;
    RunClass runClass = RunClass::Start;
    auto endRun = [&](qsizetype end) {
        if (end > runStart && runClass != RunClass::Separator)
            words.append(value.mid(runStart, end - runStart));
        runStart = end;
    };
    for (qsizetype i = 0; i < value.size();) {
        char32_t ucs4 = value.at(i).unicode();
        qsizetype length = 1;
        if (value.at(i).isHighSurrogate() && i + 1 < value.size() &&
            value.at(i + 1).isLowSurrogate()) {
            ucs4 = QChar::surrogateToUcs4(value.at(i), value.at(i + 1));
            length = 2;
        }
        const CharClass c = ClassifyCharacter(ucs4);
        if (c == CharClass::Neutral) {
            if (runClass == RunClass::Separator) {
                endRun(i);
                runClass = RunClass::AfterSeparator;
            }
        } else {
            const RunClass own = runClassOf(c);
            // An upper-case run goes on in lower case ("One", "ABc"); the run
            // then counts as lower, so a following capital starts a new word.
            const bool joins =
                own == runClass || (runClass == RunClass::Upper && own == RunClass::Lower);
            if (!joins)
                endRun(i);
            runClass = own;
        }
        i += length;
    }
    endRun(value.size());
    return words;
}
