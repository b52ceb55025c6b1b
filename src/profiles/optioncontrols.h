#pragma once

#include "profile.h"

#include <QStringList>

// The entries of the case list (indices 0 to 3) and of the separator list.
const QStringList& caseEntries();
const QStringList& separatorEntries();

// What the five option controls show, in a form free of widgets: the window
// copies it to and from its case list, separator list and three check boxes.
struct OptionControls {
    int caseIndex = -1;      // -1: no selection
    int separatorIndex = -1; // the chosen entry, or -1 for typed text
    QString separatorText;   // the text the separator field shows
    int ansi = 0;
    int clearOtherV2 = 0;
    int clearV1 = 0;
    bool separatorEnabled = true;
};

// The first separator entry that begins with text, compared without regard
// to case, or -1. The empty text begins no entry: it means "no separator" and
// must not turn into "SPACE".
int separatorEntryFor(const QString& text);

// A check-box member outside 0 to 2 is taken as 0.
int checkBoxValue(int member);

// OnCaseChange: the separator list is enabled unless the case list shows
// exactly "Keep Original". caseIndex -1 shows nothing.
bool separatorEnabledFor(int caseIndex);

// Load controls for the options. Check-box members outside 0 to 2 are set to
// 0 in the profile first, as the window's members are.
OptionControls loadOptionControls(Profile& profile);

// Save controls for the options: Case takes the selected index or -1,
// Separator the shown text, each check box 0 or 1 as it shows.
void saveOptionControls(const OptionControls& controls, Profile& profile);

// The options as the window takes them when it loads the profile and saves
// it again: "none" is the entry "NONE", a check-box value of 5 is 0. A
// profile that quorvel-cli runs or saves goes through this too, so that it
// means what the window makes of it.
void takeOptionsAsWindow(Profile& profile);
