#pragma once

#include "fileargs.h"
#include "profiles/profile.h"

#include <optional>

// What every command that transforms files (preview, apply) starts with: the
// run options, the command's own switches and FILEs, and the profile of the
// run. With "--json" the tag layer's diagnostic lines go to standard error so
// that standard output carries the JSON alone.
struct TransformCommand {
    FileArgs given;
    Profile profile;
};

// Returns an exit status when the command must end now (help, bad arguments,
// unknown profile), or nothing to go on with out filled.
std::optional<int> startTransformCommand(const QStringList& args, const QString& command,
                                         const QString& usage, const QStringList& switches,
                                         TransformCommand& out);
