#pragma once

#include "runoptions.h"

#include <optional>

// The profile a transforming command runs with: --profile NAME when given
// (found without regard to case; an unknown name is an error), otherwise the
// profile the window would open with ("LastProfile", else the first stored
// profile, else "Default" with its defaults). A store file that cannot be
// read or parsed is an error. The run options apply on top
// for this run only; nothing is written to the store.
//
// On failure error receives a one-line reason and the returned profile must
// not be used; the command then exits with status 1.
Profile loadRunProfile(const RunOptions& options, QString* error);

// loadRunProfile for a command: on failure the reason goes to standard error
// as "quorvel-cli: <reason>" and nothing is returned.
std::optional<Profile> loadRunProfileOrReport(const RunOptions& options);
