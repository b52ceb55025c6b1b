#pragma once

#include "fileplan.h"
#include "transform/fields.h"

#include <optional>

// Longest name and path the file systems of a Linux desktop take.
inline constexpr qsizetype MaxNameBytes = 255;
inline constexpr qsizetype MaxPathBytes = 4095;

// Whether Apply can carry the Output values into the file at path without
// stopping half-way, checked before anything is written, in this order:
// the new file name is not empty and not only dots; every name of the
// target is at most MaxNameBytes and the path at most MaxPathBytes; the
// file can be opened for writing; its folder is writable (a move, a write
// that grows the tag and a later undo all need that); the Location exists
// as a folder or can be made (the deepest existing level writable); the
// target is free or the file's own path. Changes nothing.
std::optional<Refusal> CheckBeforeApply(const QString& path, const FieldValues& outputs);
