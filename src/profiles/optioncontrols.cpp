#include "optioncontrols.h"

const QStringList& caseEntries() {
    static const QStringList entries = {QStringLiteral("Title Case"), QStringLiteral("lower case"),
                                        QStringLiteral("UPPER CASE"),
                                        QStringLiteral("Keep Original")};
    return entries;
}

const QStringList& separatorEntries() {
    static const QStringList entries = {QStringLiteral("SPACE"), QStringLiteral("NONE"),
                                        QStringLiteral("_(underscore)"), QStringLiteral("-(dash)")};
    return entries;
}

int separatorEntryFor(const QString& text) {
    if (text.isEmpty())
        return -1;
    const QStringList& entries = separatorEntries();
    for (int i = 0; i < entries.size(); ++i) {
        if (entries[i].startsWith(text, Qt::CaseInsensitive))
            return i;
    }
    return -1;
}

int checkBoxValue(int member) {
    return member >= 0 && member <= 2 ? member : 0;
}

bool separatorEnabledFor(int caseIndex) {
    return caseIndex != CaseKeep;
}

OptionControls loadOptionControls(Profile& profile) {
    OptionControls c;
    profile.ansi = checkBoxValue(profile.ansi);
    c.ansi = profile.ansi;
    c.separatorIndex = separatorEntryFor(profile.separator);
    c.separatorText =
        c.separatorIndex >= 0 ? separatorEntries()[c.separatorIndex] : profile.separator;
    c.caseIndex =
        profile.caseMode >= 0 && profile.caseMode < caseEntries().size() ? profile.caseMode : -1;
    profile.clearV1 = checkBoxValue(profile.clearV1);
    c.clearV1 = profile.clearV1;
    profile.clearOtherV2 = checkBoxValue(profile.clearOtherV2);
    c.clearOtherV2 = profile.clearOtherV2;
    c.separatorEnabled = separatorEnabledFor(c.caseIndex);
    return c;
}

void saveOptionControls(const OptionControls& controls, Profile& profile) {
    profile.ansi = controls.ansi != 0 ? 1 : 0;
    // Typed text that begins an entry is that entry once the box is loaded
    // again: the run takes the entry now, so the name shown is the name
    // written ("n" is NONE, not "n").
    const int entry = separatorEntryFor(controls.separatorText);
    profile.separator = entry >= 0 ? separatorEntries()[entry] : controls.separatorText;
    profile.caseMode = controls.caseIndex >= 0 && controls.caseIndex < caseEntries().size()
                           ? controls.caseIndex
                           : -1;
    profile.clearV1 = controls.clearV1 != 0 ? 1 : 0;
    profile.clearOtherV2 = controls.clearOtherV2 != 0 ? 1 : 0;
}

void takeOptionsAsWindow(Profile& profile) {
    saveOptionControls(loadOptionControls(profile), profile);
}
