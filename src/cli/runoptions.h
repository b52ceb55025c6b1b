#pragma once

#include "profiles/profile.h"

#include <QStringList>

#include <optional>

// The options that change a profile for one run of a command that
// transforms: --parse/--create FIELD=FORMAT, --case, --separator,
// --ansi/--no-ansi, --clear-other-v2/--no-clear-other-v2,
// --clear-v1/--no-clear-v1 and --profile NAME.
struct RunOptions {
    std::optional<QString> profileName;
    QList<std::pair<int, QString>> parse;  // (field, format) in the order given
    QList<std::pair<int, QString>> create; // (field, format) in the order given
    std::optional<int> caseMode;
    std::optional<QString> separator;
    std::optional<int> ansi;
    std::optional<int> clearOtherV2;
    std::optional<int> clearV1;

    // Changes only what was given on the command line.
    void applyTo(Profile& profile) const;
};

// Takes the option arguments out of args and leaves the rest (file names and
// the command's own flags) in order. Returns false with a one-line reason in
// error for a malformed option. "--" ends option parsing; everything after it
// is left in args.
bool takeRunOptions(QStringList& args, RunOptions& options, QString& error);

// One line per option, for --help texts.
QString runOptionsHelp();
